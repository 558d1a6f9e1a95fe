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
