#include "RandomChanges.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "RuleArguments.h"
#include "server/cli/CsvFile.h"

namespace reliability {

namespace {

using nlohmann::json;
using Rows = std::vector<std::vector<std::string>>;

std::string fileDate(const wire::Date& d) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d/%02d/%04d", d.day, d.month, d.year);
    return text;
}

// The rows of `rows` whose first `n` cells are `scope`.
Rows within(const Rows& rows, const std::vector<std::string>& scope) {
    Rows out;
    for (const auto& row : rows) {
        if (std::equal(scope.begin(), scope.end(), row.begin())) {
            out.push_back(row);
        }
    }
    return out;
}

// Removes the row whose first cells are `key`; false when there is none.
bool drop(Rows& rows, const std::vector<std::string>& key) {
    const auto at = std::find_if(rows.begin(), rows.end(), [&](const auto& row) {
        return std::equal(key.begin(), key.end(), row.begin());
    });
    if (at == rows.end()) {
        return false;
    }
    rows.erase(at);
    return true;
}

// An edit of one kind's exported rows: the lines to import (with `full`, the whole set
// of the parts they name) and what they change.
struct Edit {
    Rows lines;
    Touched touched;
};

// A name no row had: "PREFIX N".
std::string newName(RandomChanges& c, const char* prefix) {
    return std::string(prefix) + " " + std::to_string(c.pick(100000));
}

// Renames row i (its name in `column`): the one line a partial import needs.
Edit rename(RandomChanges& c, Rows& rows, std::size_t i, std::size_t column, const char* prefix,
            bool full) {
    rows[i][column] = newName(c, prefix);
    return {full ? rows : Rows{rows[i]}, {}};
}

Edit editBranches(RandomChanges& c, Rows& rows, bool) {
    if (c.pick(3) == 0 && within(rows, {"0004"}).empty()) {
        return {{{"0004", "Loja Leste"}}, {"", "0004", "", ""}};
    }
    const auto i = static_cast<std::size_t>(c.pick(static_cast<int>(rows.size())));
    Edit e = rename(c, rows, i, 1, "Loja", false);
    e.touched.branch = rows[i][0];
    return e;
}

Edit editTables(RandomChanges& c, Rows& rows, bool full) {
    const std::vector<std::string> added{"0002", "002"};
    if (full) {
        Rows branch = within(rows, {"0002"});
        if (drop(branch, added)) {
            return {branch, {"", "0002", "002", ""}};
        }
        Edit e = rename(c, branch, 0, 2, "Varejo", true);
        e.touched = {"", "0002", "001", ""};
        return e;
    }
    if (c.pick(2) == 0 && within(rows, added).empty()) {
        return {{{"0002", "002", "Atacado Norte"}}, {"", "0002", "002", ""}};
    }
    const auto i = static_cast<std::size_t>(c.pick(static_cast<int>(rows.size())));
    Edit e = rename(c, rows, i, 2, "Tabela", false);
    e.touched = {"", rows[i][0], rows[i][1], ""};
    return e;
}

Edit editPeriods(RandomChanges& c, Rows& rows, bool full) {
    const DemoTable& t = kDemoTables[c.pick(3)];
    const std::vector<std::string> added{t.branch, t.table, "01/01/2028"};
    Rows table = within(rows, {t.branch, t.table});
    Edit e{{}, {"", t.branch, t.table, ""}};
    if (full && drop(table, added)) {
        e.lines = table;
        return e;
    }
    if (!full && c.pick(2) == 0 && within(table, added).empty()) {
        e.lines = {{t.branch, t.table, "01/01/2028", "31/12/2028"}};
        return e;
    }
    // The last period ends a month later, or back where it ended.
    for (auto& row : table) {
        if (row[2] == "01/01/2027") {
            row[3] = row[3] == "30/06/2027" ? "31/07/2027" : "30/06/2027";
            e.lines = full ? table : Rows{row};
        }
    }
    return e;
}

Edit editProducts(RandomChanges& c, Rows& rows, bool full) {
    int highest = 0;
    for (const auto& row : rows) {
        highest = std::max(highest, std::stoi(row[0]));
    }
    if (full) {
        // An added product goes first; else one that only branch 0001 sells.
        const int gone = highest > kDemoProducts ? highest : kDemoProducts / 2 + 1 + c.pick(kDemoProducts / 2);
        drop(rows, {productCode(gone)});
        c.productGone(productCode(gone));
        return {rows, {"", "0001", "", productCode(gone)}};
    }
    if (c.pick(2) == 0) {
        const int i = highest + 1;
        return {{{productCode(i), treeCode(i), newName(c, "PRODUTO NOVO")}}, {"", "0001", "", productCode(i)}};
    }
    const auto i = static_cast<std::size_t>(c.pick(static_cast<int>(rows.size())));
    Edit e = rename(c, rows, i, 2, "PRODUTO RENOMEADO", false);
    e.touched = {"", "0001", "", rows[i][0]};
    return e;
}

Edit editAssortment(RandomChanges& c, Rows& rows, bool full) {
    Rows branch = within(rows, {"0002"});
    if (full && !branch.empty()) {
        const auto i = static_cast<std::size_t>(c.pick(static_cast<int>(branch.size())));
        const std::string product = branch[i][1];
        branch.erase(branch.begin() + static_cast<long>(i));
        return {branch, {"", "0002", "001", product}};
    }
    // Branch 0002 starts selling one more of the products 0001 sells (one it sells already
    // when there is none).
    Rows more;
    for (const auto& row : within(rows, {"0001"})) {
        if (within(branch, {"0002", row[1]}).empty()) {
            more.push_back({"0002", row[1]});
        }
    }
    const Rows& from = more.empty() ? branch : more;
    const auto& row = from[static_cast<std::size_t>(c.pick(static_cast<int>(from.size())))];
    return {{row}, {"", "0002", "001", row[1]}};
}

Edit editTypes(RandomChanges& c, Rows& rows, bool full) {
    if (full && drop(rows, {"05"})) {
        return {rows, {}};
    }
    if (!full && c.pick(2) == 0 && within(rows, {"05"}).empty()) {
        return {{{"05", "Atacarejo"}}, {}};
    }
    return rename(c, rows, static_cast<std::size_t>(c.pick(static_cast<int>(rows.size()))), 1, "Tipo", full);
}

Edit editBranchTypes(RandomChanges& c, Rows& rows, bool full) {
    const char* branch = full || c.pick(2) == 0 ? "0001" : "0002";
    Rows own = within(rows, {branch});
    const char* type = std::vector<const char*>{"01", "02", "03", "04"}[static_cast<std::size_t>(c.pick(4))];
    if (full && own.size() > 1) {
        own.erase(own.begin() + c.pick(static_cast<int>(own.size())));
        return {own, {"", branch, "", ""}};
    }
    own.push_back({branch, type});
    return {full ? own : Rows{own.back()}, {"", branch, "", ""}};
}

struct ReferenceKind {
    const char* kind;
    Edit (*edit)(RandomChanges&, Rows&, bool full);
};
constexpr ReferenceKind kReferenceKinds[] = {
    {"filiais", editBranches},     {"tabelas", editTables},   {"vigencias", editPeriods},
    {"produtos", editProducts},    {"sortimento", editAssortment}, {"tipos", editTypes},
    {"tipos-filial", editBranchTypes},
};

}  // namespace

unsigned seedOfRun(unsigned otherwise) {
    const char* given = std::getenv("VND_TEST_SEED");
    return given != nullptr && *given != '\0' ? static_cast<unsigned>(std::stoul(given)) : otherwise;
}

std::string productCode(int i) {
    const std::string digits = std::to_string(i);
    return std::string(10 - std::min<std::size_t>(digits.size(), 10), '0').append(digits);
}

std::string treeCode(int i) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d%02d%03d", 1 + (i - 1) / 100, 1 + (i - 1) % 100 / 10, i);
    return text;
}

wire::Date windowDay(int k) {
    return wire::Date::fromDaysSinceEpoch(wire::Date{2026, 2, 1}.daysSinceEpoch() + k);
}

std::string hhmm(int minutes) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d%02d", minutes / 60, minutes % 60);
    return text;
}

RandomChanges::RandomChanges(unsigned seed, std::string url, std::filesystem::path dir, Command command)
    : rng_(seed), url_(std::move(url)), dir_(std::move(dir)), command_(std::move(command)) {}

int RandomChanges::pick(int n) {
    return static_cast<int>(rng_() % static_cast<unsigned>(n));
}

std::string RandomChanges::file(const std::string& stem) {
    return (dir_ / (stem + std::to_string(++files_) + ".csv")).string();
}

json RandomChanges::randomRule(const DemoTable& t) {
    wire::RuleArguments r = testdb::baseArguments();
    r.branch = t.branch;
    r.table = t.table;
    r.days = {};
    // Half the rules go by holidays and eves, which the moments meet.
    for (int n = 1 + pick(2); n > 0; --n) {
        r.tick(pick(2) == 0 ? (pick(2) == 0 ? wire::DayBox::Holiday : wire::DayBox::HolidayEve)
                            : static_cast<wire::DayBox>(pick(wire::kDayBoxes)));
    }
    r.adjustment = pick(2) == 0 ? wire::Adjustment::Discount : wire::Adjustment::Surcharge;
    r.amountKind = pick(2) == 0 ? wire::AmountKind::Money : wire::AmountKind::Percentage;
    r.amount = r.amountKind == wire::AmountKind::Money ? 0.01 * (1 + pick(3000)) : 1 + pick(60) + pick(100) / 100.0;
    // Half of them valid the whole window, all day.
    const int from = pick(2) == 0 ? 0 : pick(45);
    r.validFrom = windowDay(from);
    r.validTo = windowDay(from == 0 ? 59 : from + pick(20));
    const int start = pick(2) == 0 ? 1 : pick(24 * 60);
    r.timeStart = hhmm(start);
    r.timeEnd = hhmm(start == 1 ? 24 * 60 - 1 : start + pick(24 * 60 - start));
    r.consumerType = std::vector<std::string>{"T", "01", "02"}[static_cast<std::size_t>(pick(3))];
    r.display = pick(2) == 0 ? wire::Display::Shown : wire::Display::Hidden;
    switch (pick(3)) {
        case 0: {
            r.mode = wire::ProductMode::List;
            std::vector<json> codes;
            for (int n = 1 + pick(6); n > 0; --n) {
                codes.emplace_back(productCode(1 + pick(t.products)));
            }
            json params = wire::toParams(r);
            testdb::arg(params, testdb::kProducts) = testdb::productPacket(codes);
            return params;
        }
        case 1: {
            r.mode = wire::ProductMode::Range;
            const int first = 1 + pick(t.products);
            r.rangeStart = treeCode(first);
            r.rangeEnd = treeCode(std::min(t.products, first + pick(60)));
            return wire::toParams(r);
        }
        default:
            return wire::toParams(r);  // every product
    }
}

Touched RandomChanges::removeRandomRules(testdb::LineClient& client, const DemoTable& t) {
    const std::string where = std::string(" em ") + t.branch + "/" + t.table;
    auto page = [&](long long offset, long long limit) {
        return client.call("GetPrecDif", {t.branch, t.table, nullptr, "", "", "", "", nullptr, offset, limit})
            .at("result");
    };
    const long long total = page(0, 1)["total"];
    if (total == 0) {
        return {"nada a excluir" + where, t.branch, t.table, ""};
    }
    const long long n = std::min<long long>(total, 1 + pick(4));
    const json rows = page(pick(static_cast<int>(total - n + 1)), n)["rows"]["$packet"];
    json fields = json::array();
    std::vector<std::size_t> keep;
    for (const char* name : {"CDFILIAL", "CDTABEPREC", "DTINIVGPREC", "CDPRODUTO", "IDDIA", "CDTIPOCONS", "HRINI",
                             "HRFIN", "DTINIVALID", "DTFINVALID"}) {
        for (std::size_t i = 0; i < rows["fields"].size(); ++i) {
            if (rows["fields"][i]["name"] == name) {
                fields.push_back(rows["fields"][i]);
                keep.push_back(i);
            }
        }
    }
    json keys = json::array();
    for (const json& row : rows["rows"]) {
        json key = json::array();
        for (std::size_t i : keep) {
            key.push_back(row[i]);
        }
        keys.push_back(key);
    }
    const json answer =
        client.call("DelPrecDif", {t.branch, t.table, {{"$packet", {{"fields", fields}, {"rows", keys}}}}});
    EXPECT_TRUE(answer.contains("result")) << answer.dump();
    return {"DelPrecDif de " + std::to_string(n) + where, t.branch, t.table, keys[0][3].get<std::string>()};
}

Touched RandomChanges::importBasePrices(const DemoTable& t, bool full) {
    const std::string name = file("precos");
    std::ofstream csv(name);
    csv << "CDFILIAL;CDTABEPREC;DTINIVGPREC;CDPRODUTO;VRPRECO\n";
    std::string touched;
    // The whole set of the table: the products left out lose their prices.
    for (int n = full ? t.products : 1 + pick(6), i = 1; i <= n; ++i) {
        const int product = full ? i : 1 + pick(t.products);
        if ((full && pick(10) == 0) || goneProducts_.contains(productCode(product))) {
            continue;
        }
        touched = productCode(product);
        csv << t.branch << ';' << t.table << ";01/01/2026;" << touched << ';' << 1 + pick(80) << ',' << pick(10)
            << pick(10) << '\n';
    }
    if (touched.empty()) {  // every product picked is gone: one that stays
        touched = productCode(1);
        csv << t.branch << ';' << t.table << ";01/01/2026;" << touched << ";9,99\n";
    }
    csv.close();
    std::vector<std::string> args{"import", "--db", url_, "precos", name};
    if (full) {
        args.push_back("--full");
    }
    command_(args);
    return {std::string("import precos") + (full ? " --full" : "") + " em " + t.branch + "/" + t.table, t.branch,
            t.table, touched};
}

Touched RandomChanges::changeHoliday() {
    const char* branch = std::vector<const char*>{"0001", "T", "0002"}[static_cast<std::size_t>(pick(3))];
    const std::string date = windowDay(kHolidayDays[pick(std::size(kHolidayDays))]).iso();
    const bool remove = holidays_.contains({branch, date});
    if (remove) {
        command_({"holidays", "--db", url_, "remove", "--branch", branch, "--date", date});
        holidays_.erase({branch, date});
    } else {
        command_({"holidays", "--db", url_, "add", "--branch", branch, "--date", date, "--name",
                  "Feriado " + std::to_string(pick(100))});
        holidays_.insert({branch, date});
    }
    return {std::string(remove ? "holidays remove " : "holidays add ") + branch + " " + date,
            branch == std::string("T") ? "0001" : branch, "", ""};
}

Touched RandomChanges::importHolidays() {
    const std::string name = file("feriados");
    std::ofstream csv(name);
    Touched t{"holidays import", "0002", "", ""};
    for (int n = 1 + pick(3); n > 0; --n) {
        const char* branch = std::vector<const char*>{"0001", "T", "0002"}[static_cast<std::size_t>(pick(3))];
        const wire::Date date = windowDay(kHolidayDays[pick(std::size(kHolidayDays))]);
        csv << branch << ';' << fileDate(date) << ";Feriado importado " << pick(100) << '\n';
        holidays_.insert({branch, date.iso()});
        t.what += std::string(" ") + branch + " " + date.iso();
    }
    csv.close();
    command_({"holidays", "--db", url_, "import", name});
    return t;
}

Touched RandomChanges::importReference(const std::string& kind, bool full) {
    const auto* k = std::find_if(std::begin(kReferenceKinds), std::end(kReferenceKinds),
                                 [&](const ReferenceKind& r) { return r.kind == kind; });
    EXPECT_NE(k, std::end(kReferenceKinds)) << kind;
    Rows rows;
    std::istringstream exported(command_({"export", "--db", url_, kind}));
    for (std::string line; std::getline(exported, line);) {
        rows.push_back(server::csvCells(line));
    }
    std::vector<std::string> header = rows.front();
    rows.erase(rows.begin());
    Edit edit = k->edit(*this, rows, full);
    const std::string name = file(kind);
    std::ofstream csv(name);
    csv << server::csvLine(header) << '\n';
    for (const auto& row : edit.lines) {
        csv << server::csvLine(row) << '\n';
    }
    csv.close();
    std::vector<std::string> args{"import", "--db", url_, kind, name};
    if (full) {
        args.push_back("--full");
    }
    const std::string said = command_(args);
    edit.touched.what = said.substr(0, said.find('\n'));
    return edit.touched;
}

}  // namespace reliability
