#include "server/service/DataReads.h"

#include <algorithm>

#include "server/store/PricingQueries.h"

namespace server {

std::vector<Branch> DataReads::branches(const std::optional<std::string>& code) {
    auto all = held_ ? held_->branches() : nullptr;
    if (!all && held_) {
        held_->putBranches(store_.branches(std::nullopt), seen_);
        all = held_->branches();
    }
    if (!all) {  // nothing held, or what was read not taken: what was asked, from the store
        return store_.branches(code);
    }
    if (!code) {
        return *all;
    }
    std::vector<Branch> out;
    std::copy_if(all->begin(), all->end(), std::back_inserter(out),
                 [&](const Branch& b) { return b.code == *code; });
    return out;
}

std::vector<PriceTable> DataReads::priceTables(const std::string& branch) {
    if (!held_) {
        return store_.priceTables(branch);
    }
    if (auto held = held_->priceTables(branch)) {
        return *held;
    }
    auto rows = store_.priceTables(branch);
    held_->putPriceTables(branch, rows, seen_);
    return rows;
}

std::vector<ValidityPeriod> DataReads::periods(const std::string& branch, const std::string& table,
                                               const std::optional<wire::Date>& start) {
    if (!held_) {
        return store_.periods(branch, table, start);
    }
    auto all = held_->periods(branch, table);
    std::vector<ValidityPeriod> rows;
    if (all) {
        rows = *all;
    } else {
        rows = store_.periods(branch, table, std::nullopt);
        held_->putPeriods(branch, table, rows, seen_);
    }
    if (start) {
        const std::string iso = start->iso();
        std::erase_if(rows, [&](const ValidityPeriod& p) { return p.start != iso; });
    }
    return rows;
}

bool DataReads::consumerTypeExists(const std::string& code) {
    if (!held_) {
        return store_.consumerTypeExists(code);
    }
    if (const auto held = held_->consumerTypeExists(code)) {
        return *held;
    }
    const bool exists = store_.consumerTypeExists(code);
    held_->putConsumerType(code, exists, seen_);
    return exists;
}

std::vector<Holiday> DataReads::holidays(const std::optional<std::string>& branch,
                                         const wire::Date& from, const wire::Date& to) {
    if (!held_) {
        return PricingQueries(store_).holidays(branch, from, to);
    }
    auto all = held_->holidays();
    if (!all) {
        held_->putHolidays(
            PricingQueries(store_).holidays(std::nullopt, wire::Date{1, 1, 1}, wire::Date{9999, 12, 31}),
            seen_);
        all = held_->holidays();
        if (!all) {
            return PricingQueries(store_).holidays(branch, from, to);
        }
    }
    std::vector<Holiday> out;
    for (const Holiday& h : *all) {
        if (h.date >= from && h.date <= to && (!branch || h.branch == *branch || h.branch == "T")) {
            out.push_back(h);
        }
    }
    return out;
}

HeldData::Held<HeldProduct> DataReads::product(const std::string& branch, const std::string& table,
                                               const wire::Date& periodStart,
                                               const std::string& code) {
    const std::string start = periodStart.iso();
    if (held_) {
        if (auto held = held_->product(branch, table, start, code)) {
            return held;
        }
    }
    PricingQueries queries(store_);
    HeldProduct read;
    read.product = queries.product(branch, table, periodStart, code);
    if (read.product) {
        read.rules = queries.productRules(branch, table, periodStart, code);
    }
    if (held_) {
        held_->putProduct(branch, table, start, code, read, seen_);
    }
    return std::make_shared<const HeldProduct>(std::move(read));
}

}  // namespace server
