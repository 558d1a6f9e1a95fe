// The explanation of the price in force, built from the server's answer.

#include <gtest/gtest.h>

#include "inquiry/PriceExplanation.h"

namespace {

using nlohmann::json;
using vnd::PriceExplanation;

json row(const char* day, const char* type, const char* from, const char* to, int valPerc, double amount) {
    return {{"IDDIA", day},
            {"CDTIPOCONS", type},
            {"HRINI", from},
            {"HRFIN", to},
            {"DTINIVALID", {{"$date", "2026-02-01"}}},
            {"DTFINVALID", {{"$date", "2026-02-28"}}},
            {"IDDESCACRE", 0},
            {"IDVALPERC", valPerc},
            {"VRPRECDIF", amount},
            {"IDVISUALIZA", 1}};
}

vnd::PriceQuestion saturdayMorning() {
    return {"01.01.001", "ARROZ BRANCO TIPO 1 5KG", {2026, 2, 7}, "10:30", "01", "Varejo"};
}

TEST(PriceExplanationTest, NamesThePeriodTheDayTheRulesAndThePrice) {
    const json answer = {
        {"periodo", {{"DTINIVGPREC", {{"$date", "2026-01-01"}}}, {"DTFINVGPREC", {{"$date", "2026-12-31"}}}}},
        {"dia", {{"semana", 7}, {"feriado", nullptr}, {"vespera", "Carnaval"}}},
        {"base", 33.18},
        {"preco", 31.18},
        {"abaixo_de_zero", false},
        {"aplicada", row("7", "T", "0800", "1200", 0, 2)},
        {"regras",
         json::array({{{"linha", row("7", "T", "0800", "1200", 0, 2)}, {"situacao", "aplicada"}, {"motivo", nullptr}},
                      {{"linha", row("T", "T", "0001", "2359", 1, 10)},
                       {"situacao", "preterida"},
                       {"motivo", "dia mais específico"}},
                      {{"linha", row("1", "01", "0800", "1200", 0, 1)},
                       {"situacao", "fora"},
                       {"motivo", "outro dia"}}})}};
    const std::string text = PriceExplanation::text(saturdayMorning(), answer, wire::DatePattern("dd/mm/yyyy"));
    const char* const lines[] = {
        "Produto: 01.01.001 - ARROZ BRANCO TIPO 1 5KG\n",
        "Momento: 07/02/2026 às 10:30, tipo de consumidor 01 - Varejo\n",
        "Vigência da tabela: 01/01/2026 a 31/12/2026\n",
        "Dia: 07/02/2026, Sábado, véspera de feriado (Carnaval)\n",
        "Preço base: R$ 33,18\n",
        "Regra aplicada: Sábado, tipo Todos, 08:00 às 12:00, validade 01/02/2026 a 28/02/2026, Desconto de R$ 2,00\n",
        "Preço final: R$ 31,18\n",
        "  preterida (dia mais específico): Todos os Dias, tipo Todos, 00:01 às 23:59, validade 01/02/2026 a "
        "28/02/2026, Desconto de 10,00 %\n",
        "  fora (outro dia): Domingo, tipo 01, 08:00 às 12:00",
    };
    for (const char* line : lines) EXPECT_NE(text.find(line), std::string::npos) << line << "\nin:\n" << text;
    // The applied rule is not listed again among the others.
    EXPECT_EQ(text.find("\n  aplicada"), std::string::npos);
}

TEST(PriceExplanationTest, SaysWhatIsMissingInsteadOfFailing) {
    const json noPeriod = {{"periodo", nullptr}, {"dia", {{"semana", 1}, {"feriado", "Natal"}}}, {"base", nullptr},
                           {"preco", nullptr},   {"aplicada", nullptr},                        {"regras", json::array()}};
    vnd::PriceQuestion q = saturdayMorning();
    q.consumerType.clear();
    const std::string text = PriceExplanation::text(q, noPeriod, wire::DatePattern("dd/mm/yyyy"));
    for (const char* part : {"nenhum tipo de consumidor informado", "nenhuma vigência da tabela cobre esta data",
                             "Domingo, feriado (Natal)", "Preço base: não cadastrado", "Regra aplicada: nenhuma",
                             "Preço final: sem preço", "Outras regras do produto: nenhuma."}) {
        EXPECT_NE(text.find(part), std::string::npos) << part << "\nin:\n" << text;
    }
    // Not even an object: every line still says what it lacks.
    EXPECT_NE(PriceExplanation::text(q, json("x"), wire::DatePattern("dd/mm/yyyy")).find("sem preço"),
              std::string::npos);
}

TEST(PriceExplanationTest, ADiscountBeyondThePriceIsSaid) {
    const json answer = {{"base", 1.5}, {"preco", 0}, {"abaixo_de_zero", true}, {"aplicada", row("T", "T", "0000", "2359", 0, 9)}};
    const std::string text = PriceExplanation::text(saturdayMorning(), answer, wire::DatePattern("dd/mm/yyyy"));
    EXPECT_NE(text.find("Preço final: R$ 0,00 (o desconto excede o preço)"), std::string::npos) << text;
}

}  // namespace
