// Removing the selected rules: all of them or none.

#include <string>

#include "forms/Application.h"
#include "screen/Cli_vnd42408.h"
#include "ui/UserInterface.h"
#include "units/Consiste.h"
#include "units/ServerCall.h"

namespace vnd {

namespace {
// The columns that name one stored rule.
const char* const kKeyColumns[] = {"CDFILIAL", "CDTABEPREC", "DTINIVGPREC", "CDPRODUTO", "IDDIA",
                                   "CDTIPOCONS", "HRINI", "HRFIN", "DTINIVALID", "DTFINVALID"};
// The rules a removal question names one by one; the rest it counts.
constexpr std::size_t kRulesNamed = 5;
}  // namespace

std::string TfrmConPrecoDiferenciado::removalQuestion(const std::vector<int>& rows) const {
    std::string question = Msg("EXCLUIR");
    const auto at = question.find("%d");
    if (at != std::string::npos) question.replace(at, 2, std::to_string(rows.size()));
    // Each rule as the list shows it, so the person sees which rows go.
    auto shown = [this](int row, const char* field) { return cdsRegras->displayText(row, cdsRegras->fieldIndex(field)); };
    question += "\n";
    for (std::size_t i = 0; i < rows.size() && i < kRulesNamed; ++i) {
        const int row = rows[i];
        // Two short lines a rule, so the question box does not break them anywhere.
        question.append("\n").append(shown(row, "CDARVPROD")).append(" ").append(shown(row, "NMPRODUTO"));
        question.append("\n    ").append(shown(row, "DIA")).append(", consumidor ").append(shown(row, "TIPO"));
        question.append(", ").append(shown(row, "HORARIO")).append(", ").append(shown(row, "VALIDADE"));
    }
    if (rows.size() > kRulesNamed) {
        question += "\ne mais " + std::to_string(rows.size() - kRulesNamed) + " regra(s).";
    }
    return question;
}

wire::DataPacket TfrmConPrecoDiferenciado::keysOf(const std::vector<int>& rows) const {
    wire::DataPacket keys;
    std::vector<int> source;
    for (const char* column : kKeyColumns) {
        const bool isDate = column[0] == 'D' && column[1] == 'T';
        keys.fields.push_back({column, isDate ? "date" : "string", 0});
        source.push_back(cdsRegras->fieldIndex(column));
    }
    for (int row : rows) {
        wire::Row key;
        // Sent exactly as the server listed them, so that each names its stored row.
        for (int field : source) key.push_back(cdsRegras->cell(row, field));
        keys.rows.push_back(std::move(key));
    }
    return keys;
}

void TfrmConPrecoDiferenciado::sbtExcluirClick(vol::Component&) {
    // Only the rows the person sees highlighted go: the list's current row alone (where
    // it stands after a search, before any row is chosen) is no choice of a rule.
    const std::vector<int> rows = grdRegras->selectedRows();
    if (rows.empty()) {
        if (grdRegras->canFocus()) grdRegras->setFocus();
        vol::MensErro(Msg("SELINF"));
    }
    if (!application().ui().askYesNo(removalQuestion(rows), vol::DefaultAnswer::No)) return;
    const std::string branch = filter_ ? filter_->branch : medCdFilial->text();
    const std::string table = filter_ ? filter_->table : medCdTabePrec->text();
    // A refusal (a row another user removed first) shows the server's text; nothing was
    // removed, so the grid stays as it is.
    vol::ServerCallValue(*netTabePreco, "DelPrecDif", {branch, table, keysOf(rows)}, vol::ProgressKind::Store,
                         Msg("Excl_Inf"));
    refresh();
}

}  // namespace vnd
