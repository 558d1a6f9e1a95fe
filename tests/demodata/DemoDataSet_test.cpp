#include "demodata/DemoDataSet.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "demodata/LocalDatabase.h"

namespace {

TEST(DemoDataSet, ProductCodesFollowTheDocumentedScheme) {
    struct Case {
        int i;
        const char* code;
        const char* tree;
    };
    for (const Case& c : {Case{1, "0000000001", "0101001"}, Case{10, "0000000010", "0101010"},
                          Case{11, "0000000011", "0102011"}, Case{200, "0000000200", "0210200"}}) {
        const demo::Product p = demo::makeProduct(c.i);
        EXPECT_EQ(p.code, c.code);
        EXPECT_EQ(p.treeCode, c.tree);
    }
    EXPECT_EQ(demo::makeProduct(1).name, "ARROZ BRANCO TIPO 1 5KG");
    EXPECT_EQ(demo::makeProduct(2).name, "FEIJÃO CARIOCA 1KG");
}

TEST(DemoDataSet, CodesSortAsTheNumbersAndNamesAreDistinctAtAnySize) {
    for (int total : {200, 1500, 12000, 125000}) {
        const demo::DataSet set = demo::makeDataSet(total);
        ASSERT_EQ(set.products.size(), static_cast<std::size_t>(total));
        std::vector<std::string> names;
        for (std::size_t i = 1; i < set.products.size(); ++i) {
            ASSERT_LT(set.products[i - 1].treeCode, set.products[i].treeCode) << total << " " << i;
            ASSERT_LE(set.products[i].treeCode.size(), 20u);
        }
        for (const demo::Product& p : set.products) {
            // NMPRODUTO holds 50 characters (the suffixes are ASCII, so bytes bound it).
            ASSERT_LE(std::count_if(p.name.begin(), p.name.end(),
                                    [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }),
                      50)
                << p.name;
            names.push_back(p.name);
        }
        std::sort(names.begin(), names.end());
        EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end()) << total;
    }
}

TEST(DemoDataSet, BranchesSellWhatTheDemoSays) {
    const demo::DataSet set = demo::makeDataSet(200);
    auto count = [&](const char* branch) {
        return std::count_if(set.assortment.begin(), set.assortment.end(),
                             [&](const demo::BranchLink& l) { return l.branch == branch; });
    };
    EXPECT_EQ(count("0001"), 200);
    EXPECT_EQ(count("0002"), 100);
    EXPECT_EQ(count("0003"), 0);
    EXPECT_EQ(set.priceTables.size(), 3u);
    EXPECT_EQ(set.periods.size(), 9u);
    EXPECT_EQ(set.consumerTypeBranches.size(), 2u);
    EXPECT_EQ(set.branches[2].name, "Depósito Sul");
    EXPECT_EQ(demo::makeDataSet(200).products.back().name, set.products.back().name);
}

// Whole cents at every step, half away from zero: the cases where a binary fraction
// would land just below the half, and the chained periods of the wholesale table.
TEST(DemoDataSet, BasePricesAreRoundedToTheCentAtEachStep) {
    struct Case {
        int product;
        const char* table;
        int year;
        long long cents;
    };
    for (const Case& c : {
             Case{1, "001", 2026, 3318},
             Case{2, "001", 2026, 1437},
             Case{1, "002", 2026, 2986},
             Case{1, "002", 2027, 3105},    // 104 % of 29.86, not of 33.18 x 0.9
             Case{1, "001", 2025, 3152},
             Case{1, "001", 2027, 3451},
             Case{14, "002", 2026, 3029},   // 33.65 x 0.9 = 30.285
             Case{29, "001", 2025, 4323},   // 45.50 x 0.95 = 43.225
             Case{124, "002", 2025, 1929},  // 20.30 x 0.95 = 19.285
             Case{125000, "001", 2026, 1799},
         }) {
        EXPECT_EQ(demo::basePriceCents(c.product, c.table, c.year), c.cents)
            << c.product << " " << c.table << " " << c.year;
    }
    EXPECT_THROW(demo::basePriceCents(1, "001", 2024), std::invalid_argument);
    EXPECT_THROW(demo::basePriceCents(0, "001", 2026), std::invalid_argument);
}

TEST(DemoDataSet, EveryProductABranchSellsHasAPriceInEveryPeriodOfItsTables) {
    const demo::DataSet set = demo::makeDataSet(200);
    // 0001 sells 200 products in two tables, 0002 100 in one; three periods each.
    ASSERT_EQ(set.basePrices.size(), (200u * 2 + 100u) * 3);
    auto key = [](const demo::BasePrice& p) {
        return p.branch + "/" + p.table + "/" + p.periodStart + "/" + p.product;
    };
    for (std::size_t i = 1; i < set.basePrices.size(); ++i) {
        ASSERT_LT(key(set.basePrices[i - 1]), key(set.basePrices[i])) << i;
    }
    auto price = [&](const std::string& wanted) {
        for (const demo::BasePrice& p : set.basePrices) {
            if (key(p) == wanted) return p.price;
        }
        return -1.0;
    };
    // The stored number is the one nearest the decimal price, as written by hand.
    EXPECT_EQ(price("0001/001/2026-01-01/0000000001"), 33.18);
    EXPECT_EQ(price("0001/001/2026-01-01/0000000002"), 14.37);
    EXPECT_EQ(price("0001/002/2026-01-01/0000000001"), 29.86);
    EXPECT_EQ(price("0001/002/2027-01-01/0000000001"), 31.05);
    EXPECT_EQ(price("0002/001/2025-01-01/0000000049"), 11.69);  // 12.30 x 0.95 = 11.685
    EXPECT_EQ(price("0002/001/2026-01-01/0000000101"), -1.0);   // 0002 sells the first half
    EXPECT_TRUE(demo::makeDataSet(0).basePrices.empty());
}

TEST(DemoDataSet, HolidaysAreTheNationalOnesAndTheCitysAnniversary) {
    const std::vector<std::string> national = {
        "01-01 Confraternização Universal", "04-21 Tiradentes", "05-01 Dia do Trabalho",
        "09-07 Independência do Brasil", "10-12 Nossa Senhora Aparecida", "11-02 Finados",
        "11-15 Proclamação da República", "11-20 Dia da Consciência Negra", "12-25 Natal"};
    const std::vector<std::vector<std::string>> movable = {
        {"2025-03-03 Carnaval", "2025-03-04 Carnaval", "2025-04-18 Sexta-feira Santa",
         "2025-06-19 Corpus Christi"},
        {"2026-02-16 Carnaval", "2026-02-17 Carnaval", "2026-04-03 Sexta-feira Santa",
         "2026-06-04 Corpus Christi"},
        {"2027-02-08 Carnaval", "2027-02-09 Carnaval", "2027-03-26 Sexta-feira Santa",
         "2027-05-27 Corpus Christi"},
    };
    std::vector<std::string> expected;
    for (const char* year : {"2025", "2026", "2027"}) {
        expected.push_back(std::string("0001 ") + year + "-01-25 Aniversário da Cidade");
    }
    for (std::size_t y = 0; y < movable.size(); ++y) {
        std::vector<std::string> ofYear;
        for (const std::string& h : national) {
            ofYear.push_back("T " + std::to_string(2025 + y) + "-" + h);
        }
        for (const std::string& h : movable[y]) {
            ofYear.push_back("T " + h);
        }
        std::sort(ofYear.begin(), ofYear.end());
        expected.insert(expected.end(), ofYear.begin(), ofYear.end());
    }
    std::vector<std::string> got;
    for (const demo::Holiday& h : demo::makeDataSet(20).holidays) {
        got.push_back(h.branch + " " + h.date + " " + h.name);
    }
    EXPECT_EQ(got, expected);  // in key order: branch, then date
}

int rows(sqlite3* db, const char* table) {
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, (std::string("SELECT COUNT(*) FROM ") + table).c_str(), -1, &stmt,
                       nullptr);
    const int n = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int(stmt, 0) : -1;
    sqlite3_finalize(stmt);
    return n;
}

TEST(LocalDatabase, RewritingReplacesTheDemoTablesAndKeepsOthers) {
    const std::string path =
        (std::filesystem::temp_directory_path() / "vnd-demodata-test.db").string();
    std::remove(path.c_str());
    demo::writeLocalDatabase(path, 200);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "CREATE TABLE HOSTONLY (X INTEGER); INSERT INTO HOSTONLY VALUES (1)",
                 nullptr, nullptr, nullptr);
    EXPECT_EQ(rows(db, "PRODUTO"), 200);
    EXPECT_EQ(rows(db, "PRODFILI"), 300);
    EXPECT_EQ(rows(db, "FILIAL"), 3);
    EXPECT_EQ(rows(db, "TIPOCONS"), 4);
    EXPECT_EQ(rows(db, "TIPOCONSFILI"), 2);
    sqlite3_close(db);

    demo::writeLocalDatabase(path, 10);
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(rows(db, "PRODUTO"), 10);
    EXPECT_EQ(rows(db, "PRODFILI"), 15);
    EXPECT_EQ(rows(db, "HOSTONLY"), 1);
    sqlite3_close(db);
    std::remove(path.c_str());

    EXPECT_THROW(demo::writeLocalDatabase("/nonexistent-dir/x.db", 1), std::runtime_error);
}

}  // namespace
