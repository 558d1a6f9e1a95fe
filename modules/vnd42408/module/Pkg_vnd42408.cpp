#include "module/Pkg_vnd42408.h"

#include <array>

#include "module/ScreenUnit.h"
#include "screen/Cli_vnd42408.h"

namespace {
const std::array<PackageUnitInfo, 1> kUnits{{
    {"Cli_vnd42408", &vnd::initializeInquiryUnit, &vnd::finalizeInquiryUnit},
}};
const PackageInfoTable kTable{static_cast<int>(kUnits.size()), kUnits.data(), "VND42408",
                              "Consulta de Preços Diferenciados", "Ctrl+F8"};
}  // namespace

extern "C" {

__attribute__((visibility("default"))) void IniProc() { vnd::CriaConPrecoDiferenciado(); }

__attribute__((visibility("default"))) void Initialize() { vol::plugin::initializeUnits(kTable); }

__attribute__((visibility("default"))) void Finalize() { vol::plugin::finalizeUnits(kTable); }

__attribute__((visibility("default"))) const PackageInfoTable* GetPackageInfoTable() { return &kTable; }
}
