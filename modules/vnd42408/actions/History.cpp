// A product's history of replaced and removed rules.

#include "forms/Application.h"
#include "inquiry/RuleText.h"
#include "protocol/ValueCodec.h"
#include "screen/Cli_vnd42408.h"
#include "ui/UserInterface.h"
#include "units/Consiste.h"
#include "units/ServerCall.h"

namespace vnd {

namespace {
// The history of one product is short; a page this size holds all of it in practice.
constexpr std::int64_t kHistoryRows = 1000;
}  // namespace

void TfrmConPrecoDiferenciado::cdsHistoricoCalcFields(vol::DataSet& d) {
    wire::DatePattern pattern(datePattern());
    auto get = [&d](const char* field) { return d.fieldByName(field).asString(); };
    d.fieldByName("QUANDO").setAsString(RuleText::timestampText(get("DTOPERACAO"), pattern));
    d.fieldByName("OPERACAO").setAsString(get("IDOPERACAO") == "E" ? "Excluída" : "Substituída");
    d.fieldByName("REGRA").setAsString(RuleText::day(get("IDDIA")) + ", " + RuleText::consumerType(get("CDTIPOCONS")) +
                                       ", " + RuleText::window(get("HRINI"), get("HRFIN")) + ", " +
                                       RuleText::validity(get("DTINIVALID"), get("DTFINVALID"), pattern));
    d.fieldByName("ANTERIOR").setAsString(RuleText::adjustment(get("IDDESCACRE_ANT")) + " " +
                                          RuleText::amount(get("IDVALPERC_ANT"), get("VRPRECDIF_ANT")));
    d.fieldByName("NOVO").setAsString(get("VRPRECDIF").empty() ? std::string("-")
                                                               : RuleText::adjustment(get("IDDESCACRE")) + " " +
                                                                     RuleText::amount(get("IDVALPERC"), get("VRPRECDIF")));
}

void TfrmConPrecoDiferenciado::sbtHistoricoClick(vol::Component&) {
    std::string branch;
    std::string table;
    std::string product;
    std::string shown;
    const std::vector<int> rows = grdRegras->rowsToActOn();
    if (!rows.empty()) {
        cdsRegras->setRecNo(rows.back());
        branch = cdsRegras->fieldByName("CDFILIAL").asString();
        table = cdsRegras->fieldByName("CDTABEPREC").asString();
        product = cdsRegras->fieldByName("CDPRODUTO").asString();
        shown = cdsRegras->displayText(rows.back(), cdsRegras->fieldIndex("CDARVPROD"));
    } else if (!vol::EmptyString(medProdIni->text())) {
        // A product whose rules are all gone still has its history: the filter names it.
        header_->Vd_Filial(true);
        header_->Vd_TabePrec(true);
        branch = medCdFilial->text();
        table = medCdTabePrec->text();
        product = productOf(*medProdIni, "PRODNCAD", true);
        shown = medProdIni->editText();
    } else {
        selectedRules();
        return;
    }
    wire::Value answer = vol::ServerCallValue(*netTabePreco, "GetPrecDifHist",
                                              {branch, table, product, std::int64_t{0}, kHistoryRows},
                                              vol::ProgressKind::Search);
    const auto* object = std::get_if<nlohmann::json>(&answer);
    if (object == nullptr || !object->contains("rows")) {
        throw std::runtime_error("O servidor respondeu um histórico inválido.");
    }
    cdsHistorico->loadPacket(wire::packetFromJson((*object)["rows"]));
    if (cdsHistorico->isEmpty()) {
        application().ui().showListEmpty("Não há alterações registradas para o produto " + shown + ".");
        return;
    }
    application().ui().showList("Histórico do produto " + shown, *cdsHistorico);
}

}  // namespace vnd
