// Why the selected row's product costs what it costs at a moment.

#include "forms/Application.h"
#include "inquiry/PriceExplanation.h"
#include "screen/Cli_vnd42408.h"
#include "units/Consiste.h"
#include "units/ServerCall.h"

namespace vnd {

using vol::EmptyString;
using vol::MensErro;

std::vector<int> TfrmConPrecoDiferenciado::selectedRules() {
    std::vector<int> rows = grdRegras->rowsToActOn();
    if (rows.empty()) {
        if (grdRegras->canFocus()) grdRegras->setFocus();
        MensErro(Msg("SELINF"));
    }
    return rows;
}

void TfrmConPrecoDiferenciado::sbtPrecoVigenteClick(vol::Component&) {
    std::vector<int> rows = selectedRules();
    if (rows.size() != 1) MensErro(Msg("UMAREGRA"));
    const std::optional<wire::Date> date = depDataPreco->date();
    if (!date) {
        depDataPreco->setFocus();
        MensErro(Msg("DATAINF"));
    }
    // A time of day: two digits, a colon, two digits, inside the day.
    const std::string time = medHoraPreco->text();
    const bool timeOk = time.size() == 5 && time[2] == ':' && std::isdigit(static_cast<unsigned char>(time[0])) &&
                        std::isdigit(static_cast<unsigned char>(time[1])) &&
                        std::isdigit(static_cast<unsigned char>(time[3])) &&
                        std::isdigit(static_cast<unsigned char>(time[4])) && time.substr(0, 2) <= "23" &&
                        time.substr(3, 2) <= "59";
    if (!timeOk) {
        medHoraPreco->setFocus();
        MensErro(time + " " + Msg("HORAINV"));
    }
    Vd_TipoCons(*edtTipoPreco, nullptr);

    cdsRegras->setRecNo(rows.front());
    PriceQuestion q;
    q.productCode = cdsRegras->displayText(rows.front(), cdsRegras->fieldIndex("CDARVPROD"));
    q.productName = cdsRegras->fieldByName("NMPRODUTO").asString();
    q.date = *date;
    q.time = time;
    q.consumerType = EmptyString(edtTipoPreco->text()) ? std::string() : edtTipoPreco->text();
    if (!q.consumerType.empty()) q.consumerName = consumerTypes_->qryTipoCons->fieldByName("NMTIPOCONS").asString();

    wire::Value answer = vol::ServerCallValue(
        *netTabePreco, "GetPrecoVigente",
        {cdsRegras->fieldByName("CDFILIAL").asString(), cdsRegras->fieldByName("CDTABEPREC").asString(),
         cdsRegras->fieldByName("CDPRODUTO").asString(), q.consumerType, *date, time},
        vol::ProgressKind::Search);
    const auto* object = std::get_if<nlohmann::json>(&answer);
    if (object == nullptr) throw std::runtime_error("O servidor respondeu um preço vigente inválido.");
    memExplicacao->setText(PriceExplanation::text(q, *object, wire::DatePattern(datePattern())));
}

}  // namespace vnd
