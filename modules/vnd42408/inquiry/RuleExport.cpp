#include "inquiry/RuleExport.h"

#include "inquiry/RuleText.h"
#include "text/MaskEngine.h"

namespace vnd {

const std::vector<std::string>& RuleExport::header() {
    static const std::vector<std::string> header = {
        "Filial",          "Tabela",        "Início da vigência", "Produto",        "Código",
        "Nome",            "Dia",           "Tipo de consumidor", "Horário inicial", "Horário final",
        "Validade inicial", "Validade final", "Tipo de ajuste",   "Forma",          "Valor",
        "Visualiza",       "Atualizado em"};
    return header;
}

std::vector<std::string> RuleExport::fields(const wire::DataPacket& page, const wire::Row& row,
                                            const wire::DatePattern& pattern, const std::string& picture) {
    auto get = [&](const char* field) -> std::string {
        const int i = page.fieldIndex(field);
        if (i < 0 || static_cast<std::size_t>(i) >= row.size() || !row[static_cast<std::size_t>(i)]) return {};
        return *row[static_cast<std::size_t>(i)];
    };
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
            RuleText::display(get("IDVISUALIZA")),
            RuleText::timestampText(get("DTULTATU"), pattern)};
}

}  // namespace vnd
