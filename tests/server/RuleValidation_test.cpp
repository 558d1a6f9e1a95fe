// Every condition SetPrecDif checks, on both storage backends: a refused rule gets its
// JSON-RPC error with a Portuguese text and stores nothing; an accepted one stores one row
// per product and day.

#include <functional>

#include <gtest/gtest.h>

#include "RuleArguments.h"
#include "TestDatabase.h"
#include "protocol/JsonRpc.h"
#include "server/service/PriceService.h"
#include "server/cli/DatabaseInit.h"
#include "server/store/StoreFactory.h"

namespace {

using nlohmann::json;
using testdb::arg;
using testdb::Backend;
using namespace testdb;  // the argument positions
namespace rpc = wire::rpc;

struct RuleCase {
    const char* name;
    std::function<json()> rule;
    int code;              // 0: accepted
    const char* message;   // part of the refusal text
    long rows;             // rows stored when accepted
};

void PrintTo(const RuleCase& c, std::ostream* os) {
    *os << c.name;
}

json with(int position, json value, json rule = baseRule()) {
    arg(rule, position) = std::move(value);
    return rule;
}

json withDays(std::initializer_list<int> ticked) {
    json rule = with(kMonday, false);
    for (int position : ticked) {
        arg(rule, position) = true;
    }
    return rule;
}

const RuleCase kCases[] = {
    // Argument count and types.
    {"too_few_arguments", [] { json r = baseRule(); r.erase(r.end() - 1); return r; },
     rpc::kInvalidParams, "29 argumentos; recebeu 28", 0},
    {"too_many_arguments", [] { json r = baseRule(); r.push_back(1); return r; },
     rpc::kInvalidParams, "recebeu 30", 0},
    {"ole_boolean_instead_of_json_boolean", [] { return with(kEveryDay, -1); },
     rpc::kInvalidParams, "argumento 1 ", 0},
    {"mode_flag_as_text", [] { return with(kRangeMode, "false"); }, rpc::kInvalidParams,
     "argumento 13 ", 0},
    {"kind_as_double", [] { return with(kSurcharge, 0.5); }, rpc::kInvalidParams,
     "argumento 14 ", 0},
    {"branch_as_number", [] { return with(kBranch, 1); }, rpc::kInvalidParams, "argumento 16 ",
     0},
    {"time_as_null", [] { return with(kTimeEnd, nullptr); }, rpc::kInvalidParams,
     "argumento 21 ", 0},
    {"date_as_plain_text", [] { return with(kValidFrom, "2026-02-01"); }, rpc::kInvalidParams,
     "argumento 22 ", 0},
    {"date_that_does_not_exist", [] { return with(kValidTo, date("2026-02-30")); },
     rpc::kInvalidParams, "argumento 23 ", 0},
    {"amount_as_text", [] { return with(kAmount, "1,50"); }, rpc::kInvalidParams,
     "argumento 25 ", 0},
    {"packet_as_text", [] { return with(kProducts, "_0000000001_"); }, rpc::kInvalidParams,
     "argumento 27 ", 0},
    {"packet_with_short_row",
     [] {
         json p = productPacket({"0000000001"});
         p["$packet"]["rows"][0].erase(0);
         return with(kProducts, p);
     },
     rpc::kInvalidParams, "argumento 27 ", 0},
    {"display_as_boolean", [] { return with(kDisplay, true); }, rpc::kInvalidParams,
     "argumento 29 ", 0},
    // Days, modes and option indexes.
    {"no_day", [] { return withDays({}); }, rpc::kRefused, "ao menos um dia", 0},
    {"two_modes", [] { return with(kListMode, true); }, rpc::kRefused, "exatamente um modo", 0},
    {"no_mode", [] { return with(kAllMode, false); }, rpc::kRefused, "exatamente um modo", 0},
    {"kind_out_of_range", [] { return with(kSurcharge, 2); }, rpc::kRefused,
     "Tipo de preço diferenciado inválido", 0},
    {"value_or_percentage_out_of_range", [] { return with(kPercentage, -1); }, rpc::kRefused,
     "Forma do valor inválida", 0},
    {"display_out_of_range", [] { return with(kDisplay, 2); }, rpc::kRefused,
     "visualização inválida", 0},
    // Branch, price table, validity period.
    {"unknown_branch", [] { return with(kBranch, "0009"); }, rpc::kRefused,
     "Filial 0009 não cadastrada.", 0},
    {"branch_not_padded", [] { return with(kBranch, "1"); }, rpc::kRefused,
     "Filial 1 não cadastrada.", 0},
    {"unknown_table", [] { return with(kTable, "003"); }, rpc::kRefused,
     "Tabela de preço 003 não cadastrada na filial 0001.", 0},
    {"table_of_another_branch", [] { return with(kTable, "002", with(kBranch, "0002")); },
     rpc::kRefused, "Tabela de preço 002 não cadastrada na filial 0002.", 0},
    {"period_not_starting_that_day", [] { return with(kPeriodStart, date("2026-01-02")); },
     rpc::kRefused, "Vigência iniciada em 02/01/2026 não cadastrada", 0},
    // Validity dates.
    {"validity_reversed", [] { return with(kValidTo, date("2026-01-31")); }, rpc::kRefused,
     "Validade inicial deve ser menor ou igual à validade final.", 0},
    {"validity_starts_before_period", [] { return with(kValidFrom, date("2025-12-31")); },
     rpc::kRefused, "dentro da vigência (01/01/2026 a 31/12/2026)", 0},
    {"validity_ends_after_period", [] { return with(kValidTo, date("2027-01-01")); },
     rpc::kRefused, "dentro da vigência", 0},
    // Time window.
    {"hour_24", [] { return with(kTimeStart, "2400"); }, rpc::kRefused,
     "Horário inicial '2400' não é uma hora válida", 0},
    {"minute_60", [] { return with(kTimeEnd, "1260"); }, rpc::kRefused,
     "Horário final '1260' não é uma hora válida", 0},
    {"time_with_colon", [] { return with(kTimeStart, "08:30"); }, rpc::kRefused,
     "não é uma hora válida", 0},
    {"time_with_blank", [] { return with(kTimeStart, "08 3"); }, rpc::kRefused,
     "não é uma hora válida", 0},
    {"time_empty", [] { return with(kTimeEnd, ""); }, rpc::kRefused, "não é uma hora válida", 0},
    {"window_past_midnight", [] { return with(kTimeEnd, "0800", with(kTimeStart, "1800")); },
     rpc::kRefused, "Horário inicial deve ser menor ou igual ao horário final.", 0},
    // Amount.
    {"value_zero", [] { return with(kAmount, 0); }, rpc::kRefused,
     "Valor deve ser maior do que zero.", 0},
    {"value_negative", [] { return with(kAmount, -0.01); }, rpc::kRefused,
     "Valor deve ser maior do que zero.", 0},
    {"discount_percentage_zero", [] { return with(kAmount, 0.0, with(kPercentage, 1)); },
     rpc::kRefused, "percentual de desconto deve estar entre 0 e 100", 0},
    {"discount_percentage_100", [] { return with(kAmount, 100, with(kPercentage, 1)); },
     rpc::kRefused, "percentual de desconto deve estar entre 0 e 100", 0},
    {"surcharge_percentage_100",
     [] { return with(kSurcharge, 1, with(kAmount, 100, with(kPercentage, 1))); },
     rpc::kRefused, "percentual de acréscimo deve estar entre 0 e 100", 0},
    // Consumer type.
    {"unknown_consumer_type", [] { return with(kConsumerType, "09"); }, rpc::kRefused,
     "Tipo de consumidor 09 não cadastrado.", 0},
    {"empty_consumer_type", [] { return with(kConsumerType, ""); }, rpc::kRefused,
     "Tipo de consumidor  não cadastrado.", 0},
    // Products.
    {"list_without_packet", [] { return with(kProducts, nullptr, listRule({})); },
     rpc::kRefused, "Nenhum produto informado na lista.", 0},
    {"list_with_empty_packet", [] { return listRule({}); }, rpc::kRefused,
     "Nenhum produto informado na lista.", 0},
    {"list_product_the_branch_does_not_sell",
     [] { return with(kBranch, "0002", listRule({"0000000001", "0000000150"})); },
     rpc::kRefused, "Produto 0000000150 não é vendido pela filial 0002.", 0},
    {"list_code_garbled_by_the_parse", [] { return listRule({"12_0000000"}); }, rpc::kRefused,
     "Produto 12_0000000 não é vendido", 0},
    {"list_row_without_code", [] { return listRule({nullptr}); }, rpc::kRefused,
     "Produto sem código na lista.", 0},
    {"list_packet_without_product_field",
     [] {
         json p = productPacket({"0000000001"});
         p["$packet"]["fields"][1]["name"] = "CODIGO";
         return with(kProducts, p, listRule({}));
     },
     rpc::kRefused, "não tem o campo CDPRODUTO", 0},
    {"range_covering_nothing", [] { return rangeRule("0301001", "0399999"); }, rpc::kRefused,
     "Nenhum produto da filial 0001 no intervalo de 0301001 a 0399999.", 0},
    {"range_reversed", [] { return rangeRule("0101010", "0101001"); }, rpc::kRefused,
     "Nenhum produto da filial", 0},
    {"range_without_start", [] { return rangeRule("", "0101010"); }, rpc::kRefused,
     "Informe o produto inicial e o produto final", 0},
    // Accepted rules and the rows they give.
    {"all_products_one_day", [] { return baseRule(); }, 0, "", 200},
    {"every_day_stands_alone", [] { return withDays({kEveryDay, kSunday, kHoliday}); }, 0, "",
     200},
    {"holiday_eve_and_saturday", [] { return withDays({kHoliday, kHolidayEve, kSaturday}); },
     0, "", 600},
    {"list_twice_the_same_code", [] { return listRule({"0000000001", "0000000002", "0000000001"}); },
     0, "", 2},
    {"range_both_ends_included", [] { return rangeRule("0101001", "0101010"); }, 0, "", 10},
    {"range_texts_with_blanks", [] { return rangeRule(" 0102011", "0210200 "); }, 0, "", 190},
    {"branch_with_half_the_products", [] { return with(kBranch, "0002"); }, 0, "", 100},
    {"registered_consumer_type", [] { return with(kConsumerType, "01"); }, 0, "", 200},
    {"percentage_just_inside", [] { return with(kAmount, 99.99, with(kPercentage, 1)); }, 0, "",
     200},
    {"smallest_value", [] { return with(kAmount, 0.01); }, 0, "", 200},
    {"integer_amount", [] { return with(kAmount, 3); }, 0, "", 200},
    {"one_minute_window", [] { return with(kTimeEnd, "0800", with(kTimeStart, "0800")); }, 0,
     "", 200},
    {"whole_period_inactive_today",
     [] {
         json r = with(kPeriodStart, date("2025-01-01"));
         arg(r, kValidFrom) = date("2025-01-01");
         arg(r, kValidTo) = date("2025-12-31");
         return r;
     },
     0, "", 200},
};

class RuleValidation : public testing::TestWithParam<std::tuple<Backend, RuleCase>> {
protected:
    void SetUp() override {
        if (auto why = testdb::unavailable(std::get<0>(GetParam()))) {
            GTEST_SKIP() << *why;
        }
        db_ = std::make_unique<testdb::TestDatabase>(std::get<0>(GetParam()));
        server::initDatabase(db_->url(), true, 200);
        service_ = std::make_unique<server::PriceService>(server::openStore(db_->url()));
    }

    std::unique_ptr<testdb::TestDatabase> db_;
    std::unique_ptr<server::PriceService> service_;
};

TEST_P(RuleValidation, RefusesOrStores) {
    const RuleCase& c = std::get<1>(GetParam());
    if (c.code == 0) {
        const json result = service_->call("SetPrecDif", c.rule());
        EXPECT_EQ(result, (json{{"stored", c.rows}, {"replaced", 0}}));
        EXPECT_EQ(service_->countRules(), c.rows);
        return;
    }
    try {
        service_->call("SetPrecDif", c.rule());
        FAIL() << "accepted";
    } catch (const wire::RpcError& e) {
        EXPECT_EQ(e.code(), c.code);
        EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
    EXPECT_EQ(service_->countRules(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, RuleValidation,
    testing::Combine(testing::Values(Backend::Sqlite, Backend::Postgres), testing::ValuesIn(kCases)),
    [](const testing::TestParamInfo<std::tuple<Backend, RuleCase>>& p) {
        return std::string(testdb::name(std::get<0>(p.param))) + "_" + std::get<1>(p.param).name;
    });

}  // namespace
