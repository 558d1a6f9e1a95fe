#pragma once
// A chain's own reference data in and out as lines of cells: a whole file written in one
// transaction or not at all, and the same rows read back in the same form.

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "server/store/ReferenceTables.h"

namespace server {

/// One line of a file, split into its cells as written (dates dd/mm/aaaa, amounts with a
/// decimal comma).
struct ImportLine {
    int number = 0;  ///< the line's number in the file, from 1
    std::vector<std::string> cells;
};

/// What an import did.
struct ImportCounts {
    long imported = 0;    ///< lines written (each inserted or replaced one row)
    long removed = 0;     ///< rows of the table missing from a complete set
    long dependents = 0;  ///< rows of other tables that named a removed row
    long rules = 0;       ///< rules left without backing, removed into the history
};

/// The refusal of a file: the line (0: the file as a whole) and why, in Portuguese.
class ImportRefused : public std::runtime_error {
public:
    ImportRefused(int line, const std::string& why) : std::runtime_error(why), line_(line) {}
    int line() const { return line_; }

private:
    int line_;
};

/// Writes the lines into the table in one write transaction: each line inserts its row
/// or replaces the one with its key. A first line of the table's column names is a header
/// and is skipped. Every cell is checked as the methods check what they store (lengths of
/// the columns, codes that name stored rows, dates, amounts); the first bad line refuses
/// the whole file (ImportRefused), nothing written. With full, the file is the complete
/// set of the parts of the table it names (ReferenceTable::scopeColumns): their rows
/// missing from it are removed, with the rows of other tables that named them and the
/// rules left without backing (copied into the history as removed by the store's caller).
ImportCounts importReference(RuleStore& store, const ReferenceTable& table,
                             const std::vector<ImportLine>& lines, bool full);

/// The header (the column names) and then every row of the table in key order, each as
/// the cells an import takes back.
void exportReference(RuleStore& store, const ReferenceTable& table,
                     const std::function<void(const std::vector<std::string>&)>& fn);

}  // namespace server
