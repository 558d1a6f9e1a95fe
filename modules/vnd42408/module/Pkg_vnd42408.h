#pragma once
// The module's entries, exported with C linkage for the host's module loader.

#include "plugin/ModuleEntries.h"

extern "C" {
/// Opens the screen: creates it when none exists, then shows it in its normal state.
void IniProc();
/// Runs the initialization of the module's units in order.
void Initialize();
/// Runs the finalization of the module's units in reverse order.
void Finalize();
/// The module's unit table, its screen code, menu caption and shortcut.
const PackageInfoTable* GetPackageInfoTable();
}
