#pragma once
// What the benchmark programs share: scratch files, the rule they store, timing figures.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "protocol/Value.h"

namespace bench {

/// A folder removed with everything in it when the object goes.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    /// A path inside the folder.
    std::string file(const std::string& name) const;

  private:
    std::filesystem::path path_;
};

/// The shape of a stored rule: `products` products of branch 0001 (codes 1..products),
/// each on `days` days (1..9: Sunday..Saturday, then holiday, then holiday eve).
struct RuleShape {
    int products = 0;
    int days = 1;
    long rows() const { return static_cast<long>(products) * days; }
};

/// A shape of about `rows` rows: 8 days a product from 8 rows on, else 1 day.
RuleShape shapeForRows(long rows);

/// The day codes (IDDIA) of the shape, in the order the screen's boxes give them.
std::vector<char> dayCodes(const RuleShape& shape);
/// The product codes 1..n as the demo data writes them (10 digits).
std::vector<std::string> productCodes(int n);

/// The 29 SetPrecDif arguments of a list-mode rule over the shape, as the screen builds
/// them: table 001, period 2026, February 2026, 00:01-23:59, all consumer types, a
/// discount of 1.50. validFrom/validTo/timeStart vary the key for repeated stores.
std::vector<wire::Value> listRule(const std::vector<std::string>& codes, const RuleShape& shape,
                                  const std::string& validFrom = "2026-02-01",
                                  const std::string& validTo = "2026-02-28",
                                  const std::string& timeStart = "0001");

/// A rule over every product branch 0001 sells, in table 001's 2026 period, on one day
/// code ('T', 'V', 'F' or '1'..'7'), for one consumer type, window and validity: a
/// discount of `amount`, money or percentage.
struct AllProductsRule {
    char day = 'T';
    std::string consumerType = "T";
    std::string timeStart = "0001";
    std::string timeEnd = "2359";
    std::string validFrom = "2026-01-01";
    std::string validTo = "2026-12-31";
    bool percentage = false;
    double amount = 1.5;
};
/// Its 29 SetPrecDif arguments, as the screen builds them in "all products" mode.
std::vector<wire::Value> allProductsRule(const AllProductsRule& rule);

/// A database URL for a SQLite file.
std::string sqliteUrl(const std::string& path);
/// The PostgreSQL URL the bench script exported (VND_BENCH_PG_URL), if any.
std::optional<std::string> postgresUrl();

/// The one number a query gives (SELECT COUNT(*) ...) from the SQLite file; -1 when it
/// cannot be read.
long countRows(const std::string& path, const char* sql);

/// Empties PRECDIF of the database at url.
void clearRules(const std::string& url);

/// Seconds since `start`.
double secondsSince(std::chrono::steady_clock::time_point start);

/// The q-quantile (0..1) of the samples, nearest rank; the samples get sorted.
double quantile(std::vector<double>& samples, double q);

/// Peak resident memory of this process in MiB.
/// A line of /proc/PID/status as a number (kB for sizes).
double procStatus(long pid, const std::string& field);
double peakResidentMiB();
/// Peak resident memory of another process in MiB (VmHWM), or -1 when unreadable.
double peakResidentMiB(long pid);

}  // namespace bench
