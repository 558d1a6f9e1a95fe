#include "RuleArguments.h"

#include "Methods.h"
#include "ValueCodec.h"

namespace wire {

namespace {

using nlohmann::json;

template <class Enum>
std::optional<Enum> zeroOrOne(long long value) {
    if (value == 0 || value == 1) {
        return static_cast<Enum>(value);
    }
    return std::nullopt;
}

// A set the wire did not give one member of goes back as the screen sends an empty radio
// group: -1.
template <class Enum>
std::int64_t indexOf(const std::optional<Enum>& value) {
    return value ? static_cast<std::int64_t>(*value) : -1;
}

}  // namespace

std::vector<Value> toValues(const RuleArguments& r) {
    std::vector<Value> values;
    values.reserve(29);
    for (bool box : r.days) {
        values.emplace_back(box);
    }
    values.emplace_back(r.mode == ProductMode::List);
    values.emplace_back(r.mode == ProductMode::All);
    values.emplace_back(r.mode == ProductMode::Range);
    values.emplace_back(indexOf(r.adjustment));
    values.emplace_back(indexOf(r.amountKind));
    values.emplace_back(r.branch);
    values.emplace_back(r.table);
    values.emplace_back(r.rangeEnd);
    values.emplace_back(r.rangeStart);
    values.emplace_back(r.timeStart);
    values.emplace_back(r.timeEnd);
    values.emplace_back(r.validFrom);
    values.emplace_back(r.validTo);
    values.emplace_back(r.periodStart);
    values.emplace_back(r.amount);
    values.emplace_back(r.pickedCodes);
    values.emplace_back(r.products ? Value(*r.products) : Value());
    values.emplace_back(r.consumerType);
    values.emplace_back(indexOf(r.display));
    return values;
}

json toParams(const RuleArguments& rule) {
    json params = json::array();
    for (const Value& v : toValues(rule)) {
        params.push_back(toJson(v));
    }
    return params;
}

RuleArguments ruleArgumentsFromParams(const json& params) {
    checkParams(methods()[indexOf(MethodId::SetPrecDif)], params);
    return ruleArgumentsFromCheckedParams(params);
}

RuleArguments ruleArgumentsFromCheckedParams(const json& params) {
    using namespace ruleArg;
    auto at = [&](Position p) -> const json& { return params[p - 1]; };
    auto str = [&](Position p) { return at(p).get<std::string>(); };
    auto day = [&](Position p) { return *dateFromJson(at(p)); };
    RuleArguments r;
    for (std::size_t d = 0; d < kDayBoxes; ++d) {
        r.days[d] = params[d].get<bool>();
    }
    const bool list = at(kListMode).get<bool>();
    const bool all = at(kAllMode).get<bool>();
    const bool range = at(kRangeMode).get<bool>();
    if (int(list) + int(all) + int(range) == 1) {
        r.mode = list ? ProductMode::List : all ? ProductMode::All : ProductMode::Range;
    }
    r.adjustment = zeroOrOne<Adjustment>(at(kSurcharge).get<long long>());
    r.amountKind = zeroOrOne<AmountKind>(at(kPercentage).get<long long>());
    r.branch = str(kBranch);
    r.table = str(kTable);
    r.rangeEnd = str(kRangeEnd);
    r.rangeStart = str(kRangeStart);
    r.timeStart = str(kTimeStart);
    r.timeEnd = str(kTimeEnd);
    r.validFrom = day(kValidFrom);
    r.validTo = day(kValidTo);
    r.periodStart = day(kPeriodStart);
    r.amount = at(kAmount).get<double>();
    r.pickedCodes = str(kPickedCodes);
    if (!at(kProducts).is_null()) {
        r.products = packetFromJson(at(kProducts));
    }
    r.consumerType = str(kConsumerType);
    r.display = zeroOrOne<Display>(at(kDisplay).get<long long>());
    return r;
}

}  // namespace wire
