#include "server/service/ReferenceImport.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <set>

#include "server/ops/NumberText.h"
#include "server/ops/Utf8Text.h"
#include "server/pricing/Decimal4.h"
#include "server/store/Change.h"
#include "protocol/DatePattern.h"

namespace server {

namespace {

using Cells = ReferenceRows::Cells;

const wire::DatePattern& filePattern() {
    static const wire::DatePattern pattern("dd/mm/yyyy");
    return pattern;
}

bool sameWord(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
    });
}

// An amount of the file ("12,34": digits, perhaps a decimal comma and up to four
// decimals, below a billion) in ten-thousandths; nullopt for anything else.
std::optional<long long> amountUnits(std::string_view text) {
    const std::size_t comma = text.find(',');
    const std::string_view whole = text.substr(0, comma);
    const std::string_view fraction =
        comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    auto digits = [](std::string_view s) {
        return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (whole.empty() || whole.size() > 9 || !digits(whole) || !digits(fraction) ||
        fraction.size() > 4 || (comma != std::string_view::npos && fraction.empty())) {
        return std::nullopt;
    }
    long long units = 0;
    for (char c : whole) {
        units = units * 10 + (c - '0');
    }
    for (std::size_t i = 0; i < 4; ++i) {
        units = units * 10 + (i < fraction.size() ? fraction[i] - '0' : 0);
    }
    return units;
}

// "12,50": the stored amount with a decimal comma, two decimals at least, four at most.
std::string amountText(const std::string& stored) {
    const long long units = Decimal4::fromDouble(std::stod(stored)).units();
    std::string fraction = std::to_string(10000 + units % 10000).substr(1);
    while (fraction.size() > 2 && fraction.back() == '0') {
        fraction.pop_back();
    }
    return std::to_string(units / 10000) + "," + fraction;
}

// The cell as the store takes it, or throws ImportRefused saying why not.
std::string storedCell(const ReferenceTable& t, std::size_t i, const std::string& cell, int line) {
    const ReferenceColumn& c = t.columns[i];
    auto refuse = [&](const std::string& why) {
        throw ImportRefused(line, std::string(c.name) + " (coluna " + std::to_string(i + 1) +
                                      "): " + why);
    };
    switch (c.kind) {
        case CellKind::Date: {
            const auto date = filePattern().parse(cell);
            if (!date) {
                refuse("data inválida '" + cell + "' (use dd/mm/aaaa)");
            }
            return date->iso();
        }
        case CellKind::Price: {
            const auto units = amountUnits(cell);
            if (!units) {
                refuse("valor inválido '" + cell +
                       "' (um número maior ou igual a zero, com vírgula decimal e até quatro "
                       "casas, abaixo de 1.000.000.000)");
            }
            return numberText(static_cast<double>(*units) / 10000.0);
        }
        case CellKind::Flag:
            if (!cell.empty() && cell != "S" && cell != "N") {
                refuse("deve ser S, N ou vazio, não '" + cell + "'");
            }
            return cell;
        default:
            break;
    }
    if (cell.empty() && c.kind != CellKind::Text) {
        refuse("não pode ficar vazio");
    }
    if (c.kind == CellKind::Code && (cell.front() == ' ' || cell.back() == ' ')) {
        refuse("o código '" + cell + "' tem brancos nas pontas");
    }
    // Lines are UTF-8 by now; the width counts characters, as the database does.
    if (utf8Characters(cell).value_or(0) > static_cast<std::size_t>(c.width)) {
        refuse("'" + cell + "' passa de " + std::to_string(c.width) + " caracteres");
    }
    // T stands for every branch (holidays) and every consumer type (rules).
    if (i == 0 && cell == "T" && (t.table == "FILIAL" || t.table == "TIPOCONS")) {
        refuse("o código T é reservado: quer dizer todos");
    }
    return cell;
}

Cells storedRow(const ReferenceTable& t, const ImportLine& line) {
    const std::size_t n = line.cells.size();
    if (n < t.required || n > t.columns.size()) {
        std::string names;
        for (const ReferenceColumn& c : t.columns) {
            names.append(names.empty() ? "" : ";").append(c.name);
        }
        const std::string expected =
            t.required == t.columns.size()
                ? std::to_string(t.required)
                : "de " + std::to_string(t.required) + " a " + std::to_string(t.columns.size());
        throw ImportRefused(line.number, "esperadas " + expected + " colunas (" + names +
                                             "), encontradas " + std::to_string(n));
    }
    Cells row(t.columns.size());
    for (std::size_t i = 0; i < n; ++i) {
        row[i] = storedCell(t, i, line.cells[i], line.number);
    }
    if (t.table == "TABEVEND" && row[3] < row[2]) {
        throw ImportRefused(line.number, "o fim da vigência (" + line.cells[3] +
                                             ") é anterior ao início (" + line.cells[2] + ")");
    }
    return row;
}

// The change a till, and a server holding data in memory, must hear of when the row is
// written. A branch or a price table is logged as a change of its periods ('V' naming no
// table, or the table): a till then reads its periods again, which is cheap. The
// branches' consumer types are held by neither: nothing.
std::optional<Change> changeOf(const ReferenceTable& t, const Cells& row) {
    if (t.table == "FILIAL") {
        return Change::ofBranch(row[0], ChangeKind::Periods);
    }
    if (t.table == "TABEPREC") {
        return Change{row[0], row[1], std::nullopt, std::nullopt, ChangeKind::Periods};
    }
    if (t.table == "TIPOCONS") {
        // A till refuses a price for a type it does not hold: every till loads again.
        return Change::ofBranch("T", ChangeKind::Products);
    }
    if (t.table == "TABEVEND") {
        return Change::ofPeriod(row[0], row[1], row[2], std::nullopt, ChangeKind::Periods);
    }
    if (t.table == "ITEMPREC") {
        return Change::ofPeriod(row[0], row[1], row[2], row[3], ChangeKind::BasePrices);
    }
    if (t.table == "PRODUTO") {  // a product's name and tree are the same in every branch
        return Change{"T", std::nullopt, std::nullopt, row[0], ChangeKind::Products};
    }
    if (t.table == "PRODFILI") {
        return Change{row[0], std::nullopt, std::nullopt, row[1], ChangeKind::Products};
    }
    return std::nullopt;
}

}  // namespace

ImportCounts importReference(RuleStore& store, const ReferenceTable& t,
                             const std::vector<ImportLine>& lines, bool full) {
    if (full && t.scopeColumns < 0) {
        throw ImportRefused(0, "--full não vale para " + std::string(t.kind));
    }
    // Every line is read and checked on its own before the database is touched.
    std::vector<Cells> rows;
    std::vector<const ImportLine*> sources;
    for (const ImportLine& line : lines) {
        const bool header = &line == &lines.front() && !line.cells.empty() &&
                            sameWord(line.cells[0], t.columns[0].name);
        if (!header) {
            rows.push_back(storedRow(t, line));
            sources.push_back(&line);
        }
    }
    if (rows.empty()) {
        throw ImportRefused(0, "o arquivo não tem nenhuma linha de dados");
    }
    ImportCounts counts;
    ReferenceRows tables(store);
    store.writeTransaction(
        [&] {
            std::map<std::pair<std::size_t, Cells>, bool> known;  // links already looked up
            std::set<Cells> keys;
            for (std::size_t r = 0; r < rows.size(); ++r) {
                const Cells& row = rows[r];
                for (std::size_t l = 0; l < t.links.size(); ++l) {
                    const ReferenceLink& link = t.links[l];
                    Cells named;
                    std::string shown;
                    for (int column : link.columns) {
                        named.push_back(row[static_cast<std::size_t>(column)]);
                        shown += " " + sources[r]->cells[static_cast<std::size_t>(column)];
                    }
                    auto [at, fresh] = known.try_emplace({l, named}, false);
                    if (fresh) {
                        at->second = tables.linked(link, row);
                    }
                    if (!at->second) {
                        const bool feminine = link.what.starts_with("a ");
                        throw ImportRefused(sources[r]->number,
                                            std::string(link.what) + shown +
                                                (feminine ? " não está cadastrada"
                                                          : " não está cadastrado"));
                    }
                }
                tables.put(t, row);
                if (auto change = changeOf(t, row)) {
                    store.logChange(std::move(*change));
                }
                if (full) {
                    keys.emplace(row.begin(), row.begin() + static_cast<long>(t.keyColumns));
                }
            }
            counts.imported = static_cast<long>(rows.size());
            if (full) {
                counts.removed = tables.removeOthers(t, keys);
                counts.dependents = tables.removeDependents();
                counts.rules = store.removeUnbackedRules();
                // What a complete set removed may reach any till of the branches it names
                // and beyond (a product's rules, periods and prices): all of them load again.
                // The branches' consumer types are not a till's; the types themselves were
                // logged with their rows.
                const bool tillData = t.table != "TIPOCONS" && t.table != "TIPOCONSFILI";
                if ((tillData && counts.removed + counts.dependents > 0) || counts.rules > 0) {
                    store.logEverything();
                }
            }
        },
        WriteScope::Exclusive);
    return counts;
}

void exportReference(RuleStore& store, const ReferenceTable& t,
                     const std::function<void(const std::vector<std::string>&)>& fn) {
    std::vector<std::string> header;
    for (const ReferenceColumn& c : t.columns) {
        header.emplace_back(c.name);
    }
    fn(header);
    ReferenceRows(store).forEach(t, std::nullopt, [&](const Cells& stored) {
        Cells row = stored;
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (t.columns[i].kind == CellKind::Date) {
                const auto date = wire::Date::fromIso(row[i]);
                if (!date) {
                    throw std::runtime_error("Data inválida no banco de dados: " + row[i]);
                }
                row[i] = filePattern().format(*date);
            } else if (t.columns[i].kind == CellKind::Price) {
                row[i] = amountText(row[i]);
            }
        }
        fn(row);
    });
}

}  // namespace server
