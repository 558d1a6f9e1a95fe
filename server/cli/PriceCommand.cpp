// vnd-server price and prices: a product's price with its explanation, and the price book.

#include <CLI/CLI.hpp>
#include <memory>

#include "server/cli/Command.h"
#include "server/cli/PricingCommands.h"
#include "server/cli/UsageError.h"

namespace server {

namespace {

struct PriceOptions {
    std::string db, branch, table, product, type, at;
    bool csv = false;
};

// The options both commands share: where and when the price is asked for.
void addQuestionOptions(CLI::App& command, PriceOptions& o) {
    addDatabaseOption(command, o.db);
    command.add_option("--branch", o.branch, "filial")->type_name("FILIAL");
    command.add_option("--table", o.table, "tabela de preços")->type_name("TABELA");
    command.add_option("--type", o.type, "tipo de consumidor")->type_name("TIPO");
    command.add_option("--at", o.at, "o momento, como \"2026-03-10 12:00\"")
        ->type_name("\"AAAA-MM-DD HH:MM\"");
}

PriceQuestion question(const PriceOptions& o) {
    requireDatabase(o.db);
    for (const auto& [value, name] : {std::pair{&o.branch, "--branch"},
                                      std::pair{&o.table, "--table"}, std::pair{&o.at, "--at"}}) {
        if (value->empty()) {
            throw UsageError(std::string("informe ") + name);
        }
    }
    return PriceQuestion{o.db, o.branch, o.table, o.type, o.at};
}

}  // namespace

Command addPriceCommand(CLI::App& program) {
    auto o = std::make_shared<PriceOptions>();
    CLI::App& command = newCommand(program, "price",
                                   "o preço vigente de um produto e por quê, regra a regra");
    addQuestionOptions(command, *o);
    command.add_option("--product", o->product, "produto")->type_name("PRODUTO");
    return {&command, [o](std::ostream& out, std::ostream&) {
                const PriceQuestion asked = question(*o);
                if (o->product.empty()) {
                    throw UsageError("informe --product");
                }
                printPrice(asked, o->product, out);
                return 0;
            }};
}

Command addPricesCommand(CLI::App& program) {
    auto o = std::make_shared<PriceOptions>();
    CLI::App& command =
        newCommand(program, "prices", "a tabela de preços vigentes de todos os produtos");
    addQuestionOptions(command, *o);
    command.add_flag("--csv", o->csv, "valores separados por ; com decimais em vírgula");
    return {&command, [o](std::ostream& out, std::ostream&) {
                printPrices(question(*o), o->csv, out);
                return 0;
            }};
}

}  // namespace server
