#pragma once
// The till's local SQLite file: one branch's and price table's products, base prices,
// rules, periods and holidays, and the consumer types, with the change number they stand
// at.

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "server/pricing/DayFacts.h"
#include "server/pricing/PricedProduct.h"
#include "server/pricing/RuleRow.h"
#include "server/pricing/ValidityPeriod.h"
#include "till/PriceDataPage.h"

struct sqlite3;

namespace till {

class TillStatement;

/// What the file holds: whose data, and up to which change.
struct TillState {
    std::string branch;     ///< CDFILIAL
    std::string table;      ///< CDTABEPREC
    long long ate = 0;      ///< the change number the data stands at
    std::string updatedAt;  ///< when it was last brought up to date, "YYYY-MM-DDTHH:MM:SSZ"
};

/// The products a page of GetDadosPreco answers for: from `first` ("" = the first) up to
/// `last` included ("" = the last), or up to `next` excluded when the page was cut there.
/// Every stored product of the range the page does not hold is gone from the server.
struct ProductRange {
    std::string first;
    std::string last;
    std::optional<std::string> next;
};

/// One open file. Writes go in the caller's transaction (inTransaction): the file is
/// always in a state that its stored change number describes.
class TillFile {
public:
    /// Opens the file; create: makes it and its tables when missing. Throws
    /// std::runtime_error (Portuguese) when it cannot be opened or is not a till's file.
    TillFile(const std::string& path, bool create);
    ~TillFile();
    TillFile(const TillFile&) = delete;
    TillFile& operator=(const TillFile&) = delete;

    /// The stored state; nullopt while nothing was ever loaded.
    std::optional<TillState> state();
    /// Runs fn in one write transaction: all of it or, when it throws, none of it.
    void inTransaction(const std::function<void()>& fn);
    /// Runs fn in one read transaction: every read in it sees one state of the file.
    void readTogether(const std::function<void()>& fn);
    /// Replaces the range's products (their base prices and rules) by the page's, and
    /// the periods, holidays and consumer types by the page's.
    void applyPage(const PriceDataPage& page, const ProductRange& range);
    /// Stores whose data it is and the change number it stands at, brought up to date at
    /// `updatedAt`.
    void setState(const TillState& state);

    /// The table's periods.
    std::vector<server::ValidityPeriod> periods();
    /// The holidays from `from` to `to`, both included.
    std::vector<server::Holiday> holidays(const wire::Date& from, const wire::Date& to);
    /// The product with its base price in the period starting periodStart; nullopt when
    /// the branch does not sell it.
    std::optional<server::PricedProduct> product(const std::string& code,
                                                 const std::string& periodStart);
    /// The product's rules of the period, in key order.
    std::vector<server::RuleRow> productRules(const std::string& code,
                                              const std::string& periodStart);
    /// Every product in code order with its base price and its rules of the period.
    void forEachPricedProduct(
        const std::string& periodStart,
        const std::function<void(const server::PricedProduct&,
                                 const std::vector<server::RuleRow>&)>& fn);
    /// Whether the consumer type is stored.
    bool consumerTypeStored(const std::string& code);
    long productCount();
    long ruleCount();
    /// How many products the file holds with a code strictly between `after` and `before`.
    long productsBetween(const std::string& after, const std::string& before);

private:
    // The statements the file runs, each prepared once and kept while it is open.
    enum class Query {
        Begin, BeginImmediate, Commit, State, ClearState, InsertState, DeleteProducts,
        DeletePrices, DeleteRules, InsertProduct, InsertPrice, InsertRule, ClearPeriods,
        ClearHolidays, ClearTypes, InsertPeriod, InsertHoliday, InsertType, Periods, Holidays,
        Product, ProductRules, PricedProducts, PeriodRules, TypeStored, ProductCount, RuleCount,
        ProductsBetween, Last
    };

    void execute(const char* sql);
    void transaction(Query begin, const std::function<void()>& fn);
    // The query's statement, ready to bind; the caller resets it once done with it.
    TillStatement& prepared(Query query);

    sqlite3* db_ = nullptr;
    std::array<std::unique_ptr<TillStatement>, static_cast<std::size_t>(Query::Last)> statements_;
};

/// The clock now, written with strftime's format, in UTC or in local time.
std::string clockNow(const char* format, bool utc);
/// The moment as the state stores it: "YYYY-MM-DDTHH:MM:SSZ", in UTC.
std::string utcNow();

}  // namespace till
