#pragma once
// Random changes of the demo data of every kind a chain makes: rules stored and removed
// through a server, holidays and reference files through the command line. Seeded, so
// that a failing run can be repeated (VND_TEST_SEED).

#include <filesystem>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "LineClient.h"
#include "protocol/Date.h"

namespace reliability {

/// The demo data's products (branch 0001 sells every one, 0002 the first half).
inline constexpr int kDemoProducts = 200;

/// A branch and price table of the demo data, and how many products the branch sells.
struct DemoTable {
    const char* branch;
    const char* table;
    int products;
};
inline constexpr DemoTable kDemoTables[] = {
    {"0001", "001", kDemoProducts}, {"0001", "002", kDemoProducts}, {"0002", "001", kDemoProducts / 2}};

/// The days of the window (see windowDay) that holidays are added on and removed from.
inline constexpr int kHolidayDays[] = {1, 8, 9, 15, 22, 29, 36};

/// VND_TEST_SEED when set, else the given seed.
unsigned seedOfRun(unsigned otherwise);
/// Product i's code: i in 10 digits with leading zeros.
std::string productCode(int i);
/// The demo data's tree code of product i: group, subgroup, item.
std::string treeCode(int i);
/// Day k of the window rules, holidays and moments fall in (from 1 February 2026).
wire::Date windowDay(int k);
/// Minutes of the day as HHMM.
std::string hhmm(int minutes);

/// What a change did: a line for the log of a run, and the branch, table and product it
/// touched most ("" where it touched none in particular).
struct Touched {
    std::string what;
    std::string branch, table, product;
};

/// Makes the changes. Commands run through `command` (the arguments of vnd-server, its
/// standard output back; it fails the test when the command fails); files are written
/// into `dir`.
class RandomChanges {
public:
    using Command = std::function<std::string(const std::vector<std::string>&)>;

    RandomChanges(unsigned seed, std::string url, std::filesystem::path dir, Command command);

    /// A number from 0 to n − 1.
    int pick(int n);
    /// Marks a product removed from the products: base prices leave it out from then on.
    void productGone(const std::string& code) { goneProducts_.insert(code); }

    /// SetPrecDif's params for a random rule of the table: the three product modes,
    /// discounts and surcharges of amounts and percentages, days, windows, types.
    nlohmann::json randomRule(const DemoTable& t);
    /// Removes a few stored rules of the table through DelPrecDif, with the keys the
    /// screen sends.
    Touched removeRandomRules(testdb::LineClient& client, const DemoTable& t);
    /// Imports a few base prices of the table, or with `full` the whole set of it (some
    /// products left out, losing their prices).
    Touched importBasePrices(const DemoTable& t, bool full);
    /// Adds a holiday on one of kHolidayDays, or removes one it added there.
    Touched changeHoliday();
    /// Imports a file of one to three holidays on kHolidayDays.
    Touched importHolidays();
    /// Imports an altered copy of what `export KIND` writes: names changed, rows added,
    /// and with `full` rows left out (those the changes added, where there are some).
    /// Every kind but `precos` (importBasePrices).
    Touched importReference(const std::string& kind, bool full);

private:
    std::string file(const std::string& stem);

    std::mt19937 rng_;
    std::string url_;
    std::filesystem::path dir_;
    Command command_;
    int files_ = 0;
    std::set<std::pair<std::string, std::string>> holidays_;  // added here, still there
    std::set<std::string> goneProducts_;  // removed by a complete products file
};

}  // namespace reliability
