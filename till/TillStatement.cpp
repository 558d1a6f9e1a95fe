#include "till/TillStatement.h"

#include <sqlite3.h>
#include <stdexcept>

namespace till {

namespace {

void check(sqlite3* db, int code) {
    if (code != SQLITE_OK) {
        throw std::runtime_error(std::string("erro no arquivo do caixa: ") + sqlite3_errmsg(db));
    }
}

}  // namespace

TillStatement::TillStatement(sqlite3* db, std::string_view sql) : db_(db) {
    check(db, sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr));
}

TillStatement::~TillStatement() {
    sqlite3_finalize(stmt_);
}

TillStatement& TillStatement::bind(int i, std::string_view text) {
    check(db_, sqlite3_bind_text(stmt_, i, text.data(), static_cast<int>(text.size()),
                                 SQLITE_TRANSIENT));
    return *this;
}

TillStatement& TillStatement::bind(int i, double value) {
    check(db_, sqlite3_bind_double(stmt_, i, value));
    return *this;
}

TillStatement& TillStatement::bind(int i, long long value) {
    check(db_, sqlite3_bind_int64(stmt_, i, value));
    return *this;
}

TillStatement& TillStatement::bindNull(int i) {
    check(db_, sqlite3_bind_null(stmt_, i));
    return *this;
}

bool TillStatement::step() {
    const int code = sqlite3_step(stmt_);
    if (code == SQLITE_ROW) {
        return true;
    }
    if (code != SQLITE_DONE) {
        const std::string why = sqlite3_errmsg(db_);
        sqlite3_reset(stmt_);
        throw std::runtime_error("erro no arquivo do caixa: " + why);
    }
    return false;
}

void TillStatement::run() {
    step();
    reset();
}

void TillStatement::reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

std::string TillStatement::text(int column) const {
    return std::string(view(column));
}

std::string_view TillStatement::view(int column) const {
    const auto* bytes = sqlite3_column_text(stmt_, column);
    return bytes ? std::string_view(reinterpret_cast<const char*>(bytes),
                                    static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)))
                 : std::string_view();
}

long long TillStatement::integer(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

std::optional<double> TillStatement::number(int column) const {
    if (sqlite3_column_type(stmt_, column) == SQLITE_NULL) {
        return std::nullopt;
    }
    return sqlite3_column_double(stmt_, column);
}

}  // namespace till
