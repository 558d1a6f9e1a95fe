#pragma once
// A prepared statement of the till's file: values bound by position, rows read by column.

#include <optional>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace till {

/// One prepared statement; finalized when this ends. Every failure throws
/// std::runtime_error with SQLite's text.
class TillStatement {
public:
    TillStatement(sqlite3* db, std::string_view sql);
    ~TillStatement();
    TillStatement(const TillStatement&) = delete;
    TillStatement& operator=(const TillStatement&) = delete;

    /// Binds parameter i (1-based): text, a number, an integer or null.
    TillStatement& bind(int i, std::string_view text);
    TillStatement& bind(int i, double value);
    TillStatement& bind(int i, long long value);
    TillStatement& bindNull(int i);
    /// Steps once: true while a row is available.
    bool step();
    /// Runs a statement that returns no rows, then makes it ready to run again.
    void run();
    /// Makes it ready to run again, its bindings cleared.
    void reset();

    std::string text(int column) const;
    /// The column's text, valid until the next step or reset.
    std::string_view view(int column) const;
    long long integer(int column) const;
    std::optional<double> number(int column) const;

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

}  // namespace till
