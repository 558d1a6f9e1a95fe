#pragma once
// Every screen module of the host's modules folder.

#include <memory>
#include <string>
#include <vector>

#include "ModuleLoader.h"

namespace host {

/// The screen modules found in a folder: every file named libvnd*.so, in name order,
/// each with its loader. start() takes every module as far as it goes; one that fails
/// stays listed with its reason and never stops the others. Modules are finalized and
/// unloaded in the reverse order of loading.
class ModuleCatalog {
public:
    /// Lists the module files of the folder (none when it does not exist).
    explicit ModuleCatalog(const std::string& folder);
    /// Finalizes and unloads in reverse order.
    ~ModuleCatalog();
    ModuleCatalog(const ModuleCatalog&) = delete;
    ModuleCatalog& operator=(const ModuleCatalog&) = delete;

    /// The module files of a folder in name order.
    static std::vector<std::string> moduleFiles(const std::string& folder);

    /// find, load and initialize every module; true when all of them started.
    bool start();
    /// Finalizes every running module, in reverse order; the errors go to `errors`.
    void finalize(std::vector<std::string>& errors);

    const std::vector<std::unique_ptr<ModuleLoader>>& modules() const { return modules_; }
    /// The loaders, for the main window.
    std::vector<ModuleLoader*> loaders() const;
    /// The started module whose package table names this screen code, or null.
    ModuleLoader* byCode(const std::string& code) const;

    /// The screen code a loaded module names, "" otherwise.
    static std::string codeOf(const ModuleLoader& module);

private:
    std::vector<std::unique_ptr<ModuleLoader>> modules_;
};

}  // namespace host
