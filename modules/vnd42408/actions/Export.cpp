// Every filtered rule to a CSV file, a page at a time.

#include "forms/Application.h"
#include "inquiry/CsvFile.h"
#include "inquiry/RuleText.h"
#include "screen/Cli_vnd42408.h"
#include "ui/UserInterface.h"
#include "units/Consiste.h"
#include "text/MaskEngine.h"

namespace vnd {

namespace {
// The largest page the server gives: few calls, and one page in memory at a time.
constexpr int kExportPage = 10000;

const std::vector<std::string>& exportHeader() {
    static const std::vector<std::string> header = {
        "Filial",        "Tabela",          "Início da vigência", "Produto", "Código", "Nome", "Dia",
        "Tipo de consumidor", "Horário inicial", "Horário final", "Validade inicial", "Validade final",
        "Tipo de ajuste", "Forma",          "Valor",              "Visualiza", "Atualizado em"};
    return header;
}
}  // namespace

std::vector<std::string> TfrmConPrecoDiferenciado::exportLine(const wire::DataPacket& page,
                                                               const wire::Row& row) const {
    wire::DatePattern pattern(datePattern());
    auto get = [&](const char* field) -> std::string {
        const int i = page.fieldIndex(field);
        return i < 0 || !row[static_cast<std::size_t>(i)] ? std::string() : *row[static_cast<std::size_t>(i)];
    };
    const int arv = cdsRegras->fieldIndex("CDARVPROD");
    const std::string& picture = cdsRegras->fieldDefs()[static_cast<std::size_t>(arv)].editMask;
    std::string product = get("CDARVPROD");
    if (!picture.empty() && !product.empty()) product = vol::MaskEngine(picture).editTextFromText(product);
    const std::optional<double> amount = RuleText::number(get("VRPRECDIF"));
    return {get("CDFILIAL"),
            get("CDTABEPREC"),
            RuleText::dateText(get("DTINIVGPREC"), pattern),
            product,
            get("CDPRODUTO"),
            get("NMPRODUTO"),
            RuleText::day(get("IDDIA")),
            RuleText::consumerType(get("CDTIPOCONS")),
            RuleText::timeText(get("HRINI")),
            RuleText::timeText(get("HRFIN")),
            RuleText::dateText(get("DTINIVALID"), pattern),
            RuleText::dateText(get("DTFINVALID"), pattern),
            RuleText::adjustment(get("IDDESCACRE")),
            RuleText::form(get("IDVALPERC")),
            amount ? RuleText::decimal(*amount) : get("VRPRECDIF"),
            RuleText::yesNo(get("IDVISUALIZA")),
            RuleText::timestampText(get("DTULTATU"), pattern)};
}

void TfrmConPrecoDiferenciado::sbtExportarClick(vol::Component& sender) {
    if (!filter_) sbtPesquisarClick(sender);
    const RuleFilter filter = *filter_;
    std::optional<std::string> path =
        application().ui().askSaveFile(Msg("Exp_Tit"), "precos-diferenciados.csv", "Arquivos CSV (*.csv)");
    if (!path) return;
    CsvFile file(*path);
    file.write(exportHeader());
    // Every page, not only the ones the grid loaded; one page in memory at a time. Each
    // call shows the animation with the export's caption.
    long total = 0;
    for (int offset = 0;; offset += kExportPage) {
        wire::DataPacket page = fetchRules(filter, offset, kExportPage, total, Msg("Exp_Inf"));
        for (const wire::Row& row : page.rows) file.write(exportLine(page, row));
        if (page.rows.empty() || offset + static_cast<long>(page.rows.size()) >= total) break;
    }
    file.commit();
}

}  // namespace vnd
