#include "server/service/HeldData.h"

#include <algorithm>
#include <mutex>

namespace server {

namespace {

// What a piece costs, roughly: its objects and the texts they point to, plus what the
// containers holding it add.
constexpr std::size_t kEntryCost = 64;

std::size_t textSize(const std::string& s) {
    return s.capacity() > 15 ? s.capacity() + 1 : 0;
}

std::size_t sizeOf(const Branch& b) {
    return sizeof b + textSize(b.code) + textSize(b.name) + textSize(b.segmentCode) +
           textSize(b.segment) + textSize(b.differentiatedPrices) + textSize(b.posGroupCode) +
           textSize(b.posGroup) + textSize(b.usesProductModule);
}
std::size_t sizeOf(const PriceTable& t) {
    return sizeof t + textSize(t.branch) + textSize(t.code) + textSize(t.name);
}
std::size_t sizeOf(const ValidityPeriod& p) {
    return sizeof p + textSize(p.branch) + textSize(p.table) + textSize(p.start) + textSize(p.end);
}
std::size_t sizeOf(const Holiday& h) {
    return sizeof h + textSize(h.branch) + textSize(h.name);
}
std::size_t sizeOf(const RuleRow& r) {
    return sizeof r + textSize(r.branch) + textSize(r.table) + textSize(r.product) +
           textSize(r.consumerType) + textSize(r.updatedAt);
}
std::size_t sizeOf(const HeldProduct& p) {
    std::size_t size = sizeof p + kEntryCost;
    if (p.product) {
        size += textSize(p.product->code) + textSize(p.product->treeCode) +
                textSize(p.product->name);
    }
    for (const RuleRow& r : p.rules) {
        size += sizeOf(r);
    }
    return size;
}
template <class T>
std::size_t sizeOf(const std::vector<T>& rows) {
    std::size_t size = sizeof rows + kEntryCost;
    for (const T& row : rows) {
        size += sizeOf(row);
    }
    return size;
}
template <class T>
std::size_t sizeOf(const HeldData::Held<T>& held) {
    return held ? sizeOf(*held) : 0;
}

// Whether a change naming `named` ("T": every branch; none: every one) reaches `held`.
bool reaches(const std::string& named, const std::string& held) {
    return named == "T" || named == held;
}
bool reaches(const std::optional<std::string>& named, const std::string& held) {
    return !named || *named == held;
}

}  // namespace

HeldData::Held<std::vector<Branch>> HeldData::branches() const {
    std::shared_lock lock(mutex_);
    return branches_;
}

HeldData::Held<std::vector<PriceTable>> HeldData::priceTables(const std::string& branch) const {
    std::shared_lock lock(mutex_);
    const auto at = priceTables_.find(branch);
    return at == priceTables_.end() ? nullptr : at->second;
}

HeldData::Held<std::vector<ValidityPeriod>> HeldData::periods(const std::string& branch,
                                                             const std::string& table) const {
    std::shared_lock lock(mutex_);
    const auto at = periods_.find({branch, table});
    return at == periods_.end() ? nullptr : at->second;
}

HeldData::Held<std::vector<Holiday>> HeldData::holidays() const {
    std::shared_lock lock(mutex_);
    return holidays_;
}

std::optional<bool> HeldData::consumerTypeExists(const std::string& code) const {
    std::shared_lock lock(mutex_);
    const auto at = consumerTypes_.find(code);
    return at == consumerTypes_.end() ? std::nullopt : std::optional(at->second);
}

HeldData::Held<HeldProduct> HeldData::product(const std::string& branch, const std::string& table,
                                             const std::string& periodStart,
                                             const std::string& code) const {
    std::shared_lock lock(mutex_);
    const auto group = products_.find({branch, table, periodStart});
    if (group == products_.end()) {
        return nullptr;
    }
    const auto at = group->second.find(code);
    return at == group->second.end() ? nullptr : at->second;
}

bool HeldData::admit(std::size_t size, Generation seen) {
    if (!trusted_ || seen != generation() || bytes_ + size > limit_) {
        return false;
    }
    bytes_ += size;
    return true;
}

void HeldData::putBranches(std::vector<Branch> rows, Generation seen) {
    auto held = std::make_shared<const std::vector<Branch>>(std::move(rows));
    std::unique_lock lock(mutex_);
    if (!branches_ && admit(sizeOf(held), seen)) {
        branches_ = std::move(held);
    }
}

void HeldData::putPriceTables(const std::string& branch, std::vector<PriceTable> rows,
                              Generation seen) {
    auto held = std::make_shared<const std::vector<PriceTable>>(std::move(rows));
    std::unique_lock lock(mutex_);
    if (!priceTables_.contains(branch) && admit(sizeOf(held), seen)) {
        priceTables_.emplace(branch, std::move(held));
    }
}

void HeldData::putPeriods(const std::string& branch, const std::string& table,
                          std::vector<ValidityPeriod> rows, Generation seen) {
    auto held = std::make_shared<const std::vector<ValidityPeriod>>(std::move(rows));
    std::unique_lock lock(mutex_);
    if (!periods_.contains({branch, table}) && admit(sizeOf(held), seen)) {
        periods_.emplace(TableKey{branch, table}, std::move(held));
    }
}

void HeldData::putHolidays(std::vector<Holiday> rows, Generation seen) {
    auto held = std::make_shared<const std::vector<Holiday>>(std::move(rows));
    std::unique_lock lock(mutex_);
    if (!holidays_ && admit(sizeOf(held), seen)) {
        holidays_ = std::move(held);
    }
}

void HeldData::putConsumerType(const std::string& code, bool exists, Generation seen) {
    std::unique_lock lock(mutex_);
    if (!consumerTypes_.contains(code) && admit(kEntryCost + code.size(), seen)) {
        consumerTypes_.emplace(code, exists);
    }
}

void HeldData::putProduct(const std::string& branch, const std::string& table,
                          const std::string& periodStart, const std::string& code,
                          HeldProduct held, Generation seen) {
    auto shared = std::make_shared<const HeldProduct>(std::move(held));
    std::unique_lock lock(mutex_);
    const auto group = products_.find({branch, table, periodStart});
    if ((group == products_.end() || !group->second.contains(code)) &&
        admit(sizeOf(shared) + code.size(), seen)) {
        products_[{branch, table, periodStart}].emplace(code, std::move(shared));
    }
}

void HeldData::apply(const std::vector<Change>& changes) {
    if (changes.empty()) {
        return;
    }
    std::unique_lock lock(mutex_);
    generation_.fetch_add(1, std::memory_order_acq_rel);
    for (const Change& change : changes) {
        dropLocked(change);
    }
}

void HeldData::dropLocked(const Change& c) {
    if (std::find(kChangeKinds.begin(), kChangeKinds.end(), c.kind) == kChangeKinds.end()) {
        clearLocked();  // a kind this build does not know may touch anything
        return;
    }
    const auto dropList = [&](auto& map, auto&& matches) {
        for (auto at = map.begin(); at != map.end();) {
            if (matches(at->first)) {
                bytes_ -= sizeOf(at->second);
                at = map.erase(at);
            } else {
                ++at;
            }
        }
    };
    switch (c.kind) {
        case ChangeKind::Periods:
            // A row naming no table is a branch's own (FILIAL) or every table's.
            if (!c.table) {
                bytes_ -= sizeOf(branches_);
                branches_ = nullptr;
            }
            dropList(priceTables_, [&](const std::string& b) { return reaches(c.branch, b); });
            dropList(periods_, [&](const TableKey& k) {
                return reaches(c.branch, k.first) && reaches(c.table, k.second);
            });
            return;
        case ChangeKind::Holidays:
            bytes_ -= sizeOf(holidays_);
            holidays_ = nullptr;
            return;
        case ChangeKind::Products:
            if (c.branch == "T" && !c.product) {  // the consumer types, and everything sold
                for (const auto& [code, exists] : consumerTypes_) {
                    bytes_ -= kEntryCost + code.size();
                }
                consumerTypes_.clear();
            }
            break;
        case ChangeKind::Rules:
        case ChangeKind::BasePrices:
            break;
    }
    for (auto group = products_.begin(); group != products_.end();) {
        const auto& [branch, table, start] = group->first;
        if (!reaches(c.branch, branch) || !reaches(c.table, table) ||
            !reaches(c.periodStart, start)) {
            ++group;
            continue;
        }
        Products& products = group->second;
        for (auto at = products.begin(); at != products.end();) {
            if (reaches(c.product, at->first)) {
                bytes_ -= sizeOf(at->second) + at->first.size();
                at = products.erase(at);
            } else {
                ++at;
            }
        }
        group = products.empty() ? products_.erase(group) : std::next(group);
    }
}

void HeldData::clearLocked() {
    generation_.fetch_add(1, std::memory_order_acq_rel);
    branches_ = nullptr;
    priceTables_.clear();
    periods_.clear();
    holidays_ = nullptr;
    consumerTypes_.clear();
    products_.clear();
    bytes_ = 0;
}

void HeldData::distrust() {
    std::unique_lock lock(mutex_);
    clearLocked();
    trusted_ = false;
}

void HeldData::trust() {
    std::unique_lock lock(mutex_);
    clearLocked();
    trusted_ = true;
}

std::size_t HeldData::bytes() const {
    std::shared_lock lock(mutex_);
    return bytes_;
}

}  // namespace server
