#include "server/cli/PricingCommands.h"

#include <ostream>
#include <stdexcept>
#include <vector>

#include "server/cli/CsvFile.h"
#include "server/ops/Utf8Text.h"
#include "server/service/PriceExplanation.h"
#include "server/pricing/PriceBookWriter.h"
#include "server/pricing/RuleText.h"
#include "protocol/DatePattern.h"
#include "server/store/StoreFactory.h"

namespace server {

namespace {

PriceMoment momentOf(RuleStore& store, const PriceQuestion& q) {
    const auto moment = splitMoment(q.at);
    if (!moment) {
        throw std::invalid_argument("--at deve ser \"AAAA-MM-DD HH:MM\": " + q.at);
    }
    return priceMoment(store, q.branch, q.table, q.consumerType, moment->first, moment->second);
}

wire::Date dateArgument(const std::string& text) {
    const auto date = wire::Date::fromIso(text);
    if (!date) {
        throw std::invalid_argument("--date deve ser uma data AAAA-MM-DD existente: " + text);
    }
    return *date;
}

// Why a holiday's name cannot be stored, or nullopt when it can: the screens show it as
// UTF-8, in at most 60 characters (not bytes: "São José" is 8).
std::optional<std::string> badHolidayName(const std::string& name) {
    const auto characters = utf8Characters(name);
    if (!characters) {
        return "o nome não está em UTF-8";
    }
    if (*characters == 0 || *characters > 60) {
        return "o nome deve ter de 1 a 60 caracteres";
    }
    return std::nullopt;
}

void printPriceBook(RuleStore& store, const PriceQuestion& q, bool csv, std::ostream& out) {
    const PriceMoment at = momentOf(store, q);
    PriceBookWriter book(out, at, csv);
    forEachPrice(store, at, [&](const PricedProduct& p, const RuleRow* r, const PriceResult& price) {
        book.add(p, r, price);
    });
}

}  // namespace

void printPrice(const PriceQuestion& q, const std::string& product, std::ostream& out) {
    auto store = openStoreToRead(q.url);
    // The moment's facts and the product's rules read as one state of the database.
    store->readTogether(
        [&] { out << explanationText(explainPrice(*store, momentOf(*store, q), product)); });
}

void printPrices(const PriceQuestion& q, bool csv, std::ostream& out) {
    auto store = openStoreToRead(q.url);
    // The moment's facts and the whole book read as one state of the database.
    store->readTogether([&] { printPriceBook(*store, q, csv, out); });
}

void listHolidays(const std::string& url, const std::optional<std::string>& branch,
                  std::optional<int> year, std::ostream& out) {
    auto store = openStoreToRead(url);
    const wire::Date from = year ? wire::Date{*year, 1, 1} : wire::Date{1, 1, 1};
    const wire::Date to = year ? wire::Date{*year, 12, 31} : wire::Date{9999, 12, 31};
    for (const Holiday& h : PricingQueries(*store).holidays(branch, from, to)) {
        out << h.branch << ';' << shortDate(h.date) << ';' << h.name << '\n';
    }
}

void addHoliday(const std::string& url, const std::string& branch, const std::string& date,
                const std::string& name, std::ostream& out) {
    auto store = openCurrentStore(url);
    if (const auto why = badHolidayName(name)) {
        throw std::invalid_argument("--name: " + *why);
    }
    if (branch != "T" && store->branches(branch).empty()) {
        throw std::invalid_argument("filial " + branch + " não cadastrada");
    }
    const Holiday h{branch, dateArgument(date), name};
    const bool added = PricingQueries(*store).putHolidays({h}) == 1;
    out << "vnd-server: feriado " << shortDate(h.date) << " (" << branch << ") "
        << (added ? "incluído" : "renomeado") << ": " << name << '\n';
}

void removeHoliday(const std::string& url, const std::string& branch, const std::string& date,
                   std::ostream& out) {
    auto store = openCurrentStore(url);
    const wire::Date day = dateArgument(date);
    if (!PricingQueries(*store).removeHoliday(branch, day)) {
        throw std::runtime_error("não há feriado em " + shortDate(day) + " para " + branch);
    }
    out << "vnd-server: feriado " << shortDate(day) << " (" << branch << ") excluído\n";
}

void importHolidays(const std::string& url, const std::string& file, std::ostream& out) {
    std::vector<Holiday> holidays;
    std::unique_ptr<RuleStore> store;
    readTextLines(file, "nenhum feriado foi gravado", [&](int, const std::string& line) {
        if (!store) {
            store = openCurrentStore(url);
        }
        // The name is the rest of the line, `;` and all.
        const auto first = line.find(';');
        const auto second = first == std::string::npos ? first : line.find(';', first + 1);
        if (second == std::string::npos) {
            throw std::invalid_argument("esperado filial;dd/mm/aaaa;nome");
        }
        Holiday h;
        h.branch = line.substr(0, first);
        const std::string dateText = line.substr(first + 1, second - first - 1);
        h.name = line.substr(second + 1);
        static const wire::DatePattern pattern("dd/mm/yyyy");
        const auto date = pattern.parse(dateText);
        if (!date) {
            throw std::invalid_argument("data inválida '" + dateText + "'");
        }
        h.date = *date;
        if (const auto why = badHolidayName(h.name)) {
            throw std::invalid_argument(*why);
        }
        if (h.branch != "T" && store->branches(h.branch).empty()) {
            throw std::invalid_argument("filial " + h.branch + " não cadastrada");
        }
        holidays.push_back(std::move(h));
    });
    if (!store) {
        store = openCurrentStore(url);
    }
    const long added = PricingQueries(*store).putHolidays(holidays);
    const bool one = holidays.size() == 1;
    out << "vnd-server: " << holidays.size() << (one ? " feriado importado (" : " feriados importados (")
        << added << (added == 1 ? " novo)\n" : " novos)\n");
}

}  // namespace server
