#include "till/PriceDataPage.h"

#include <stdexcept>

#include "till/PacketColumns.h"

namespace till {

namespace {

const nlohmann::json& member(const nlohmann::json& answer, const char* name) {
    if (!answer.contains(name)) {
        throw std::runtime_error(std::string("resposta de GetDadosPreco sem ") + name);
    }
    return answer[name];
}

// IDDESCACRE, IDVALPERC and IDVISUALIZA hold 0 or 1.
template <class Set>
Set flag(const PacketColumns& p, const wire::Row& row, int column) {
    const auto value = server::fromColumnValue<Set>(p.integer(row, column));
    if (!value) {
        throw std::runtime_error("pacote regras: indicador fora de 0 e 1");
    }
    return *value;
}

std::vector<server::RuleRow> readRules(const nlohmann::json& json) {
    const PacketColumns p(json, "regras");
    const int branch = p.column("CDFILIAL"), table = p.column("CDTABEPREC"),
              period = p.column("DTINIVGPREC"), product = p.column("CDPRODUTO"),
              day = p.column("IDDIA"), type = p.column("CDTIPOCONS"), start = p.column("HRINI"),
              end = p.column("HRFIN"), from = p.column("DTINIVALID"), to = p.column("DTFINVALID"),
              adjustment = p.column("IDDESCACRE"), kind = p.column("IDVALPERC"),
              amount = p.column("VRPRECDIF"), display = p.column("IDVISUALIZA"),
              updated = p.column("DTULTATU");
    std::vector<server::RuleRow> rules;
    rules.reserve(p.rows().size());
    for (const wire::Row& row : p.rows()) {
        server::RuleRow r;
        r.branch = p.text(row, branch);
        r.table = p.text(row, table);
        r.periodStart = p.date(row, period);
        r.product = p.text(row, product);
        const std::string dayText = p.text(row, day);
        if (dayText.size() != 1) {
            throw std::runtime_error("pacote regras: IDDIA '" + dayText + "'");
        }
        r.day = dayText[0];
        r.consumerType = p.text(row, type);
        r.timeStart = p.text(row, start);
        r.timeEnd = p.text(row, end);
        r.validFrom = p.date(row, from);
        r.validTo = p.date(row, to);
        r.adjustment = flag<server::Adjustment>(p, row, adjustment);
        r.amountKind = flag<server::AmountKind>(p, row, kind);
        r.amount = p.number(row, amount).value_or(0);
        r.display = flag<server::Display>(p, row, display);
        r.updatedAt = p.text(row, updated);
        rules.push_back(std::move(r));
    }
    return rules;
}

}  // namespace

PriceDataPage readPriceDataPage(const nlohmann::json& answer) {
    if (!answer.is_object() || !member(answer, "ate").is_number_integer()) {
        throw std::runtime_error("resposta de GetDadosPreco fora do formato esperado");
    }
    PriceDataPage page;
    page.ate = answer["ate"].get<long long>();
    const nlohmann::json& next = member(answer, "proximo");
    if (next.is_string()) {
        page.next = next.get<std::string>();
    } else if (!next.is_null()) {
        throw std::runtime_error("resposta de GetDadosPreco com proximo que não é texto");
    }
    {
        const PacketColumns p(member(answer, "produtos"), "produtos");
        const int code = p.column("CDPRODUTO"), tree = p.column("CDARVPROD"),
                  name = p.column("NMPRODUTO");
        for (const wire::Row& row : p.rows()) {
            page.products.push_back(
                {p.text(row, code), p.text(row, tree), p.text(row, name), std::nullopt});
        }
    }
    {
        const PacketColumns p(member(answer, "precos"), "precos");
        const int period = p.column("DTINIVGPREC"), code = p.column("CDPRODUTO"),
                  price = p.column("VRPRECO");
        for (const wire::Row& row : p.rows()) {
            const auto value = p.number(row, price);
            if (value) {
                page.prices.push_back({p.date(row, period).iso(), p.text(row, code), *value});
            }
        }
    }
    page.rules = readRules(member(answer, "regras"));
    {
        const PacketColumns p(member(answer, "vigencias"), "vigencias");
        const int start = p.column("DTINIVGPREC"), end = p.column("DTFINVGPREC");
        for (const wire::Row& row : p.rows()) {
            page.periods.push_back({"", "", p.date(row, start).iso(), p.date(row, end).iso()});
        }
    }
    {
        const PacketColumns p(member(answer, "feriados"), "feriados");
        const int branch = p.column("CDFILIAL"), date = p.column("DTFERIADO"),
                  name = p.column("NMFERIADO");
        for (const wire::Row& row : p.rows()) {
            page.holidays.push_back({p.text(row, branch), p.date(row, date), p.text(row, name)});
        }
    }
    {
        const PacketColumns p(member(answer, "tipos"), "tipos");
        const int code = p.column("CDTIPOCONS"), name = p.column("NMTIPOCONS");
        for (const wire::Row& row : p.rows()) {
            page.consumerTypes.push_back({p.text(row, code), p.text(row, name)});
        }
    }
    return page;
}

}  // namespace till
