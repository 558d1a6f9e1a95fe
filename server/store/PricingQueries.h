#pragma once
// The reads and changes of prices, holidays, rules and their history, written once for
// both backends over the store's shared statements.

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "server/store/RuleStore.h"
#include "server/pricing/DayFacts.h"
#include "server/pricing/PricedProduct.h"

namespace server {

/// Which stored rules a listing takes; empty texts and absent dates take every row.
struct RuleFilter {
    std::string branch;
    std::string table;
    std::optional<wire::Date> periodStart;
    std::string firstProduct;
    std::string lastProduct;
    std::string consumerType;
    std::string day;
    std::optional<wire::Date> validOn;  ///< rows valid on this date
};

/// One row of PRECDIFHIST.
struct HistoryRow {
    RuleRow key;  ///< the ten key columns; the values are those before the change
    char operation = 'S';  ///< S replaced, E removed
    std::string at;        ///< DTOPERACAO, "YYYY-MM-DD HH:MM:SS" (UTC)
    std::string user;
    std::string station;
    std::optional<RuleRow> after;  ///< the values after a replacement
};

/// Stateless: every method runs its statements on the store it is given.
class PricingQueries {
public:
    explicit PricingQueries(RuleStore& store) : store_(store) {}

    /// The product as the branch sells it, with its base price in the period; nullopt
    /// when the branch does not sell it.
    std::optional<PricedProduct> product(const std::string& branch, const std::string& table,
                                         const wire::Date& periodStart, const std::string& code);
    /// Every product the branch sells with its base price and its stored rules of the
    /// period, product by product in code order; the rules in key order, without their
    /// DTULTATU (updatedAt left empty). The assortment is held (code, tree code, name and
    /// price of each product); the rules are read as they are used, never all at once,
    /// and are valid only during the call they are given to. fn must not use the store.
    void forEachPricedProduct(
        const std::string& branch, const std::string& table, const wire::Date& periodStart,
        const std::function<void(const PricedProduct&, std::span<const RuleRow>)>& fn);
    /// The product's stored rules of the period, in key order.
    std::vector<RuleRow> productRules(const std::string& branch, const std::string& table,
                                      const wire::Date& periodStart, const std::string& code);
    /// Calls fn for every stored rule of the period whose product is in `products`
    /// (sorted), in key order.
    void forEachRuleOf(const std::string& branch, const std::string& table,
                       const wire::Date& periodStart, const std::vector<std::string>& products,
                       const std::function<void(const RuleRow&)>& fn);

    /// Holidays of the branch and of every branch ("T") from `from` to `to`, both
    /// included, in date order.
    std::vector<Holiday> holidays(const std::optional<std::string>& branch, const wire::Date& from,
                                  const wire::Date& to);
    /// Adds or renames holidays, all in one transaction; how many were new.
    long putHolidays(const std::vector<Holiday>& holidays);
    /// Removes a holiday; false when there was none.
    bool removeHoliday(const std::string& branch, const wire::Date& date);

    /// How many stored rules the filter takes; hands fn those from `offset` on, at most
    /// `limit`, in the listing's order (product, period, day, consumer type, window,
    /// validity), each with its product's tree code and name.
    long listRules(const RuleFilter& filter, long offset, long limit,
                   const std::function<void(const RuleRow&, std::string_view treeCode,
                                            std::string_view name)>& fn);
    /// Removes these rows (keys) in one transaction, each copied into the history first as
    /// removed by the store's caller. A key that is not stored refuses the whole call
    /// (RuleNotStored naming it) and nothing is removed.
    long removeRules(const std::vector<RuleRow>& keys);

    /// Rows of the product's history in the branch's table.
    long countHistory(const std::string& branch, const std::string& table, const std::string& product);
    /// The product's history, newest first.
    std::vector<HistoryRow> history(const std::string& branch, const std::string& table,
                                    const std::string& product, long offset, long limit);

private:
    /// The filter split by period, one filter for each period the table's rules are in,
    /// in order; the filter itself when it names a period or the table has too many.
    std::vector<RuleFilter> filterByPeriod(const RuleFilter& filter);

    RuleStore& store_;
};

}  // namespace server
