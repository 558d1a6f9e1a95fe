// Removing the selected rules: all of them or none.

#include <cstdio>

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
}  // namespace

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
    std::vector<int> rows = selectedRules();
    std::string question = Msg("EXCLUIR");
    const auto at = question.find("%d");
    if (at != std::string::npos) question.replace(at, 2, std::to_string(rows.size()));
    if (!application().ui().askYesNo(question)) return;
    const std::string branch = filter_ ? filter_->branch : medCdFilial->text();
    const std::string table = filter_ ? filter_->table : medCdTabePrec->text();
    // A refusal (a row another user removed first) shows the server's text; nothing was
    // removed, so the grid stays as it is.
    vol::ServerCallValue(*netTabePreco, "DelPrecDif", {branch, table, keysOf(rows)}, vol::ProgressKind::Store,
                         Msg("Excl_Inf"));
    refresh();
}

}  // namespace vnd
