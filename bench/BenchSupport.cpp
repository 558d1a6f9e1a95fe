#include "BenchSupport.h"

#include "protocol/RuleArguments.h"

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <stdexcept>

#include <libpq-fe.h>
#include <sqlite3.h>

namespace bench {

ScratchDir::ScratchDir() {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate =
            std::filesystem::temp_directory_path() / ("vnd-bench-" + std::to_string(random()));
        if (std::filesystem::create_directory(candidate)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("no scratch folder could be made");
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string ScratchDir::file(const std::string& name) const {
    return (path_ / name).string();
}

RuleShape shapeForRows(long rows) {
    if (rows >= 8 && rows % 8 == 0) {
        return {static_cast<int>(rows / 8), 8};
    }
    return {static_cast<int>(rows), 1};
}

std::vector<char> dayCodes(const RuleShape& shape) {
    static constexpr char kOrder[] = {'1', '2', '3', '4', '5', '6', '7', 'F', 'V'};
    return {kOrder, kOrder + std::clamp(shape.days, 1, 9)};
}

std::vector<std::string> productCodes(int n) {
    std::vector<std::string> codes;
    codes.reserve(static_cast<std::size_t>(n));
    char buffer[16];
    for (int i = 1; i <= n; ++i) {
        std::snprintf(buffer, sizeof buffer, "%010d", i);
        codes.emplace_back(buffer);
    }
    return codes;
}

namespace {

// The rule's shared arguments: branch 0001, table 001, period 2026, the day codes ticked
// in the screen's boxes ('T' every day, 'V' eve, 'F' holiday, '1'..'7' Sunday..Saturday).
wire::RuleArguments ruleOn(const std::vector<char>& days, const std::string& consumerType,
                           const std::string& validFrom, const std::string& validTo,
                           const std::string& timeStart, const std::string& timeEnd) {
    auto ticked = [&](char d) { return std::find(days.begin(), days.end(), d) != days.end(); };
    auto date = [](const std::string& iso) { return *wire::Date::fromIso(iso); };
    using wire::DayBox;
    wire::RuleArguments rule;
    rule.tick(DayBox::EveryDay, ticked('T'));
    rule.tick(DayBox::HolidayEve, ticked('V'));
    rule.tick(DayBox::Holiday, ticked('F'));
    for (int d = 0; d < 7; ++d) {
        rule.tick(static_cast<DayBox>(static_cast<int>(DayBox::Sunday) + d),
                  ticked(static_cast<char>('1' + d)));
    }
    rule.adjustment = wire::Adjustment::Discount;
    rule.amountKind = wire::AmountKind::Money;
    rule.branch = "0001";
    rule.table = "001";
    rule.timeStart = timeStart;
    rule.timeEnd = timeEnd;
    rule.validFrom = date(validFrom);
    rule.validTo = date(validTo);
    rule.periodStart = date("2026-01-01");
    rule.amount = 1.5;
    rule.consumerType = consumerType;
    rule.display = wire::Display::Hidden;
    return rule;
}

}  // namespace

std::vector<wire::Value> listRule(const std::vector<std::string>& codes, const RuleShape& shape,
                                  const std::string& validFrom, const std::string& validTo,
                                  const std::string& timeStart) {
    wire::DataPacket packet;
    packet.fields = {{"IDMARCADO", "string", 1},
                     {"CDPRODUTO", "string", 10},
                     {"CDARVPROD", "string", 20},
                     {"NMPRODUTO", "string", 50}};
    packet.rows.reserve(static_cast<std::size_t>(shape.products));
    for (int i = 0; i < shape.products; ++i) {
        packet.rows.push_back(
            {std::nullopt, codes[static_cast<std::size_t>(i)], std::nullopt, std::nullopt});
    }
    wire::RuleArguments rule = ruleOn(dayCodes(shape), "T", validFrom, validTo, timeStart, "2359");
    rule.mode = wire::ProductMode::List;
    rule.products = std::move(packet);
    return wire::toValues(rule);
}

std::vector<wire::Value> allProductsRule(const AllProductsRule& shape) {
    wire::RuleArguments rule = ruleOn({shape.day}, shape.consumerType, shape.validFrom,
                                      shape.validTo, shape.timeStart, shape.timeEnd);
    rule.mode = wire::ProductMode::All;
    rule.amountKind = shape.percentage ? wire::AmountKind::Percentage : wire::AmountKind::Money;
    rule.amount = shape.amount;
    return wire::toValues(rule);
}

std::string sqliteUrl(const std::string& path) {
    return "sqlite:" + path;
}

std::optional<std::string> postgresUrl() {
    const char* url = std::getenv("VND_BENCH_PG_URL");
    if (url == nullptr || *url == '\0') {
        return std::nullopt;
    }
    return std::string(url);
}

long countRows(const std::string& path, const char* sql) {
    sqlite3* db = nullptr;
    long n = -1;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW) {
            n = static_cast<long>(sqlite3_column_int64(stmt, 0));
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return n;
}

void clearRules(const std::string& url) {
    if (url.starts_with("sqlite:")) {
        sqlite3* db = nullptr;
        const std::string path = url.substr(7);
        const int rc = sqlite3_open(path.c_str(), &db);
        const bool ok =
            rc == SQLITE_OK &&
            sqlite3_exec(db, "DELETE FROM PRECDIF", nullptr, nullptr, nullptr) == SQLITE_OK &&
            sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr) ==
                SQLITE_OK;
        sqlite3_close(db);
        if (!ok) {
            throw std::runtime_error("PRECDIF could not be emptied in " + path);
        }
        return;
    }
    PGconn* conn = PQconnectdb(url.c_str());
    PGresult* r = PQexec(conn, "TRUNCATE PRECDIF");
    const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
    PQclear(r);
    PQfinish(conn);
    if (!ok) {
        throw std::runtime_error("PRECDIF could not be emptied");
    }
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double quantile(std::vector<double>& samples, double q) {
    if (samples.empty()) {
        return 0;
    }
    std::sort(samples.begin(), samples.end());
    const auto rank = static_cast<std::size_t>(q * static_cast<double>(samples.size() - 1) + 0.5);
    return samples[std::min(rank, samples.size() - 1)];
}

double peakResidentMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

double peakResidentMiB(long pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("VmHWM:")) {
            return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
        }
    }
    return -1;
}

double procStatus(long pid, const std::string& field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with(field + ":")) {
            return std::strtod(line.c_str() + field.size() + 1, nullptr);
        }
    }
    throw std::runtime_error("no " + field + " for process " + std::to_string(pid));
}

}  // namespace bench
