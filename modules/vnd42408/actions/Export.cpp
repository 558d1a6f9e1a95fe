// Every filtered rule to a CSV file, a page at a time.

#include "forms/Application.h"
#include "inquiry/CsvFile.h"
#include "inquiry/RuleExport.h"
#include "screen/Cli_vnd42408.h"
#include "ui/UserInterface.h"
#include "units/Consiste.h"

namespace vnd {

namespace {
// The largest page the server gives: few calls, and one page in memory at a time.
constexpr int kExportPage = 10000;
}  // namespace

void TfrmConPrecoDiferenciado::sbtExportarClick(vol::Component& sender) {
    if (!filter_) sbtPesquisarClick(sender);
    const RuleFilter filter = *filter_;
    std::optional<std::string> path =
        application().ui().askSaveFile(Msg("Exp_Tit"), "precos-diferenciados.csv", "Arquivos CSV (*.csv)");
    if (!path) return;
    CsvFile file(*path);
    file.write(RuleExport::header());
    const wire::DatePattern pattern(datePattern());
    const std::string& picture = cdsRegras->fieldDef("CDARVPROD").editMask;
    // Every page, not only the ones the grid loaded; one page in memory at a time. Each
    // call shows the animation with the export's caption.
    long total = 0;
    for (int offset = 0;; offset += kExportPage) {
        wire::DataPacket page = fetchRules(filter, offset, kExportPage, total, Msg("Exp_Inf"));
        for (const wire::Row& row : page.rows) file.write(RuleExport::fields(page, row, pattern, picture));
        if (page.rows.empty() || offset + static_cast<long>(page.rows.size()) >= total) break;
    }
    file.commit();
}

}  // namespace vnd
