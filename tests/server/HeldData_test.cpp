// What the server holds in memory: which changes drop which pieces, and which reads it
// refuses to hold.
#include <gtest/gtest.h>

#include "server/service/HeldData.h"

namespace {

using server::Change;
using server::ChangeKind;
using server::HeldData;

constexpr std::size_t kPlenty = std::size_t{1} << 20;

std::vector<server::Branch> branches(std::initializer_list<const char*> codes) {
    std::vector<server::Branch> out;
    for (const char* code : codes) {
        out.emplace_back().code = code;
    }
    return out;
}

server::HeldProduct sold(const std::string& code) {
    server::HeldProduct p;
    p.product = server::PricedProduct{code, "01", "Produto " + code, 9.9};
    return p;
}

// Holds one of every piece: branches, tables and periods of 0101/001, holidays, type 01,
// and products A and B of 0101/001 from 2026-01-01 and A of 0202/001.
void fill(HeldData& held) {
    const auto g = held.generation();
    held.putBranches(branches({"0101", "0202"}), g);
    held.putPriceTables("0101", {{"0101", "001", "Varejo"}}, g);
    held.putPeriods("0101", "001", {{"0101", "001", "2026-01-01", "2026-12-31"}}, g);
    held.putHolidays({}, g);
    held.putConsumerType("01", true, g);
    held.putProduct("0101", "001", "2026-01-01", "A", sold("A"), g);
    held.putProduct("0101", "001", "2026-01-01", "B", sold("B"), g);
    held.putProduct("0202", "001", "2026-01-01", "A", sold("A"), g);
}

// What is still held, one letter each: b branches, t tables, v periods, f holidays,
// c consumer type, then the products A, B (0101) and a (0202).
std::string left(const HeldData& held) {
    std::string out;
    out += held.branches() ? "b" : "-";
    out += held.priceTables("0101") ? "t" : "-";
    out += held.periods("0101", "001") ? "v" : "-";
    out += held.holidays() ? "f" : "-";
    out += held.consumerTypeExists("01") ? "c" : "-";
    out += held.product("0101", "001", "2026-01-01", "A") ? "A" : "-";
    out += held.product("0101", "001", "2026-01-01", "B") ? "B" : "-";
    out += held.product("0202", "001", "2026-01-01", "A") ? "a" : "-";
    return out;
}

TEST(HeldData, EachChangeDropsWhatItMayTouchAndNothingElse) {
    const struct {
        Change change;
        const char* left;
    } cases[] = {
        {Change::ofPeriod("0101", "001", "2026-01-01", "A", ChangeKind::Rules), "btvfc-Ba"},
        {Change::ofPeriod("0101", "001", "2026-01-01", std::nullopt, ChangeKind::Rules), "btvfc--a"},
        {Change::ofPeriod("0101", "002", "2026-01-01", std::nullopt, ChangeKind::Rules), "btvfcABa"},
        {Change::ofPeriod("0101", "001", "2025-01-01", "A", ChangeKind::BasePrices), "btvfcABa"},
        {Change{"T", std::nullopt, std::nullopt, "A", ChangeKind::Products}, "btvfc-B-"},
        {Change::ofBranch("T", ChangeKind::Products), "btvf----"},
        {Change::ofBranch("0202", ChangeKind::Holidays), "btv-cABa"},
        {Change::ofPeriod("0101", "001", "2026-06-01", std::nullopt, ChangeKind::Periods), "b--fcABa"},
        {Change{"0202", "001", std::nullopt, std::nullopt, ChangeKind::Periods}, "btvfcABa"},
        {Change::ofBranch("0101", ChangeKind::Periods), "---fcABa"},
        {Change{"0101", std::nullopt, std::nullopt, std::nullopt, static_cast<ChangeKind>('X')},
         "--------"},
    };
    for (const auto& c : cases) {
        HeldData held(kPlenty);
        held.trust();
        fill(held);
        ASSERT_EQ(left(held), "btvfcABa");
        held.apply({c.change});
        EXPECT_EQ(left(held), c.left) << "kind " << static_cast<char>(c.change.kind)
                                        << " branch " << c.change.branch;
    }
}

TEST(HeldData, HoldsNothingReadBeforeADropUntrustedOrPastItsBound) {
    HeldData untrusted(kPlenty);
    fill(untrusted);
    EXPECT_EQ(left(untrusted), "--------");

    HeldData held(kPlenty);
    held.trust();
    const auto before = held.generation();
    held.apply({Change::ofBranch("0303", ChangeKind::Holidays)});
    held.putBranches(branches({"0101"}), before);  // read before the drop: it may be older
    EXPECT_FALSE(held.branches());
    held.putBranches(branches({"0101"}), held.generation());
    EXPECT_TRUE(held.branches());
    held.distrust();
    EXPECT_EQ(left(held), "--------");
    EXPECT_EQ(held.bytes(), 0u);

    HeldData small(600);
    small.trust();
    fill(small);
    EXPECT_LE(small.bytes(), 600u);
    EXPECT_NE(left(small), "btvfcABa");
    small.apply({Change::ofBranch("T", ChangeKind::Periods), Change::ofBranch("T", ChangeKind::Holidays),
                 Change::ofBranch("T", ChangeKind::Products)});
    EXPECT_EQ(small.bytes(), 0u);  // what is dropped is counted off again
}

}  // namespace
