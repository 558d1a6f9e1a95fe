#include "server/store/DemoReferenceData.h"

#include <stdexcept>
#include <utility>

namespace server {

namespace {

// Converts every row of `from` into `to` and frees `from` at once.
template <class From, class To, class Convert>
void take(std::vector<From>& from, std::vector<To>& to, Convert convert) {
    to.reserve(from.size());
    for (From& row : from) {
        to.push_back(convert(row));
    }
    std::vector<From>().swap(from);
}

}  // namespace

ReferenceData referenceDataOf(demo::DataSet&& set) {
    ReferenceData data;
    take(set.branches, data.branches, [](demo::Branch& b) {
        return Branch{std::move(b.code),         std::move(b.name),
                      std::move(b.segmentCode),  std::move(b.segment),
                      std::move(b.differentiatedPrices), std::move(b.posGroupCode),
                      std::move(b.posGroup),     std::move(b.usesProductModule)};
    });
    take(set.priceTables, data.priceTables, [](demo::PriceTable& t) {
        return PriceTable{std::move(t.branch), std::move(t.code), std::move(t.name)};
    });
    take(set.periods, data.periods, [](demo::ValidityPeriod& p) {
        return ValidityPeriod{std::move(p.branch), std::move(p.table), std::move(p.start),
                              std::move(p.end)};
    });
    take(set.products, data.products, [](demo::Product& p) {
        return Product{std::move(p.code), std::move(p.treeCode), std::move(p.name)};
    });
    take(set.assortment, data.assortment, [](demo::BranchLink& l) {
        return AssortmentRow{std::move(l.branch), std::move(l.code)};
    });
    take(set.consumerTypes, data.consumerTypes, [](demo::ConsumerType& c) {
        return ConsumerType{std::move(c.code), std::move(c.name)};
    });
    take(set.consumerTypeBranches, data.consumerTypeBranches, [](demo::BranchLink& l) {
        return ConsumerTypeBranch{std::move(l.branch), std::move(l.code)};
    });
    take(set.basePrices, data.basePrices, [](demo::BasePrice& p) {
        return BasePrice{std::move(p.branch), std::move(p.table), std::move(p.periodStart),
                         std::move(p.product), p.price};
    });
    take(set.holidays, data.holidays, [](demo::Holiday& h) {
        const auto date = wire::Date::fromIso(h.date);
        if (!date) {
            throw std::invalid_argument("Feriado de demonstração com data inválida: " + h.date);
        }
        return Holiday{std::move(h.branch), *date, std::move(h.name)};
    });
    return data;
}

}  // namespace server
