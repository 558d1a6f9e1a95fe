#pragma once
// The contract between the host and a screen module: the entries a module exports with
// C linkage, found by name after the module is loaded.

extern "C" {

/// One unit of a module: its name and its initialization and finalization.
struct PackageUnitInfo {
    const char* name;
    void (*initialization)();
    void (*finalization)();
};

/// The table of a module's units, in initialization order, and what the host shows of
/// the module: its screen's code, the caption of its menu entry and the entry's shortcut
/// in the toolkit's portable text form ("Ctrl+F7"; empty for none).
struct PackageInfoTable {
    int unitCount;
    const PackageUnitInfo* units;
    const char* screenCode;
    const char* caption;
    const char* shortcut;
};

/// Opens the module's screen (creates it when none exists). A failure passes to the
/// caller as a C++ exception; the host calls it inside its action boundary.
using IniProcEntry = void (*)();
/// Runs the initialization of the module's units in order, after loading.
using InitializeEntry = void (*)();
/// Runs the finalization of the module's units in reverse order, before unloading.
using FinalizeEntry = void (*)();
/// The module's unit table.
using GetPackageInfoTableEntry = const PackageInfoTable* (*)();
}

namespace vol::plugin {
inline constexpr const char* kIniProc = "IniProc";
inline constexpr const char* kInitialize = "Initialize";
inline constexpr const char* kFinalize = "Finalize";
inline constexpr const char* kGetPackageInfoTable = "GetPackageInfoTable";
/// A module publishes its module-wide state by name beside its entries: a name starting
/// "bo" is a bool, "st" a std::string, "frm" a pointer to a form.
}  // namespace vol::plugin
