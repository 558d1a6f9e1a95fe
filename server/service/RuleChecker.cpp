#include "server/service/RuleChecker.h"

#include <algorithm>
#include <string_view>

#include "server/pricing/PriceMoment.h"
#include "server/pricing/RuleText.h"
#include "server/service/Refusal.h"

namespace server {

namespace {

[[noreturn]] void refuse(const std::string& message) {
    throw Refusal(Refusal::Reason::Rule, message);
}

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

std::vector<char> tickedDays(const wire::RuleArguments& r) {
    // "Every day" stands for all days: the screen disables the other boxes while it is
    // ticked, so their marks are left-overs and give no rows of their own.
    using wire::DayBox;
    if (r.ticked(DayBox::EveryDay)) {
        return {'T'};
    }
    std::vector<char> days;
    if (r.ticked(DayBox::Holiday)) {
        days.push_back('F');
    }
    if (r.ticked(DayBox::HolidayEve)) {
        days.push_back('V');
    }
    for (int d = 0; d < 7; ++d) {
        if (r.ticked(static_cast<DayBox>(static_cast<int>(DayBox::Sunday) + d))) {
            days.push_back(static_cast<char>('1' + d));
        }
    }
    return days;
}

std::vector<std::string> listedProducts(const wire::RuleArguments& r, const RuleContext& c) {
    if (!r.products || r.products->rows.empty()) {
        refuse("Nenhum produto informado na lista.");
    }
    const int column = r.products->fieldIndex("CDPRODUTO");
    if (column < 0) {
        refuse("O pacote de produtos não tem o campo CDPRODUTO.");
    }
    // A sorted view of the assortment answers "sold?" by binary search, and its positions
    // mark the codes already taken: no hashing of every code of a large assortment.
    std::vector<std::string_view> sold;
    sold.reserve(c.branchProducts.size());
    for (const ProductRef& p : c.branchProducts) {
        sold.emplace_back(p.code);
    }
    if (!std::is_sorted(sold.begin(), sold.end())) {
        std::sort(sold.begin(), sold.end());
    }
    std::vector<bool> taken(sold.size());
    std::vector<std::string> codes;
    codes.reserve(r.products->rows.size());
    for (const wire::Row& row : r.products->rows) {
        const wire::Cell& cell = row[static_cast<std::size_t>(column)];
        if (!cell || cell->empty()) {
            refuse("Produto sem código na lista.");
        }
        const auto at = std::lower_bound(sold.begin(), sold.end(), std::string_view(*cell));
        if (at == sold.end() || *at != *cell) {
            refuse("Produto " + *cell + " não é vendido pela filial " + r.branch + ".");
        }
        const auto index = static_cast<std::size_t>(at - sold.begin());
        if (!taken[index]) {
            taken[index] = true;
            codes.push_back(*cell);
        }
    }
    return codes;
}

std::vector<std::string> rangeProducts(const wire::RuleArguments& r, const RuleContext& c) {
    const std::string first = upper(trim(r.rangeStart));
    const std::string last = upper(trim(r.rangeEnd));
    if (first.empty() || last.empty()) {
        refuse("Informe o produto inicial e o produto final do intervalo.");
    }
    std::vector<std::string> codes;
    for (const ProductRef& p : c.branchProducts) {
        const std::string tree = upper(p.treeCode);
        if (first <= tree && tree <= last) {
            codes.push_back(p.code);
        }
    }
    if (codes.empty()) {
        refuse("Nenhum produto da filial " + r.branch + " no intervalo de " + trim(r.rangeStart) +
               " a " + trim(r.rangeEnd) + ".");
    }
    return codes;
}

}  // namespace

RuleContext loadRuleContext(RuleStore& store, const wire::RuleArguments& r) {
    RuleContext c;
    c.branchExists = !store.branches(r.branch).empty();
    if (!c.branchExists) {
        return c;
    }
    const auto tables = store.priceTables(r.branch);
    c.tableExists = std::any_of(tables.begin(), tables.end(),
                                [&](const PriceTable& t) { return t.code == r.table; });
    if (c.tableExists) {
        const auto periods = store.periods(r.branch, r.table, r.periodStart);
        if (!periods.empty()) {
            c.period = periods.front();
        }
    }
    c.consumerTypeExists = r.consumerType != "T" && store.consumerTypeExists(r.consumerType);
    // A short list is looked up code by code: a rule over a few products of a large
    // assortment need not read the assortment. A long list, a range or every product is
    // checked against the whole assortment, which then costs about as much as the list.
    constexpr std::size_t kListLookedUpByCode = 2000;
    const int column = r.products ? r.products->fieldIndex("CDPRODUTO") : -1;
    if (r.mode == wire::ProductMode::List && column >= 0 && r.products->rows.size() <= kListLookedUpByCode) {
        std::vector<std::string> codes;
        codes.reserve(r.products->rows.size());
        for (const wire::Row& row : r.products->rows) {
            if (const wire::Cell& cell = row[static_cast<std::size_t>(column)]; cell) {
                codes.push_back(*cell);
            }
        }
        c.branchProducts = store.branchProductsAmong(r.branch, codes);
    } else {
        c.branchProducts = store.branchProducts(r.branch);
    }
    return c;
}

RuleRows checkRuleRows(const wire::RuleArguments& r, const RuleContext& c) {
    const std::vector<char> days = tickedDays(r);
    if (days.empty()) {
        refuse("Informe ao menos um dia para o preço diferenciado.");
    }
    if (!r.mode) {
        refuse("Escolha exatamente um modo de seleção de produtos: lista, todos ou intervalo.");
    }
    if (!r.adjustment) {
        refuse("Tipo de preço diferenciado inválido: use 0 (desconto) ou 1 (acréscimo).");
    }
    if (!r.amountKind) {
        refuse("Forma do valor inválida: use 0 (valor) ou 1 (percentual).");
    }
    if (!r.display) {
        refuse("Opção de visualização inválida: use 0 (sim) ou 1 (não).");
    }
    if (!c.branchExists) {
        refuse("Filial " + r.branch + " não cadastrada.");
    }
    if (!c.tableExists) {
        refuse("Tabela de preço " + r.table + " não cadastrada na filial " + r.branch + ".");
    }
    if (!c.period) {
        refuse("Vigência iniciada em " + shortDate(r.periodStart) +
               " não cadastrada para a tabela de preço " + r.table + " da filial " + r.branch +
               ".");
    }
    if (r.validTo < r.validFrom) {
        refuse("Validade inicial deve ser menor ou igual à validade final.");
    }
    const auto periodStart = wire::Date::fromIso(c.period->start);
    const auto periodEnd = wire::Date::fromIso(c.period->end);
    if (!periodStart || !periodEnd || r.validFrom < *periodStart || *periodEnd < r.validTo) {
        refuse("A validade deve estar dentro da vigência (" + shortDate(r.periodStart) + " a " +
               (periodEnd ? shortDate(*periodEnd) : c.period->end) + ").");
    }
    if (!isTimeOfDay(r.timeStart)) {
        refuse("Horário inicial '" + r.timeStart + "' não é uma hora válida (HHMM).");
    }
    if (!isTimeOfDay(r.timeEnd)) {
        refuse("Horário final '" + r.timeEnd + "' não é uma hora válida (HHMM).");
    }
    if (r.timeEnd < r.timeStart) {
        refuse("Horário inicial deve ser menor ou igual ao horário final.");
    }
    const bool percentage = r.amountKind == wire::AmountKind::Percentage;
    if (!percentage && !(r.amount > 0)) {
        refuse("Valor deve ser maior do que zero.");
    }
    if (percentage && !(r.amount > 0 && r.amount < 100)) {
        refuse(r.adjustment == wire::Adjustment::Discount ? "O percentual de desconto deve estar entre 0 e 100."
                                : "O percentual de acréscimo deve estar entre 0 e 100.");
    }
    if (r.consumerType != "T" && !c.consumerTypeExists) {
        refuse(unknownConsumerType(r.consumerType));
    }

    std::vector<std::string> products;
    if (r.mode == wire::ProductMode::All) {
        for (const ProductRef& p : c.branchProducts) {
            products.push_back(p.code);
        }
        if (products.empty()) {
            refuse("A filial " + r.branch + " não tem produtos cadastrados.");
        }
    } else if (r.mode == wire::ProductMode::List) {
        products = listedProducts(r, c);
    } else {
        products = rangeProducts(r, c);
    }

    RuleRows rows;
    rows.shared.branch = r.branch;
    rows.shared.table = r.table;
    rows.shared.periodStart = r.periodStart;
    rows.shared.consumerType = r.consumerType;
    rows.shared.timeStart = r.timeStart;
    rows.shared.timeEnd = r.timeEnd;
    rows.shared.validFrom = r.validFrom;
    rows.shared.validTo = r.validTo;
    rows.shared.adjustment = *r.adjustment == wire::Adjustment::Surcharge ? Adjustment::Surcharge
                                                                          : Adjustment::Discount;
    rows.shared.amountKind = *r.amountKind == wire::AmountKind::Percentage
                                 ? AmountKind::Percentage
                                 : AmountKind::Money;
    rows.shared.amount = r.amount;
    rows.shared.display = *r.display == wire::Display::Hidden ? Display::Hidden : Display::Shown;
    rows.products = std::move(products);
    rows.days = days;
    return rows;
}

UpsertCounts storeRule(RuleStore& store, const wire::RuleArguments& request) {
    UpsertCounts counts;
    store.writeTransaction([&] {
        // The rows go to the store in compact form and are made one by one as they are
        // written: a rule over a whole assortment is never held as a million row objects.
        const RuleRows rows = checkRuleRows(request, loadRuleContext(store, request));
        counts = store.upsertRule(rows);
        // A rule over the whole assortment is one change of every product.
        Change change = Change::ofPeriod(rows.shared.branch, rows.shared.table,
                                         rows.shared.periodStart.iso(), std::nullopt,
                                         ChangeKind::Rules);
        if (request.mode == wire::ProductMode::All) {
            store.logChange(change);
            return;
        }
        for (const std::string& product : rows.products) {
            change.product = product;
            store.logChange(change);
        }
    });
    return counts;
}

std::vector<RuleRow> checkRule(const wire::RuleArguments& r, const RuleContext& c) {
    const RuleRows compact = checkRuleRows(r, c);
    std::vector<RuleRow> rows;
    rows.reserve(compact.size());
    compact.forEach([&](const RuleRow& row) { rows.push_back(row); });
    return rows;
}

}  // namespace server
