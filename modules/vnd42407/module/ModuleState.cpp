// The module-wide state of the screen unit and the unit's initialization and
// finalization, which the module's entries run.

#include "module/ScreenUnit.h"
#include "screen/Cli_vnd42407.h"

extern "C" {
__attribute__((visibility("default"))) vnd::TfrmCadAutPrecoDeferenciado* frmCadAutPrecoDeferenciado = nullptr;
__attribute__((visibility("default"))) bool boStCriado = false;
__attribute__((visibility("default"))) bool boPrimVez = false;
__attribute__((visibility("default"))) std::string stErro;
__attribute__((visibility("default"))) std::string stPesqProd;
__attribute__((visibility("default"))) std::string stTipoCons;
}

namespace vnd {

void initializeScreenUnit() { boStCriado = false; }

void finalizeScreenUnit() {
    // The strings give their memory back now, not at process exit after the module is gone.
    std::string().swap(stErro);
    std::string().swap(stPesqProd);
    std::string().swap(stTipoCons);
}

}  // namespace vnd
