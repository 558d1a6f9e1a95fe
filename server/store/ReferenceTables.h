#pragma once
// The reference tables a chain loads from its own files, described once: their columns,
// keys and the rows they name in other tables; and the statements that write, remove and
// read their rows, built from those descriptions for both backends.

#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "server/store/RuleStore.h"

namespace server {

/// What a column holds, and so how its cells are checked, bound and read.
enum class CellKind {
    Code,  ///< a key or a code: required, no blanks around it
    Name,  ///< a required text
    Text,  ///< an optional text: empty is null
    Flag,  ///< an optional "S" or "N"
    Date,  ///< a DATE, "YYYY-MM-DD" in the store
    Price  ///< a DOUBLE PRECISION amount, at least 0
};

struct ReferenceColumn {
    std::string_view name;  ///< the column, also the file's header word
    int width = 0;          ///< characters at most (texts and codes)
    CellKind kind = CellKind::Code;
};

/// A row another table must hold for a row of this one: the cells at `columns` are that
/// table's key, in its order.
struct ReferenceLink {
    std::string_view table;
    std::vector<int> columns;
    std::string_view what;  ///< "a filial", "o produto": how a refusal names it
};

struct ReferenceTable {
    std::string_view kind;   ///< the word of the command line: "filiais", "precos"...
    std::string_view table;  ///< FILIAL, PRECO...
    std::vector<ReferenceColumn> columns;  ///< in table order
    std::size_t required = 0;  ///< cells a line must have; the others may be left out
    std::size_t keyColumns = 0;  ///< the leading columns that are the key
    /// With a complete set (import --full), the leading key columns that name the part of
    /// the table the file replaces (0: the whole table); -1: the table is never replaced
    /// that way.
    int scopeColumns = -1;
    std::vector<ReferenceLink> links;
};

/// Every table a chain loads, in the order they are best loaded in.
const std::vector<ReferenceTable>& referenceTables();
/// The table of a command-line word; nullptr for another word.
const ReferenceTable* referenceTableOf(std::string_view kind);

/// The rows of the reference tables, cells as texts: dates "YYYY-MM-DD", amounts as the
/// store's number text, empty for null. Stateless: every method runs its statements on the
/// store it is given.
class ReferenceRows {
public:
    explicit ReferenceRows(RuleStore& store) : store_(store) {}

    using Cells = std::vector<std::string>;

    /// Inserts the row, or replaces the one with its key.
    void put(const ReferenceTable& table, const Cells& row);
    /// Whether the link's table holds the row the link names in `row`.
    bool linked(const ReferenceLink& link, const Cells& row);
    /// Removes every row of the parts `keys` name (their first scopeColumns cells) whose
    /// key is not among `keys`; how many.
    long removeOthers(const ReferenceTable& table, const std::set<Cells>& keys);
    /// Removes the rows that name a row no longer stored: periods of a removed price
    /// table, base prices of a removed period or product, assortment of a removed
    /// product, consumer types by branch of a removed type; how many.
    long removeDependents();
    /// Every row in key order; with `branch`, only the rows whose first column holds it.
    void forEach(const ReferenceTable& table, const std::optional<std::string>& branch,
                 const std::function<void(const Cells&)>& fn);
    /// The products the branch sells (PRODUTO's rows) in code order.
    void forEachBranchProduct(const std::string& branch,
                              const std::function<void(const Cells&)>& fn);

private:
    RuleStore& store_;
};

}  // namespace server
