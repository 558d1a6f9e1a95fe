#pragma once
// Loads one screen module and drives it through its life.

#include <string>

#include "plugin/ModuleEntries.h"

namespace vol {
class Application;
}

namespace host {

/// The stages a module goes through, in order.
enum class ModuleState {
    Absent,       ///< nothing done yet, or the file is missing
    Found,        ///< the file exists
    Loaded,       ///< loaded, every entry resolved
    Initialized,  ///< Initialize ran
    Running,      ///< IniProc ran at least once
    Finalized,    ///< Finalize ran
    Unloaded      ///< the library is closed again
};

/// The state's name, for messages and logs.
const char* stateName(ModuleState state);

/// One module file. Each step moves to the next state or leaves the state as it was and
/// sets error() to a Portuguese text saying why (missing file, unloadable file, missing
/// entry, an entry that failed); a step never throws and never crashes the host. The
/// module's code lives in the library: every form it made must be destroyed before
/// finalize() (Application::destroyAll()).
class ModuleLoader {
public:
    explicit ModuleLoader(std::string path);
    /// Finalizes and unloads a module still loaded.
    ~ModuleLoader();
    ModuleLoader(const ModuleLoader&) = delete;
    ModuleLoader& operator=(const ModuleLoader&) = delete;

    const std::string& path() const { return path_; }
    ModuleState state() const { return state_; }
    /// Why the last step failed; empty after a step that succeeded.
    const std::string& error() const { return error_; }

    /// Absent → Found: the file exists.
    bool find();
    /// Found → Loaded: dlopen and resolve IniProc, Initialize, Finalize, GetPackageInfoTable.
    bool load();
    /// Loaded → Initialized: runs Initialize.
    bool initialize();
    /// find, load and initialize.
    bool start();
    /// Initialized or Running → Running: calls IniProc inside the application's action
    /// boundary (a failure there is shown to the person by the boundary). Returns true
    /// when IniProc ran to its end.
    bool open(vol::Application& app);
    /// Initialized or Running → Finalized: runs Finalize.
    bool finalize();
    /// Closes the library (after finalize, or right after a failed initialize).
    void unload();

    /// The module's unit table, or null before load.
    const PackageInfoTable* packageInfo() const;

private:
    bool fail(std::string why);

    std::string path_;
    ModuleState state_ = ModuleState::Absent;
    std::string error_;
    void* handle_ = nullptr;
    IniProcEntry iniProc_ = nullptr;
    InitializeEntry initialize_ = nullptr;
    FinalizeEntry finalize_ = nullptr;
    GetPackageInfoTableEntry packageInfo_ = nullptr;
};

}  // namespace host
