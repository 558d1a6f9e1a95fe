// Which products the rule covers: all, a picked list, or a range of product codes.

#include "Lib00210.h"
#include "screen/Cli_vnd42407.h"
#include "units/Consiste.h"
#include "units/Pesqlista.h"
#include "units/ProgressAnimation.h"

namespace vnd {

using vol::EmptyString;
using vol::MensErro;

void TfrmCadAutPrecoDeferenciado::setProductModeControls(bool rangeEditsEnabled) {
    btnListaProd->setEnabled(rbtLista->checked());
    btnProdutoIni->setEnabled(rbtIntervalo->checked());
    btnProdutoFim->setEnabled(rbtIntervalo->checked());
    medProdIni->setEnabled(rangeEditsEnabled);
    medProdFim->setEnabled(rangeEditsEnabled);
}

void TfrmCadAutPrecoDeferenciado::rbtTodosClick(vol::Component&) {
    setProductModeControls(false);
    stPesqProd.clear();
}

void TfrmCadAutPrecoDeferenciado::rbtListaClick(vol::Component&) { setProductModeControls(false); }

void TfrmCadAutPrecoDeferenciado::rbtIntervaloClick(vol::Component&) {
    setProductModeControls(true);
    stPesqProd.clear();
}

void TfrmCadAutPrecoDeferenciado::loadProducts() {
    stErro = lib::SQL_Pesquisa_Produto_CDS(medCdFilial->text(), *cdsProduto);
}

void TfrmCadAutPrecoDeferenciado::btnListaProdClick(vol::Component&) {
    Vd_Filial(true);
    cdsProduto->fieldDef("IDMARCADO").visible = true;
    loadProducts();
    btnListaProd->SearchNotice = stErro;
    std::string title = Msg("PROD") + "|" + Msg("PRODINV");
    vol::PesquisaLista(*dtsProduto, "CDPRODUTO", title, false, stPesqProd);
}

void TfrmCadAutPrecoDeferenciado::btnProdutoIniBeforePesq(vol::Component&, bool&) {
    Vd_Filial(true);
    cdsProduto->fieldDef("IDMARCADO").visible = false;
    loadProducts();
}

void TfrmCadAutPrecoDeferenciado::btnProdutoFimBeforePesq(vol::Component& sender, bool& goOn) {
    btnProdutoIniBeforePesq(sender, goOn);
}

void TfrmCadAutPrecoDeferenciado::pickRangeEnd(vol::MaskEdit& code, vol::Edit& name) {
    // Writing the code empties the name through the change event, so the name comes second.
    code.setText(cdsProduto->fieldByName("CDARVPROD").asString());
    name.setText(cdsProduto->fieldByName("NMPRODUTO").asString());
}

void TfrmCadAutPrecoDeferenciado::btnProdutoIniAfterPesq(vol::Component&) {
    pickRangeEnd(*medProdIni, *edtNomeIni);
}

void TfrmCadAutPrecoDeferenciado::btnProdutoFimAfterPesq(vol::Component&) {
    pickRangeEnd(*medProdFim, *edtNomeFim);
}

void TfrmCadAutPrecoDeferenciado::medProdIniChange(vol::Component&) { edtNomeIni->setText({}); }

void TfrmCadAutPrecoDeferenciado::medProdFimChange(vol::Component&) { edtNomeFim->setText({}); }

void TfrmCadAutPrecoDeferenciado::medProdIniExit(vol::Component&) { vd_ProdIni(false); }

void TfrmCadAutPrecoDeferenciado::medProdFimExit(vol::Component&) { vd_ProdFin(false); }

void TfrmCadAutPrecoDeferenciado::checkRangeEnd(vol::MaskEdit& code, vol::Edit& name,
                                                const char* emptyKey, bool required) {
    try {
        std::string text = code.text();
        if (EmptyString(text)) {
            if (required) MensErro(Msg(emptyKey));
            return;
        }
        // A typed code is checked against the list loaded last; the list is fetched only
        // when none was loaded yet.
        if (!cdsProduto->active()) {
            vol::ProgressAnimation animation(vol::ProgressKind::Search);
            loadProducts();
        }
        if (!cdsProduto->locate("CDARVPROD", text, true)) MensErro(Msg("PRODNCAD"));
        name.setText(cdsProduto->fieldByName("NMPRODUTO").asString());
    } catch (...) {
        code.setFocus();
        throw;
    }
}

void TfrmCadAutPrecoDeferenciado::vd_ProdIni(bool required) {
    checkRangeEnd(*medProdIni, *edtNomeIni, "PRODNINF", required);
}

void TfrmCadAutPrecoDeferenciado::vd_ProdFin(bool required) {
    checkRangeEnd(*medProdFim, *edtNomeFim, "PRODNFIM", required);
}

}  // namespace vnd
