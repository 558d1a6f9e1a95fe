// Opening, creation, activation, closing and destruction of the inquiry screen.

#include <chrono>
#include <ctime>

#include "forms/Application.h"
#include "pricetable/ScreenOpening.h"
#include "screen/Cli_vnd42408.h"
#include "units/Volpari.h"

namespace vnd {

void CriaConPrecoDiferenciado() { openScreen(frmConPrecoDiferenciado, boStCriado); }

void TfrmConPrecoDiferenciado::FormCreate(vol::Component& sender) {
    TfrmRotiGeral::FormCreate(sender);
    boPrimVez = true;
    // A server that cannot be reached now does not stop the screen from opening: the
    // first remote call reports it.
    netTabePreco->Open();
}

void TfrmConPrecoDiferenciado::FormActivate(vol::Component&) {
    if (boPrimVez) {
        if (header_->presetBranch()) {
            medCdFilial->setFocus();
        } else {
            medCdTabePrec->setFocus();
        }
        // The question "why this price" starts at this moment, for no consumer type.
        depDataPreco->SetDate(application().today());
        const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
        std::tm local{};
        localtime_r(&now, &local);
        char hhmm[6];
        std::snprintf(hhmm, sizeof hhmm, "%02d:%02d", local.tm_hour, local.tm_min);
        medHoraPreco->setText(hhmm);
        boPrimVez = false;
    }
    const std::string picture = vol::DBPict(vol::TPictType::Produto);
    cdsRegras->fieldDef("CDARVPROD").editMask = picture;
    cdsProduto->fieldDef("CDARVPROD").editMask = picture;
    medProdIni->setEditMask(picture);
    medProdFim->setEditMask(picture);
}

void TfrmConPrecoDiferenciado::FormClose(vol::Component& sender, vol::CloseAction& action) {
    TfrmRotiGeral::FormClose(sender, action);
    boStCriado = false;
}

void TfrmConPrecoDiferenciado::FormDestroy(vol::Component& sender) {
    TfrmRotiGeral::FormDestroy(sender);
    netTabePreco->Close();
    boStCriado = false;
    frmConPrecoDiferenciado = nullptr;
}

}  // namespace vnd
