#pragma once
// What the server holds in memory of the database, kept right by the change log.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "server/pricing/DayFacts.h"
#include "server/pricing/PricedProduct.h"
#include "server/pricing/RuleRow.h"
#include "server/pricing/ValidityPeriod.h"
#include "server/store/Change.h"
#include "server/store/ReferenceData.h"

namespace server {

/// A product of a price table's period as a branch sells it (none: not sold), with its
/// stored rules of the period in key order.
struct HeldProduct {
    std::optional<PricedProduct> product;
    std::vector<RuleRow> rules;
};

/// The reference tables, the periods, the holidays and the products' base prices and
/// rules that calls read, each piece as one read of the database gave it, up to a bound
/// in bytes (what does not fit is not held). A change the change log names drops every
/// piece it may touch; until told that it may trust what it holds (trust(), after the
/// first look at the change log), and again after distrust(), it answers nothing and
/// takes nothing. Thread-safe: lookups share a lock that changes take alone, briefly.
///
/// A piece read from the database is taken only when nothing was dropped since the
/// reader took generation() before its reads began: a read that may have seen the
/// database before a change whose drop already happened is never held.
class HeldData {
public:
    using Generation = std::uint64_t;
    template <class T>
    using Held = std::shared_ptr<const T>;

    explicit HeldData(std::size_t limitBytes) : limit_(limitBytes) {}

    Generation generation() const { return generation_.load(std::memory_order_acquire); }

    Held<std::vector<Branch>> branches() const;
    Held<std::vector<PriceTable>> priceTables(const std::string& branch) const;
    Held<std::vector<ValidityPeriod>> periods(const std::string& branch,
                                              const std::string& table) const;
    /// Every holiday, in (date, branch) order.
    Held<std::vector<Holiday>> holidays() const;
    std::optional<bool> consumerTypeExists(const std::string& code) const;
    Held<HeldProduct> product(const std::string& branch, const std::string& table,
                              const std::string& periodStart, const std::string& code) const;

    void putBranches(std::vector<Branch> rows, Generation seen);
    void putPriceTables(const std::string& branch, std::vector<PriceTable> rows, Generation seen);
    void putPeriods(const std::string& branch, const std::string& table,
                    std::vector<ValidityPeriod> rows, Generation seen);
    void putHolidays(std::vector<Holiday> rows, Generation seen);
    void putConsumerType(const std::string& code, bool exists, Generation seen);
    void putProduct(const std::string& branch, const std::string& table,
                    const std::string& periodStart, const std::string& code, HeldProduct held,
                    Generation seen);

    /// Drops every piece these changes may touch.
    void apply(const std::vector<Change>& changes);
    /// What it holds may be wrong from now on (the change log could not be read, or a
    /// part of it is gone): drops everything and holds nothing until trust().
    void distrust();
    /// Drops everything and holds again, from a change log read up to now.
    void trust();

    /// Bytes held, as counted against the bound.
    std::size_t bytes() const;

private:
    using TableKey = std::pair<std::string, std::string>;                      // branch, table
    using PeriodKey = std::tuple<std::string, std::string, std::string>;        // + period start
    using Products = std::unordered_map<std::string, Held<HeldProduct>>;

    /// Under the exclusive lock: whether a piece of `size` bytes read at `seen` may be
    /// taken; counts it when so.
    bool admit(std::size_t size, Generation seen);
    void dropLocked(const Change& change);
    void clearLocked();

    const std::size_t limit_;
    mutable std::shared_mutex mutex_;
    std::atomic<Generation> generation_{0};
    bool trusted_ = false;
    std::size_t bytes_ = 0;
    Held<std::vector<Branch>> branches_;
    std::map<std::string, Held<std::vector<PriceTable>>> priceTables_;
    std::map<TableKey, Held<std::vector<ValidityPeriod>>> periods_;
    Held<std::vector<Holiday>> holidays_;
    std::map<std::string, bool> consumerTypes_;
    std::map<PeriodKey, Products> products_;
};

}  // namespace server
