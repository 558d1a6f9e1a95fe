#pragma once
// What a till of one branch and price table needs to price a range of products, read for
// both backends.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "server/store/RuleStore.h"

namespace server {

/// A range of product codes; an empty end is open.
struct ProductRange {
    std::string first;
    std::string last;
};

/// Stateless: every method runs its statements on the store it is given. The base prices
/// and rules read are those of the products the branch sells (in PRODFILI and PRODUTO).
class TillQueries {
public:
    explicit TillQueries(RuleStore& store) : store_(store) {}

    /// The products the branch sells in the range, in code order, at most limit.
    std::vector<Product> products(const std::string& branch, const ProductRange& range, long limit);
    /// The table's base prices of those products, every period, by product then period:
    /// fn(period start, product, price).
    void basePrices(const std::string& branch, const std::string& table, const ProductRange& range,
                    const std::function<void(std::string_view, std::string_view, double)>& fn);
    /// The table's rules of those products, every period, by product then key.
    void rules(const std::string& branch, const std::string& table, const ProductRange& range,
               const std::function<void(const RuleRow&)>& fn);
    /// Every consumer type (TIPOCONS), in code order: the types a price may be asked for.
    std::vector<ConsumerType> consumerTypes();

private:
    RuleStore& store_;
};

}  // namespace server
