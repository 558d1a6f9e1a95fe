// The consumer type of the rule, read from the local database; blank means all.

#include "screen/Cli_vnd42407.h"
#include "units/Consiste.h"

namespace vnd {

using vol::EmptyString;
using vol::MensErro;

void TfrmCadAutPrecoDeferenciado::Vd_TipoCons() {
    try {
        if (EmptyString(edtCdTipoConsumidor->text())) {
            stTipoCons = "T";
            return;
        }
        edtCdTipoConsumidor->setText(vol::Ajusta(edtCdTipoConsumidor->text(), 2));
        qryTipoCons->Close();
        qryTipoCons->ParamByName("P_TCDTIPOCONS").setAsString({});
        qryTipoCons->ParamByName("P_CDTIPOCONS").setAsString(edtCdTipoConsumidor->text());
        qryTipoCons->Open();
        if (qryTipoCons->IsEmpty()) MensErro(Msg("Cons_n_Cad"));
        stTipoCons = edtCdTipoConsumidor->text();
        edtNmTipoConsumidor->setText(qryTipoCons->fieldByName("NMTIPOCONS").asString());
    } catch (...) {
        edtCdTipoConsumidor->setFocus();
        throw;
    }
}

void TfrmCadAutPrecoDeferenciado::edtCdTipoConsumidorExit(vol::Component&) { Vd_TipoCons(); }

void TfrmCadAutPrecoDeferenciado::edtCdTipoConsumidorChange(vol::Component&) {
    edtNmTipoConsumidor->setText({});
}

void TfrmCadAutPrecoDeferenciado::btnListaTipoConsumidorBeforePesq(vol::Component&, bool&) {
    Vd_Filial(true);
    qryTipoConsFili->Close();
    qryTipoConsFili->ParamByName("P_CDFILIAL").setAsString(medCdFilial->text());
    qryTipoConsFili->Open();
    if (qryTipoConsFili->IsEmpty()) {
        // A branch without its own consumer types offers every type.
        qryTipoCons->Close();
        qryTipoCons->ParamByName("P_CDTIPOCONS").setAsString({});
        qryTipoCons->ParamByName("P_TCDTIPOCONS").setAsString("T");
        qryTipoCons->Open();
        dtsTipoCons->setDataSet(qryTipoCons);
    } else {
        dtsTipoCons->setDataSet(qryTipoConsFili);
    }
}

void TfrmCadAutPrecoDeferenciado::btnListaTipoConsumidorAfterPesq(vol::Component&) {
    vol::TADOIBQuery* source = qryTipoConsFili->IsEmpty() ? qryTipoCons : qryTipoConsFili;
    edtCdTipoConsumidor->setText(source->fieldByName("CDTIPOCONS").asString());
    edtNmTipoConsumidor->setText(source->fieldByName("NMTIPOCONS").asString());
}

}  // namespace vnd
