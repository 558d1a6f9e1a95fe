#include "server/store/ReferenceTables.h"

#include <algorithm>
#include <stdexcept>

#include "server/ops/NumberText.h"

namespace server {

namespace {

using Cells = ReferenceRows::Cells;
using K = CellKind;

// A parameter marker for a cell of this column (SqlStatement.h).
std::string marker(const ReferenceColumn& c, std::size_t number) {
    const char* type = c.kind == K::Date ? "d" : c.kind == K::Price ? "n" : "t";
    return std::string("{").append(type).append(std::to_string(number)).append("}");
}

// How a select reads the column.
std::string selected(const ReferenceColumn& c, std::string_view alias = "") {
    const std::string name = std::string(alias) + std::string(c.name);
    return c.kind == K::Date ? "{date:" + name + "}" : name;
}

SqlParam param(const ReferenceColumn& c, const std::string& cell) {
    if (cell.empty() && (c.kind == K::Text || c.kind == K::Flag)) {
        return std::nullopt;
    }
    return cell;
}

// "A = {t1} AND B = {d2}" over the first `count` columns, parameters from `first` on;
// `alias` before every column name.
std::string matching(const ReferenceTable& t, std::size_t count, std::size_t first = 1,
                     std::string_view alias = "") {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
        out += (i ? " AND " : "") + std::string(alias) + std::string(t.columns[i].name) +
               " = " + marker(t.columns[i], first + i);
    }
    return out;
}

// The first `count` column names; read: as a select reads them.
std::string columnList(const ReferenceTable& t, std::size_t count, bool read = false,
                       std::string_view alias = "") {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
        out += (i ? ", " : "") +
               (read ? selected(t.columns[i], alias)
                     : std::string(alias) + std::string(t.columns[i].name));
    }
    return out;
}

const ReferenceTable& tableNamed(std::string_view name) {
    for (const ReferenceTable& t : referenceTables()) {
        if (t.table == name) {
            return t;
        }
    }
    throw std::invalid_argument("tabela de referência desconhecida: " + std::string(name));
}

Cells cellsOf(const ReferenceTable& t, const SqlRow& r, std::size_t count) {
    Cells out(count);
    for (std::size_t i = 0; i < count; ++i) {
        out[i] = t.columns[i].kind == K::Price ? numberText(r.number(static_cast<int>(i)))
                                               : std::string(r.text(static_cast<int>(i)));
    }
    return out;
}

}  // namespace

const std::vector<ReferenceTable>& referenceTables() {
    static const std::vector<ReferenceTable> tables = {
        {"filiais", "FILIAL",
         {{"CDFILIAL", 4, K::Code}, {"NMFILIAL", 30, K::Name}, {"CDSEGMER", 5, K::Text},
          {"SEGMENTO", 48, K::Text}, {"IDPRECDIFCOM", 1, K::Flag}, {"CDGRPRODPDV", 10, K::Text},
          {"GRUPOPROD", 53, K::Text}, {"IDUTMODPRODFIL", 1, K::Flag}},
         2, 1, -1, {}},
        {"tabelas", "TABEPREC",
         {{"CDFILIAL", 4, K::Code}, {"CDTABEPREC", 3, K::Code}, {"NMTABEPREC", 20, K::Name}},
         3, 2, 1, {{"FILIAL", {0}, "a filial"}}},
        {"vigencias", "TABEVEND",
         {{"CDFILIAL", 4, K::Code}, {"CDTABEPREC", 3, K::Code}, {"DTINIVGPREC", 0, K::Date},
          {"DTFINVGPREC", 0, K::Date}},
         4, 3, 2, {{"TABEPREC", {0, 1}, "a tabela de preço"}}},
        {"produtos", "PRODUTO",
         {{"CDPRODUTO", 10, K::Code}, {"CDARVPROD", 20, K::Code}, {"NMPRODUTO", 50, K::Name}},
         3, 1, 0, {}},
        {"sortimento", "PRODFILI",
         {{"CDFILIAL", 4, K::Code}, {"CDPRODUTO", 10, K::Code}},
         2, 2, 1, {{"FILIAL", {0}, "a filial"}, {"PRODUTO", {1}, "o produto"}}},
        {"tipos", "TIPOCONS",
         {{"CDTIPOCONS", 2, K::Code}, {"NMTIPOCONS", 30, K::Name}},
         2, 1, 0, {}},
        {"tipos-filial", "TIPOCONSFILI",
         {{"CDFILIAL", 4, K::Code}, {"CDTIPOCONS", 2, K::Code}},
         2, 2, 1, {{"FILIAL", {0}, "a filial"}, {"TIPOCONS", {1}, "o tipo de consumidor"}}},
        {"precos", "ITEMPREC",
         {{"CDFILIAL", 4, K::Code}, {"CDTABEPREC", 3, K::Code}, {"DTINIVGPREC", 0, K::Date},
          {"CDPRODUTO", 10, K::Code}, {"VRPRECO", 0, K::Price}},
         5, 4, 2,
         {{"TABEPREC", {0, 1}, "a tabela de preço"},
          {"TABEVEND", {0, 1, 2}, "a vigência"},
          {"PRODUTO", {3}, "o produto"}}},
    };
    return tables;
}

const ReferenceTable* referenceTableOf(std::string_view kind) {
    for (const ReferenceTable& t : referenceTables()) {
        if (t.kind == kind) {
            return &t;
        }
    }
    return nullptr;
}

void ReferenceRows::put(const ReferenceTable& t, const Cells& row) {
    std::string values;
    std::string updates;
    std::vector<SqlParam> params;
    for (std::size_t i = 0; i < t.columns.size(); ++i) {
        const ReferenceColumn& c = t.columns[i];
        values += (i ? ", " : "") + marker(c, i + 1);
        params.push_back(param(c, i < row.size() ? row[i] : std::string()));
        if (i >= t.keyColumns) {
            updates += (updates.empty() ? "" : ", ") + std::string(c.name) + " = EXCLUDED." +
                       std::string(c.name);
        }
    }
    std::string sql = "INSERT INTO " + std::string(t.table) + " (" + columnList(t, t.columns.size()) +
                      ") VALUES (" + values + ") ON CONFLICT (" + columnList(t, t.keyColumns) +
                      ") DO " + (updates.empty() ? "NOTHING" : "UPDATE SET " + updates);
    store_.execute(sql, params);
}

bool ReferenceRows::linked(const ReferenceLink& link, const Cells& row) {
    const ReferenceTable& target = tableNamed(link.table);
    std::vector<SqlParam> params;
    for (int column : link.columns) {
        params.emplace_back(row[static_cast<std::size_t>(column)]);
    }
    bool found = false;
    store_.query("SELECT 1 FROM " + std::string(target.table) + " WHERE " +
                     matching(target, link.columns.size()),
                 params, [&](const SqlRow&) { found = true; });
    return found;
}

long ReferenceRows::removeOthers(const ReferenceTable& t, const std::set<Cells>& keys) {
    if (t.scopeColumns < 0) {
        throw std::invalid_argument(std::string(t.table) + " não é substituída por inteiro");
    }
    const auto scopeSize = static_cast<std::size_t>(t.scopeColumns);
    std::set<Cells> scopes;
    for (const Cells& key : keys) {
        scopes.emplace(key.begin(), key.begin() + static_cast<long>(scopeSize));
    }
    const std::string table(t.table);
    long removed = 0;
    for (const Cells& scope : scopes) {
        std::vector<Cells> others;
        store_.query("SELECT " + columnList(t, t.keyColumns, true) + " FROM " + table +
                         (scopeSize ? " WHERE " + matching(t, scopeSize) : std::string()),
                     std::vector<SqlParam>(scope.begin(), scope.end()),
                     [&](const SqlRow& r) {
                         Cells key = cellsOf(t, r, t.keyColumns);
                         if (!keys.contains(key)) {
                             others.push_back(std::move(key));
                         }
                     },
                     SqlRows::Many);
        for (const Cells& key : others) {
            removed += store_.execute("DELETE FROM " + table + " WHERE " + matching(t, t.keyColumns),
                                      std::vector<SqlParam>(key.begin(), key.end()));
        }
    }
    return removed;
}

long ReferenceRows::removeDependents() {
    long removed = 0;
    // Parents come before their children in the list, so a removal reaches every
    // generation below it.
    for (const ReferenceTable& t : referenceTables()) {
        for (const ReferenceLink& link : t.links) {
            const ReferenceTable& target = tableNamed(link.table);
            std::string condition;
            for (std::size_t i = 0; i < link.columns.size(); ++i) {
                condition += " AND L." + std::string(target.columns[i].name) + " = " +
                             std::string(t.table) + "." +
                             std::string(t.columns[static_cast<std::size_t>(link.columns[i])].name);
            }
            removed += store_.execute("DELETE FROM " + std::string(t.table) +
                                          " WHERE NOT EXISTS (SELECT 1 FROM " +
                                          std::string(target.table) + " L WHERE" +
                                          condition.substr(4) + ")",
                                      {});
        }
    }
    return removed;
}

void ReferenceRows::forEach(const ReferenceTable& t, const std::optional<std::string>& branch,
                            const std::function<void(const Cells&)>& fn) {
    store_.query("SELECT " + columnList(t, t.columns.size(), true) + " FROM " + std::string(t.table) +
                     (branch ? " WHERE " + matching(t, 1) : std::string()) + " ORDER BY " +
                     columnList(t, t.keyColumns),
                 branch ? std::vector<SqlParam>{branch} : std::vector<SqlParam>{},
                 [&](const SqlRow& r) { fn(cellsOf(t, r, t.columns.size())); }, SqlRows::Many);
}

void ReferenceRows::forEachBranchProduct(const std::string& branch,
                                         const std::function<void(const Cells&)>& fn) {
    const ReferenceTable& products = tableNamed("PRODUTO");
    store_.query("SELECT " + columnList(products, products.columns.size(), true, "P.") +
                     " FROM PRODFILI F JOIN PRODUTO P ON P.CDPRODUTO = F.CDPRODUTO"
                     " WHERE F.CDFILIAL = {t1} ORDER BY F.CDPRODUTO",
                 {branch}, [&](const SqlRow& r) { fn(cellsOf(products, r, products.columns.size())); },
                 SqlRows::Many);
}

}  // namespace server
