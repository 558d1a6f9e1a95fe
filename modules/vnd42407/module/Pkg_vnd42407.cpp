#include "module/Pkg_vnd42407.h"

#include <array>

#include "module/ScreenUnit.h"
#include "screen/Cli_vnd42407.h"

namespace {
const std::array<PackageUnitInfo, 1> kUnits{{
    {"Cli_vnd42407", &vnd::initializeScreenUnit, &vnd::finalizeScreenUnit},
}};
const PackageInfoTable kTable{static_cast<int>(kUnits.size()), kUnits.data(), "VND42407",
                              "Cadastro Automático de Preços Diferenciados", "Ctrl+F7"};
}  // namespace

extern "C" {

__attribute__((visibility("default"))) void IniProc() { vnd::CriaCadAutPrecoDeferenciado(); }

__attribute__((visibility("default"))) void Initialize() { vol::plugin::initializeUnits(kTable); }

__attribute__((visibility("default"))) void Finalize() { vol::plugin::finalizeUnits(kTable); }

__attribute__((visibility("default"))) const PackageInfoTable* GetPackageInfoTable() { return &kTable; }
}
