#include "data/TADOIBQuery.h"

#include <sqlite3.h>

#include <memory>
#include <stdexcept>

#include "data/DataModule.h"
#include "forms/Application.h"

namespace vol {

TADOIBQuery::TADOIBQuery(Form& owner, std::string name) : DataSet(owner, std::move(name)) {}

QueryParam& TADOIBQuery::ParamByName(const std::string& name) { return params_[name]; }

std::string TADOIBQuery::sqlText() const {
    std::string text;
    for (std::size_t i = 0; i < SQL.size(); ++i) {
        if (i > 0) text += '\n';
        text += SQL[i];
    }
    return text;
}

void TADOIBQuery::Open() {
    DataModule* dm = Application::instance().dataModule();
    if (dm == nullptr) throw std::runtime_error("O banco de dados local não está conectado.");
    sqlite3* db = dm->handle();

    sqlite3_stmt* raw = nullptr;
    std::string text = sqlText();
    if (sqlite3_prepare_v2(db, text.c_str(), -1, &raw, nullptr) != SQLITE_OK) {
        throw std::runtime_error(name() + ": " + sqlite3_errmsg(db));
    }
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> stmt(raw, sqlite3_finalize);

    // Parameters are always bound, never spliced into the text; a parameter the screen
    // did not set binds as an empty string.
    for (int i = 1; i <= sqlite3_bind_parameter_count(raw); ++i) {
        const char* pname = sqlite3_bind_parameter_name(raw, i);
        if (pname == nullptr) continue;
        const std::string& value = params_[std::string(pname + 1)].asString();
        sqlite3_bind_text(raw, i, value.c_str(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
    }

    int columns = sqlite3_column_count(raw);
    if (fields_.empty()) {
        for (int c = 0; c < columns; ++c) {
            FieldDef def;
            def.name = sqlite3_column_name(raw, c);
            fields_.push_back(std::move(def));
        }
    }
    std::vector<int> source(fields_.size(), -1);
    for (std::size_t f = 0; f < fields_.size(); ++f) {
        for (int c = 0; c < columns; ++c) {
            if (fields_[f].name == sqlite3_column_name(raw, c)) source[f] = c;
        }
        if (source[f] < 0 && fields_[f].kind == FieldKind::Data) {
            throw std::runtime_error(name() + ": Campo " + fields_[f].name + " não encontrado.");
        }
    }

    std::deque<wire::Row> rows;
    int rc;
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
        wire::Row row(fields_.size());
        for (std::size_t f = 0; f < fields_.size(); ++f) {
            if (source[f] < 0) continue;
            const unsigned char* v = sqlite3_column_text(raw, source[f]);
            if (v != nullptr) row[f] = std::string(reinterpret_cast<const char*>(v));
        }
        rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE) throw std::runtime_error(name() + ": " + sqlite3_errmsg(db));
    setRows(std::move(rows));
}

}  // namespace vol
