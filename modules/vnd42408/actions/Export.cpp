// Every filtered rule to a CSV file, a page at a time.

#include "forms/Application.h"
#include "inquiry/CsvFile.h"
#include "inquiry/PageCursor.h"
#include "inquiry/RuleExport.h"
#include "inquiry/RuleText.h"
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
    PageCursor cursor(filter.firstProduct);
    long written = 0;
    for (;;) {
        RuleFilter from = filter;
        from.firstProduct = cursor.firstProduct();
        long total = 0;
        wire::DataPacket page = fetchRules(from, static_cast<int>(cursor.offset()), kExportPage, total, Msg("Exp_Inf"));
        for (const wire::Row& row : page.rows) file.write(RuleExport::fields(page, row, pattern, picture));
        written += static_cast<long>(page.rows.size());
        if (!cursor.advance(page, kExportPage, total)) break;
    }
    file.commit();
    // Where the file went and what it holds, so the person can find it.
    application().ui().showInfo(RuleText::ruleCount(written) + (written == 1 ? " exportada" : " exportadas") +
                                " para " + *path + ".");
}

}  // namespace vnd
