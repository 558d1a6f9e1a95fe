#pragma once
// The floor of the price book: the database's C API reading the rows the book is made of
// into plain arrays, and nothing else.

#include <string>
#include <vector>

namespace bench {

/// One product of the branch's assortment with its base price; its rules are
/// rules[firstRule, firstRule + ruleCount).
struct FloorProduct {
    char code[11];
    char treeCode[21];
    char name[51];
    double base;  ///< 0 with hasBase false when none
    bool hasBase;
    int firstRule;
    int ruleCount;
};

/// One stored rule's cells, as the book needs them.
struct FloorRule {
    char day;
    char consumerType[3];
    char timeStart[5];
    char timeEnd[5];
    char validFrom[11];
    char validTo[11];
    int surcharge;
    int percentage;
    double amount;
    int display;
};

struct FloorBook {
    std::vector<FloorProduct> products;
    std::vector<FloorRule> rules;
};

/// Which file the rows are read from: the server's database, or a till's file (one
/// branch's and table's products, base prices and rules, keyed by product).
enum class BookSource { Server, TillFile };

/// Reads every product branch 0001 sells (with its tree code and name), the base prices
/// of table 001's 2026 period and the stored rules of that period from the SQLite file
/// into book (emptied first; capacity kept between runs): three prepared statements in
/// one read transaction, each in product order along its table's key, the prices and
/// rules matched to the products as they come. Returns the seconds from opening the file
/// to closing it. Throws std::runtime_error.
double sqlitePriceBookFloor(const std::string& path, FloorBook& book,
                            BookSource source = BookSource::Server);

}  // namespace bench
