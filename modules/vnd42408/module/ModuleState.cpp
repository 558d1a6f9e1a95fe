// The module-wide state of the inquiry screen unit and the unit's initialization and
// finalization, which the module's entries run.

#include "module/ScreenUnit.h"
#include "screen/Cli_vnd42408.h"

extern "C" {
__attribute__((visibility("default"))) vnd::TfrmConPrecoDiferenciado* frmConPrecoDiferenciado = nullptr;
__attribute__((visibility("default"))) bool boStCriado = false;
__attribute__((visibility("default"))) bool boPrimVez = false;
}

namespace vnd {

void initializeInquiryUnit() { boStCriado = false; }

void finalizeInquiryUnit() { boStCriado = false; }

}  // namespace vnd
