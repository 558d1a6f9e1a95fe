#pragma once
// The host's settings from its command line and environment.

#include <QProcessEnvironment>
#include <QStringList>
#include <optional>
#include <string>

#include "forms/HostSettings.h"

namespace host {

/// Everything the host is told at start. A command-line option wins over its
/// environment variable, which wins over the default.
struct HostOptions {
    vol::HostSettings settings;   ///< branch, fixed flag, server, product picture
    std::string localDatabase;    ///< the local SQLite file; empty: none
    std::string moduleFolder;     ///< where the screen modules (libvnd*.so) are looked for
    std::string screenshot;       ///< write a PNG of the opened screen here and quit
    std::string keys;             ///< with screenshot: keys pressed before the picture
    std::string screenCode = "VND42407";  ///< the screen --open and --screenshot open
    bool openAtStart = false;     ///< open the screen once the window shows
    bool help = false;            ///< print the help text and quit
    bool version = false;         ///< print the version and quit

    /// Reads the arguments (program name first) and the environment. Returns the options,
    /// or sets error to a one-line reason and returns nullopt. defaultModuleFolder is used
    /// when neither the command line nor the environment names one.
    static std::optional<HostOptions> parse(const QStringList& arguments, const QProcessEnvironment& environment,
                                            const std::string& defaultModuleFolder, std::string& error);
    /// The text of --help: every option with its environment variable and default.
    static std::string helpText();
};

}  // namespace host
