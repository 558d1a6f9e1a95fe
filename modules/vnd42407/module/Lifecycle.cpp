// Opening, creation, activation, closing and destruction of the screen.

#include "forms/Application.h"
#include "pricetable/ScreenOpening.h"
#include "screen/Cli_vnd42407.h"
#include "units/Volpari.h"

namespace vnd {

void CriaCadAutPrecoDeferenciado() { openScreen(frmCadAutPrecoDeferenciado, boStCriado); }

void TfrmCadAutPrecoDeferenciado::FormCreate(vol::Component& sender) {
    TfrmRotiGeral::FormCreate(sender);
    boPrimVez = true;
    // A server that cannot be reached now does not stop the screen from opening: the
    // connection records the failure and the first remote call reports it.
    netTabePreco->Open();
}

void TfrmCadAutPrecoDeferenciado::netTabePrecoBeforeConnect(vol::Component&) {
    netTabePreco->Host = vol::WebURL();
    netTabePreco->Port = vol::WebPort();
}

void TfrmCadAutPrecoDeferenciado::FormActivate(vol::Component&) {
    if (boPrimVez) {
        if (header_->presetBranch()) {
            medCdFilial->setFocus();
        } else {
            medCdTabePrec->setFocus();
        }
        boPrimVez = false;
    }
    std::string picture = vol::DBPict(vol::TPictType::Produto);
    cdsProduto->fieldDef("CDARVPROD").editMask = picture;
    medProdIni->setEditMask(picture);
    medProdFim->setEditMask(picture);
    medHorarioDe->setText("00:01");
    medHorarioAte->setText("23:59");
    stPesqProd.clear();
}

void TfrmCadAutPrecoDeferenciado::FormClose(vol::Component& sender, vol::CloseAction& action) {
    TfrmRotiGeral::FormClose(sender, action);
    boStCriado = false;
}

void TfrmCadAutPrecoDeferenciado::FormDestroy(vol::Component& sender) {
    TfrmRotiGeral::FormDestroy(sender);
    netTabePreco->Close();
    // A screen destroyed without being closed (the host's exit) must not be shown again
    // by the next opening.
    boStCriado = false;
    frmCadAutPrecoDeferenciado = nullptr;
}

}  // namespace vnd
