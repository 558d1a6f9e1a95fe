// vnd-server base-prices list: a price table's base prices (ITEMPREC).

#include <CLI/CLI.hpp>
#include <iomanip>
#include <memory>
#include <optional>
#include <ostream>

#include "protocol/DatePattern.h"
#include "server/cli/Command.h"
#include "server/cli/UsageError.h"
#include "server/pricing/Decimal4.h"
#include "server/pricing/Money.h"
#include "server/pricing/RuleText.h"
#include "server/service/PriceExplanation.h"
#include "server/store/StoreFactory.h"

namespace server {

namespace {

struct BasePriceOptions {
    std::string db, branch, table, period;
    bool csv = false;
};

// The rows in the order of the table's key past branch and table: period, then product.
void listBasePrices(const BasePriceOptions& o, std::ostream& out) {
    std::optional<wire::Date> period;
    if (!o.period.empty()) {
        static const wire::DatePattern pattern("dd/mm/yyyy");
        period = pattern.parse(o.period);
        if (!period) {
            throw UsageError("--period deve ser uma data dd/mm/aaaa existente: " + o.period);
        }
    }
    auto store = openStoreToRead(o.db);
    store->readTogether([&] {
        checkPriceTable(*store, o.branch, o.table);
        std::vector<SqlParam> params{o.branch, o.table};
        if (period) {
            params.emplace_back(period->iso());
        }
        if (o.csv) {
            // The file `import precos` reads.
            out << "CDFILIAL;CDTABEPREC;DTINIVGPREC;CDPRODUTO;VRPRECO\n";
        }
        store->query(
            "SELECT {date:I.DTINIVGPREC}, I.CDPRODUTO, I.VRPRECO, P.NMPRODUTO FROM ITEMPREC I"
            " LEFT JOIN PRODUTO P ON P.CDPRODUTO = I.CDPRODUTO"
            " WHERE I.CDFILIAL = {t1} AND I.CDTABEPREC = {t2}" +
                std::string(period ? " AND I.DTINIVGPREC = {d3}" : "") +
                " ORDER BY I.DTINIVGPREC, I.CDPRODUTO",
            params,
            [&](const SqlRow& r) {
                const std::string start = shortDate(*wire::Date::fromIso(r.text(0)));
                const long long cents = Decimal4::fromDouble(r.number(2)).roundedCents();
                if (o.csv) {
                    out << o.branch << ';' << o.table << ';' << start << ';' << r.text(1) << ';'
                        << decimalText(cents) << '\n';
                    return;
                }
                out << start << "  " << r.text(1) << "  " << std::setw(12)
                    << "R$ " + moneyText(cents) << "  " << r.text(3) << '\n';
            },
            SqlRows::Many);
    });
}

}  // namespace

Command addBasePricesCommand(CLI::App& program) {
    auto o = std::make_shared<BasePriceOptions>();
    CLI::App& command = newCommand(program, "base-prices", "os preços base das tabelas de preço");
    addDatabaseOption(command, o->db);
    CLI::App* list = command.add_subcommand("list", "lista os preços base de uma tabela de preço");
    list->group("Ações");
    list->set_help_flag("-h,--help", "mostra esta ajuda e sai");
    list->fallthrough();
    list->add_option("--branch", o->branch, "filial")->type_name("FILIAL");
    list->add_option("--table", o->table, "tabela de preço")->type_name("TABELA");
    list->add_option("--period", o->period, "só os da vigência que começa nesta data")
        ->type_name("dd/mm/aaaa");
    list->add_flag("--csv", o->csv, "valores separados por ; com decimais em vírgula");
    return {&command, [o, list](std::ostream& out, std::ostream&) {
                requireDatabase(o->db);
                if (!list->parsed()) {
                    throw UsageError("base-prices: use list");
                }
                if (o->branch.empty() || o->table.empty()) {
                    throw UsageError("base-prices list: informe --branch e --table");
                }
                listBasePrices(*o, out);
                return 0;
            }};
}

}  // namespace server
