// The consumer type of the rule, read from the local database; blank means all.

#include "screen/Cli_vnd42407.h"
#include "units/Consiste.h"

namespace vnd {

using vol::EmptyString;
using vol::MensErro;

void TfrmCadAutPrecoDeferenciado::Vd_TipoCons() {
    try {
        if (EmptyString(edtCdTipoConsumidor->text())) {
            stTipoCons.assign(1, 'T');
            return;
        }
        edtCdTipoConsumidor->setText(vol::Ajusta(edtCdTipoConsumidor->text(), 2));
        if (!consumerTypes_->find(edtCdTipoConsumidor->text())) MensErro(Msg("Cons_n_Cad"));
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
    consumerTypes_->openForBranch(medCdFilial->text());
}

void TfrmCadAutPrecoDeferenciado::btnListaTipoConsumidorAfterPesq(vol::Component&) {
    vol::TADOIBQuery& source = consumerTypes_->listed();
    edtCdTipoConsumidor->setText(source.fieldByName("CDTIPOCONS").asString());
    edtNmTipoConsumidor->setText(source.fieldByName("NMTIPOCONS").asString());
}

}  // namespace vnd
