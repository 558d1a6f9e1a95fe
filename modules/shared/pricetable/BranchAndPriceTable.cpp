// The branch and the price table of the rule: checks, chained clearing and lookups.

#include "pricetable/PriceTableHeader.h"
#include "units/Consiste.h"
#include "units/ServerCall.h"

namespace vnd {

using vol::Ajusta;
using vol::EmptyString;
using vol::MensErro;

void PriceTableHeader::callInto(vol::ClientDataSet& target, const std::string& method,
                                std::vector<wire::Value> args) {
    // The dataset is replaced only by a complete, accepted answer; a failed call leaves it
    // as it was.
    target.loadPacket(vol::ServerCall(net_, method, args, vol::ProgressKind::Search));
}

void PriceTableHeader::Vd_Filial(bool required) {
    try {
        std::string code = medCdFilial->text();
        if (EmptyString(code)) {
            if (required) MensErro(Msg("Fili_Inf"));
            return;
        }
        // Writing the padded code is a change: the branch's dependants are cleared first.
        medCdFilial->setText(Ajusta(code, 4));
        callInto(*cdsFilial, "GetFilial", {medCdFilial->text(), std::string()});
        if (cdsFilial->isEmpty()) MensErro(Msg("Fili_N_Cad"));
        edtNmFilial->setText(cdsFilial->fieldByName("NMFILIAL").asString());
    } catch (...) {
        medCdFilial->setFocus();
        throw;
    }
}

void PriceTableHeader::Vd_TabePrec(bool required) {
    try {
        std::string code = medCdTabePrec->text();
        if (EmptyString(code)) {
            if (required) MensErro(Msg("TabePrec_Inf"));
            return;
        }
        medCdTabePrec->setText(Ajusta(code, 3));
        // The branch is not checked here: the list is that of whatever the branch field holds.
        callInto(*cdsTabePrec, "GetTabePrec", {medCdFilial->text()});
        if (!cdsTabePrec->locate("CDTABEPREC", medCdTabePrec->text(), false)) {
            MensErro(Msg("TabePrec_N_Cad"));
        }
        medCdTabePrec->setText(cdsTabePrec->fieldByName("CDTABEPREC").asString());
        edtNmTabePrec->setText(cdsTabePrec->fieldByName("NMTABEPREC").asString());
    } catch (...) {
        medCdTabePrec->setFocus();
        throw;
    }
}

void PriceTableHeader::medCdFilialChange() {
    edtNmFilial->setText({});
    medCdTabePrec->setText({});
    edtNmTabePrec->setText({});
    depDtIniVig->Clear();
    depDtFinVig->Clear();
    changed();
}

void PriceTableHeader::medCdTabePrecChange() {
    edtNmTabePrec->setText({});
    depDtIniVig->Clear();
    depDtFinVig->Clear();
    changed();
}

void PriceTableHeader::btnFilialBeforePesq() {
    callInto(*cdsFilial, "GetFilial", {std::string(), std::string("T")});
}

void PriceTableHeader::btnFilialAfterPesq() {
    medCdFilial->setText(cdsFilial->fieldByName("CDFILIAL").asString());
    edtNmFilial->setText(cdsFilial->fieldByName("NMFILIAL").asString());
}

void PriceTableHeader::btnTabePrecBeforePesq() {
    Vd_Filial(true);
    callInto(*cdsTabePrec, "GetTabePrec", {medCdFilial->text()});
}

void PriceTableHeader::btnTabePrecAfterPesq() {
    medCdTabePrec->setText(cdsTabePrec->fieldByName("CDTABEPREC").asString());
    edtNmTabePrec->setText(cdsTabePrec->fieldByName("NMTABEPREC").asString());
}

}  // namespace vnd
