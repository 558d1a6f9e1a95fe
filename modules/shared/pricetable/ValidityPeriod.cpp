// The validity period of the price table: check, lookup and situation.

#include <stdexcept>

#include "forms/Application.h"
#include "pricetable/PriceTableHeader.h"
#include "protocol/DatePattern.h"
#include "units/Consiste.h"

namespace vnd {

using vol::EmptyString;
using vol::MensErro;

std::string PriceTableHeader::datePattern() const {
    return vol::Application::instance().settings().shortDateFormat;
}

wire::Date PriceTableHeader::periodDate(const std::string& field) {
    std::string text = cdsTabeVend->fieldByName(field).asString();
    std::optional<wire::Date> d = wire::DatePattern(datePattern()).parse(text);
    if (!d) throw std::runtime_error("O servidor respondeu uma data inválida: '" + text + "'.");
    return *d;
}

void PriceTableHeader::Vd_DtIniVig(bool required) {
    try {
        if (EmptyString(depDtIniVig->text())) {
            if (required) MensErro(Msg("Vig_Inf"));
            return;
        }
        // Branch and price table are not checked here; the confirm action checks them first.
        callInto(*cdsTabeVend, "getVigencia",
                 {medCdFilial->text(), medCdTabePrec->text(), depDtIniVig->GetDate(), std::string(),
                  datePattern()});
        if (cdsTabeVend->isEmpty()) MensErro(Msg("Vig_N_Cad"));
        depDtFinVig->SetDate(periodDate("DTFINVGPREC"));
    } catch (...) {
        depDtIniVig->setFocus();
        throw;
    }
}

void PriceTableHeader::depDtIniVigChange() {
    depDtFinVig->Clear();
    changed();
}

void PriceTableHeader::btnDtIniVigBeforePesq() {
    Vd_Filial(true);
    Vd_TabePrec(true);
    callInto(*cdsTabeVend, "getVigencia",
             {medCdFilial->text(), medCdTabePrec->text(), std::int64_t{0}, std::string("T"), datePattern()});
    // With no start date typed the list opens on the period in force today, the one a
    // rule is most often made for.
    const int situation = cdsTabeVend->fieldIndex("SITUACAO");
    for (int row = 0; situation >= 0 && row < cdsTabeVend->recordCount(); ++row) {
        if (cdsTabeVend->displayText(row, situation) == Msg("ativa")) {
            cdsTabeVend->setRecNo(row);
            break;
        }
    }
}

void PriceTableHeader::btnDtIniVigAfterPesq() {
    // The start date's change clears the end date, so the end date is written last.
    depDtIniVig->SetDate(periodDate("DTINIVGPREC"));
    depDtFinVig->SetDate(periodDate("DTFINVGPREC"));
}

void PriceTableHeader::cdsTabeVendCalcFields(vol::DataSet& sender) {
    wire::DatePattern pattern(datePattern());
    auto start = pattern.parse(sender.fieldByName("DTINIVGPREC").asString());
    auto end = pattern.parse(sender.fieldByName("DTFINVGPREC").asString());
    wire::Date today = vol::Application::instance().today();
    bool active = start && end && *start <= today && today <= *end;
    sender.fieldByName("SITUACAO").setAsString(Msg(active ? "ativa" : "inativa"));
}

}  // namespace vnd
