#pragma once
// The entries every screen module exports, with C linkage, for the host's module loader.

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

namespace vol::plugin {

/// Runs the initialization of every unit of the table, in order.
inline void initializeUnits(const PackageInfoTable& table) {
    for (int i = 0; i < table.unitCount; ++i) {
        if (table.units[i].initialization != nullptr) table.units[i].initialization();
    }
}

/// Runs the finalization of every unit of the table, in reverse order.
inline void finalizeUnits(const PackageInfoTable& table) {
    for (int i = table.unitCount - 1; i >= 0; --i) {
        if (table.units[i].finalization != nullptr) table.units[i].finalization();
    }
}

}  // namespace vol::plugin
