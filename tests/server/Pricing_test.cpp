// What the stored rules do, on both backends: the price and its reasons at a moment, the
// price book, the dry run, listing, removal and the history of every change.

#include <filesystem>
#include <fstream>
#include <sstream>
#include <type_traits>

#include <gtest/gtest.h>
#include <unistd.h>

#include "RuleArguments.h"
#include "TestDatabase.h"
#include "protocol/JsonRpc.h"
#include "protocol/ValueCodec.h"
#include "server/cli/Commands.h"
#include "server/net/Server.h"
#include "server/rpc/Dispatcher.h"
#include "server/rpc/PriceService.h"
#include "server/service/PriceExplanation.h"
#include "server/cli/DatabaseInit.h"
#include "server/store/StoreFactory.h"

namespace {

using nlohmann::json;
using testdb::Backend;

// An explanation points into its own list of rules: moved, it keeps the list's storage;
// a copy would point into the original's, and dangle once that is gone.
static_assert(!std::is_copy_constructible_v<server::PriceExplanation> &&
              !std::is_copy_assignable_v<server::PriceExplanation>);
static_assert(std::is_move_constructible_v<server::PriceExplanation>);

// A rule over listed products of branch 0001, table 001, period 2026, valid all year.
struct Rule {
    std::vector<std::string> products{"0000000001"};
    std::vector<wire::DayBox> days{wire::DayBox::EveryDay};
    std::string type = "T";
    std::string from = "0001";
    std::string to = "2359";
    wire::Date period{2026, 1, 1};
    wire::Date validFrom{2026, 1, 1};
    wire::Date validTo{2026, 12, 31};
    bool percentage = false;
    bool surcharge = false;
    double amount = 1;

    json params() const {
        wire::RuleArguments r = testdb::baseArguments();
        r.days = {};
        for (wire::DayBox d : days) {
            r.tick(d);
        }
        r.mode = wire::ProductMode::List;
        wire::DataPacket packet = wire::packetFromJson(testdb::productPacket({}));
        for (const std::string& code : products) {
            packet.rows.push_back({std::nullopt, code, std::nullopt, std::nullopt});
        }
        r.products = packet;
        r.consumerType = type;
        r.timeStart = from;
        r.timeEnd = to;
        r.validFrom = validFrom;
        r.validTo = validTo;
        r.periodStart = period;
        r.amountKind = percentage ? wire::AmountKind::Percentage : wire::AmountKind::Money;
        r.adjustment = surcharge ? wire::Adjustment::Surcharge : wire::Adjustment::Discount;
        r.amount = amount;
        return wire::toParams(r);
    }
};

class Pricing : public testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        if (auto why = testdb::unavailable(GetParam())) {
            GTEST_SKIP() << *why;
        }
        db_ = std::make_unique<testdb::TestDatabase>(GetParam());
        server::initDatabase(db_->url(), true, 200);
        service_ = std::make_unique<server::PriceService>(server::openStore(db_->url()));
    }

    json call(const std::string& method, const json& params) {
        return service_->call(method, params, server::PriceService::Clock::time_point::max(),
                              {"maria", "caixa-3"});
    }
    json store(const Rule& rule) { return call("SetPrecDif", rule.params()); }
    json priceAt(const std::string& product, const std::string& type, const char* date,
                 const char* time) {
        const std::string text = service_->callText(
            "GetPrecoVigente", json::array({"0001", "001", product, type, {{"$date", date}}, time}),
            server::PriceService::Clock::time_point::max(), {"maria", "caixa-3"});
        json answer = json::parse(text);
        // Written without a tree, the answer is still byte for byte its JSON form's dump.
        EXPECT_EQ(text, wire::dumpJson(answer));
        return answer;
    }
    int errorCode(const std::string& method, const json& params) {
        try {
            call(method, params);
        } catch (const wire::RpcError& e) {
            return e.code();
        }
        return 0;
    }

    std::unique_ptr<testdb::TestDatabase> db_;
    std::unique_ptr<server::PriceService> service_;
};

// Product 1 of the demo costs 33.18 in table 001 in 2026. 16/02/2026 is a Monday and a
// holiday (Carnaval) and the eve of another; 15/02 is a Sunday and an eve.
TEST_P(Pricing, TheAppliedRuleIsExplainedWithEveryOtherRow) {
    Rule atacado;  // 10 % off on Mondays for Atacado
    atacado.days = {wire::DayBox::Monday};
    atacado.type = "02";
    atacado.percentage = true;
    atacado.amount = 10;
    Rule holiday;  // R$ 2,00 off on holidays for everyone
    holiday.days = {wire::DayBox::Holiday};
    holiday.amount = 2;
    store(atacado);
    store(holiday);

    const json both = priceAt("0000000001", "02", "2026-02-16", "10:00");
    EXPECT_EQ(both["periodo"]["DTINIVGPREC"]["$date"], "2026-01-01");
    EXPECT_EQ(both["dia"]["semana"], 2);
    EXPECT_EQ(both["dia"]["feriado"], "Carnaval");
    EXPECT_EQ(both["dia"]["vespera"], "Carnaval");
    EXPECT_DOUBLE_EQ(both["base"].get<double>(), 33.18);
    EXPECT_DOUBLE_EQ(both["preco"].get<double>(), 29.86);  // 33.18 less 10 % = 29.862
    EXPECT_EQ(both["aplicada"]["CDTIPOCONS"], "02");
    ASSERT_EQ(both["regras"].size(), 2u);
    EXPECT_EQ(both["regras"][0]["situacao"], "aplicada");
    EXPECT_TRUE(both["regras"][0]["motivo"].is_null());
    EXPECT_EQ(both["regras"][1]["situacao"], "preterida");
    EXPECT_EQ(both["regras"][1]["motivo"], "tipo de consumidor específico");

    const json varejo = priceAt("0000000001", "01", "2026-02-16", "10:00");
    EXPECT_DOUBLE_EQ(varejo["preco"].get<double>(), 31.18);
    EXPECT_EQ(varejo["aplicada"]["IDDIA"], "F");
    EXPECT_EQ(varejo["regras"][1]["motivo"], "outro tipo de consumidor");

    const json plainMonday = priceAt("0000000001", "", "2026-02-09", "10:00");
    EXPECT_DOUBLE_EQ(plainMonday["preco"].get<double>(), 33.18);
    EXPECT_TRUE(plainMonday["aplicada"].is_null());
    EXPECT_EQ(plainMonday["regras"][0]["situacao"], "fora");

    // The default window starts at 00:01: at midnight no rule applies.
    const json midnight = priceAt("0000000001", "02", "2026-02-16", "00:00");
    EXPECT_DOUBLE_EQ(midnight["preco"].get<double>(), 33.18);
    EXPECT_EQ(midnight["regras"][0]["motivo"], "fora do horário");
}

// Each step of precedence decides between two rules that both apply at one moment.
struct StepCase {
    const char* name;
    Rule first;
    Rule second;
    bool firstWins;
    const char* motivo;
};

Rule with(std::function<void(Rule&)> change) {
    Rule r;
    change(r);
    return r;
}

TEST_P(Pricing, EveryPrecedenceStepDecides) {
    using D = wire::DayBox;
    const StepCase cases[] = {
        {"consumer type", with([](Rule& r) { r.type = "02"; }), Rule{}, true,
         "tipo de consumidor específico"},
        {"day", with([](Rule& r) { r.days = {D::Holiday}; }),
         with([](Rule& r) { r.days = {D::Monday}; }), true, "dia mais específico"},
        {"later start of validity", with([](Rule& r) { r.validFrom = {2026, 2, 1}; }), Rule{},
         true, "validade mais recente"},
        {"earlier end of validity", Rule{}, with([](Rule& r) { r.validTo = {2026, 3, 31}; }),
         false, "validade mais curta"},
        {"narrower window", with([](Rule& r) { r.from = "0800"; r.to = "1200"; }), Rule{}, true,
         "horário mais estreito"},
        {"later start of window", with([](Rule& r) { r.from = "0900"; r.to = "1100"; }),
         with([](Rule& r) { r.from = "0800"; r.to = "1000"; }), true, "horário mais tarde"},
    };
    int product = 10;
    for (StepCase c : cases) {
        SCOPED_TRACE(c.name);
        char code[16];
        std::snprintf(code, sizeof code, "%010d", ++product);
        c.first.products = c.second.products = {code};
        c.first.amount = 1;
        c.second.amount = 2;
        store(c.first);
        store(c.second);
        const json answer = priceAt(code, "02", "2026-02-16", "09:30");
        ASSERT_FALSE(answer["aplicada"].is_null());
        EXPECT_DOUBLE_EQ(answer["aplicada"]["VRPRECDIF"].get<double>(), c.firstWins ? 1 : 2);
        EXPECT_EQ(answer["regras"][1]["situacao"], "preterida");
        EXPECT_EQ(answer["regras"][1]["motivo"], c.motivo);
    }
}

// The book reads the assortment, the base prices and the rules apart and matches them by
// code: rules far apart, a product without a base price and rules of a product the branch
// no longer sells must each end up where the single price puts them.
TEST_P(Pricing, ThePriceBookMatchesEveryProductToItsOwnRules) {
    Rule spread;
    spread.products = {"0000000002", "0000000003", "0000000150", "0000000200"};
    spread.amount = 1.25;
    Rule afternoon;
    afternoon.products = {"0000000150"};
    afternoon.days = {wire::DayBox::Tuesday};
    afternoon.from = "1100";
    afternoon.to = "1300";
    afternoon.amount = 2;
    store(spread);
    store(afternoon);
    db_->exec("DELETE FROM ITEMPREC WHERE CDPRODUTO = '0000000002'");
    db_->exec("DELETE FROM PRODFILI WHERE CDFILIAL = '0001' AND CDPRODUTO = '0000000003'");
    const json book = call("GetPrecosVigentes",
                           json::array({"0001", "001", "", {{"$date", "2026-03-10"}}, "12:00"}));
    const json& rows = book["$packet"]["rows"];
    ASSERT_EQ(rows.size(), 199u);
    int applied = 0;
    for (const json& row : rows) {
        const std::string code = row[0];
        ASSERT_NE(code, "0000000003");
        const json single = priceAt(code, "", "2026-03-10", "12:00");
        EXPECT_EQ(row[3], single["base"]) << code;
        EXPECT_EQ(row[4], single["preco"]) << code;
        EXPECT_EQ(row[13], single["aplicada"].is_null() ? json() : single["aplicada"]["VRPRECDIF"])
            << code;
        applied += row[13].is_null() ? 0 : 1;
    }
    EXPECT_EQ(applied, 3);  // 2 (no base price, still its rule), 150 (the Tuesday one), 200
    EXPECT_EQ(rows[1][0], "0000000002");
    EXPECT_TRUE(rows[1][3].is_null());
    EXPECT_DOUBLE_EQ(rows[148][13].get<double>(), 2);  // product 150: the narrower window
}

TEST_P(Pricing, ThePriceBookAndTheCommandLineAgreeWithTheSinglePrice) {
    Rule half;
    half.products = {"0000000001", "0000000002", "0000000003"};
    half.percentage = true;
    half.amount = 50;
    Rule huge;
    huge.products = {"0000000004"};
    huge.amount = 500;  // more than the price: the price is 0.00
    store(half);
    store(huge);
    const json book = call("GetPrecosVigentes",
                           json::array({"0001", "001", "", {{"$date", "2026-03-10"}}, "12:00"}));
    const json& rows = book["$packet"]["rows"];
    ASSERT_EQ(rows.size(), 200u);
    // The server writes the book's answer line as text: the line of its JSON form, byte for
    // byte.
    server::Dispatcher dispatcher(*service_);
    EXPECT_EQ(dispatcher.handle(wire::encodeRequest(
                  7, "Vnd42400.rdmTabePreco.GetPrecosVigentes",
                  json::array({"0001", "001", "", {{"$date", "2026-03-10"}}, "12:00"}))),
              wire::encodeResult(7, book));
    for (std::size_t i = 0; i < 6; ++i) {
        const std::string code = rows[i][0];
        const json single = priceAt(code, "", "2026-03-10", "12:00");
        EXPECT_EQ(rows[i][4], single["preco"]) << code;
        EXPECT_EQ(rows[i][13], single["aplicada"].is_null() ? json() : single["aplicada"]["VRPRECDIF"]);
    }
    EXPECT_DOUBLE_EQ(rows[0][4].get<double>(), 16.59);  // 33.18 / 2
    EXPECT_DOUBLE_EQ(rows[3][4].get<double>(), 0.0);
    EXPECT_TRUE(priceAt("0000000004", "", "2026-03-10", "12:00")["abaixo_de_zero"].get<bool>());

    std::ostringstream out, err;
    EXPECT_EQ(server::runCommand({"price", "--db", db_->url(), "--branch", "0001", "--table",
                                  "001", "--product", "0000000001", "--at", "2026-03-10 12:00"},
                                 out, err),
              0)
        << err.str();
    EXPECT_NE(out.str().find("Preço vigente: R$ 16,59"), std::string::npos) << out.str();
    std::ostringstream csv;
    EXPECT_EQ(server::runCommand({"prices", "--db", db_->url(), "--branch", "0001", "--table",
                                  "001", "--at", "2026-03-10 12:00", "--csv"},
                                 csv, err),
              0)
        << err.str();
    EXPECT_NE(csv.str().find("0000000001;0101001;ARROZ BRANCO TIPO 1 5KG;33,18;16,59;T;T;0001;"),
              std::string::npos)
        << csv.str().substr(0, 400);
}

TEST_P(Pricing, TheDryRunForetellsTheStoreAndStoresNothing) {
    Rule atacado;
    atacado.products = {"0000000001", "0000000002"};
    atacado.days = {wire::DayBox::Monday};
    atacado.type = "02";
    store(atacado);
    Rule holiday;
    holiday.products = {"0000000001", "0000000002", "0000000003"};
    holiday.days = {wire::DayBox::Holiday, wire::DayBox::Monday};
    const json sim = call("SimPrecDif", holiday.params());
    const json again = call("SimPrecDif", holiday.params());
    EXPECT_EQ(sim, again);  // nothing was stored by the first
    EXPECT_EQ(sim["products"], 3);
    EXPECT_EQ(sim["competing"], 4);  // F and Monday rows of products 1 and 2 meet Atacado's
    ASSERT_EQ(sim["sample"].size(), 4u);
    EXPECT_EQ(sim["sample"][0]["vence"], "existente");
    EXPECT_EQ(sim["sample"][0]["motivo"], "tipo de consumidor específico");
    const json stored = store(holiday);
    EXPECT_EQ(sim["stored"], stored["stored"]);
    EXPECT_EQ(sim["replaced"], stored["replaced"]);
    const json replay = call("SimPrecDif", holiday.params());
    const json replayStored = store(holiday);
    EXPECT_EQ(replay["replaced"], 6);
    EXPECT_EQ(replay["stored"], replayStored["stored"]);
    EXPECT_EQ(replay["replaced"], replayStored["replaced"]);
}

TEST_P(Pricing, RemovalIsAllOrNothingAndEveryChangeIsInTheHistory) {
    Rule rule;
    rule.products = {"0000000001", "0000000002"};
    store(rule);
    rule.amount = 3;
    store(rule);  // replaces both rows
    const json listed = call("GetPrecDif", json::array({"0001", "001", nullptr, "", "", "", "", nullptr, 0, 10}));
    ASSERT_EQ(listed["total"], 2);
    // The removal takes the ten key columns of the listed rows.
    json keys = listed["rows"];
    auto keepKey = [](json& array) { array.erase(array.begin() + 10, array.end()); };
    keepKey(keys["$packet"]["fields"]);
    for (json& row : keys["$packet"]["rows"]) {
        keepKey(row);
    }
    // A key that is not stored refuses the whole removal.
    json missing = keys;
    missing["$packet"]["rows"][1][4] = "5";  // another day
    EXPECT_EQ(errorCode("DelPrecDif", json::array({"0001", "001", missing})), wire::rpc::kRefused);
    EXPECT_EQ(call("GetPrecDif", json::array({"0001", "001", nullptr, "", "", "", "", nullptr, 0, 10}))["total"], 2);

    EXPECT_EQ(call("DelPrecDif", json::array({"0001", "001", keys}))["removed"], 2);
    EXPECT_EQ(call("GetPrecDif", json::array({"0001", "001", nullptr, "", "", "", "", nullptr, 0, 10}))["total"], 0);
    // Removed by another first: refused, nothing changes.
    EXPECT_EQ(errorCode("DelPrecDif", json::array({"0001", "001", keys})), wire::rpc::kRefused);

    const json history = call("GetPrecDifHist", json::array({"0001", "001", "0000000001", 0, 10}));
    EXPECT_EQ(history["total"], 2);
    const json& rows = history["rows"]["$packet"]["rows"];
    ASSERT_EQ(rows.size(), 2u);
    // Newest first: the removal, then the replacement with the old and new amounts.
    EXPECT_EQ(rows[0][10], "E");
    EXPECT_DOUBLE_EQ(rows[0][16].get<double>(), 3.0);
    EXPECT_TRUE(rows[0][21].is_null());
    EXPECT_EQ(rows[1][10], "S");
    EXPECT_DOUBLE_EQ(rows[1][16].get<double>(), 1.0);
    EXPECT_DOUBLE_EQ(rows[1][21].get<double>(), 3.0);
    for (const json& row : rows) {
        EXPECT_EQ(row[12], "maria");
        EXPECT_EQ(row[13], "caixa-3");
    }
}

// The book's rows reuse the dates of the rows before them: a stored text that is not a
// date fails the book even right after rows whose dates were read.
TEST_P(Pricing, ThePriceBookRefusesAStoredDateThatIsNone) {
    if (GetParam() != Backend::Sqlite) {
        GTEST_SKIP() << "a DATE column of PostgreSQL holds only dates";
    }
    Rule rule;
    rule.products = {"0000000001", "0000000002"};
    rule.validTo = {2026, 2, 28};
    store(rule);
    const json params = json::array({"0001", "001", "", {{"$date", "2026-02-10"}}, "12:00"});
    for (const char* text : {"2026-02-30", "2026-2-28", "2026-02-2x"}) {
        db_->exec(std::string("UPDATE PRECDIF SET DTFINVALID = '") + text +
                  "' WHERE CDPRODUTO = '0000000002'");
        try {
            call("GetPrecosVigentes", params);
            ADD_FAILURE() << text << " was read as a date";
        } catch (const std::exception& e) {
            EXPECT_NE(std::string(e.what()).find(text), std::string::npos) << e.what();
        }
    }
}

// The first store of a connection is the one that readies its history; when the database
// rolls that store back, the stores after it are still recorded.
TEST_P(Pricing, AStoreRolledBackFirstLeavesTheHistoryRecording) {
    if (GetParam() == Backend::Sqlite) {
        db_->exec(
            "CREATE TRIGGER BOOM BEFORE INSERT ON PRECDIF WHEN NEW.CDPRODUTO = '0000000002'"
            " BEGIN SELECT RAISE(ABORT, 'falha provocada'); END");
    } else {
        db_->exec(
            "CREATE FUNCTION BOOM() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN"
            " RAISE EXCEPTION 'falha provocada'; END $$;"
            "CREATE TRIGGER BOOM BEFORE INSERT ON PRECDIF FOR EACH ROW"
            " WHEN (NEW.CDPRODUTO = '0000000002') EXECUTE FUNCTION BOOM()");
    }
    Rule rule;
    rule.products = {"0000000001", "0000000002"};
    EXPECT_EQ(errorCode("SetPrecDif", rule.params()), wire::rpc::kInternalError);
    db_->exec(GetParam() == Backend::Sqlite ? "DROP TRIGGER BOOM" : "DROP TRIGGER BOOM ON PRECDIF");

    store(rule);
    rule.amount = 2;
    EXPECT_EQ(store(rule)["replaced"], 2);
    EXPECT_EQ(db_->query("SELECT COUNT(*) FROM PRECDIFHIST WHERE VRPRECDIF_ANT = 1"
                         " AND VRPRECDIF = 2")[0][0],
              "2");
}

TEST_P(Pricing, ListingsPageAndFilter) {
    Rule monday;
    monday.products = {"0000000001", "0000000002", "0000000003"};
    monday.days = {wire::DayBox::Monday, wire::DayBox::Friday};
    store(monday);
    auto list = [&](const char* first, const char* last, const char* day, long offset, long limit) {
        return call("GetPrecDif", json::array({"0001", "001", {{"$date", "2026-01-01"}}, first,
                                               last, "", day, {{"$date", "2026-05-05"}}, offset,
                                               limit}));
    };
    EXPECT_EQ(list("", "", "", 0, 4)["total"], 6);
    EXPECT_EQ(list("", "", "", 4, 4)["rows"]["$packet"]["rows"].size(), 2u);
    EXPECT_EQ(list("0000000002", "0000000002", "", 0, 10)["total"], 2);
    EXPECT_EQ(list("", "", "6", 0, 10)["total"], 3);
    const json first = list("", "", "", 0, 1)["rows"]["$packet"];
    EXPECT_EQ(first["rows"][0][15], "0101001");
    EXPECT_EQ(first["rows"][0][16], "ARROZ BRANCO TIPO 1 5KG");

    const json holidays = call("GetFeriado", json::array({"0001", 2026}));
    const json& rows = holidays["$packet"]["rows"];
    ASSERT_GE(rows.size(), 2u);
    EXPECT_EQ(rows[0][2], "Confraternização Universal");
    EXPECT_EQ(rows[1][0], "0001");
    EXPECT_EQ(rows[1][2], "Aniversário da Cidade");
}

// Without a period, the rules of every period come in one order, page after page, as the
// database sorts them: by product, then period, day and the rest of the key.
TEST_P(Pricing, ListingsOfEveryPeriodComeInOneOrder) {
    for (const int year : {2027, 2025, 2026}) {
        Rule rule;
        rule.period = wire::Date{year, 1, 1};
        rule.validFrom = wire::Date{year, 3, 1};
        rule.validTo = wire::Date{year, 3, 31};
        rule.products = {year == 2026 ? "0000000001" : "0000000002", "0000000003"};
        rule.days = {wire::DayBox::Monday, wire::DayBox::Saturday};
        store(rule);
    }
    for (const std::string first : {"", "0000000002"}) {
        const auto expected = db_->query(
            "SELECT CDPRODUTO, DTINIVGPREC, IDDIA FROM PRECDIF WHERE CDPRODUTO >= '" + first +
            "' ORDER BY CDPRODUTO, DTINIVGPREC, IDDIA");
        ASSERT_GE(expected.size(), 8u);
        for (const long limit : {1L, 3L, 5L, 100L}) {
            std::vector<std::vector<std::string>> listed;
            for (long offset = 0; offset < static_cast<long>(expected.size()); offset += limit) {
                const json page = call("GetPrecDif", json::array({"0001", "001", nullptr, first, "",
                                                                  "", "", nullptr, offset, limit}));
                EXPECT_EQ(page["total"], expected.size());
                for (const json& row : page["rows"]["$packet"]["rows"]) {
                    listed.push_back({row[3], row[2]["$date"], row[4]});
                }
            }
            EXPECT_EQ(listed, expected) << "from '" << first << "', pages of " << limit;
        }
    }
}

TEST_P(Pricing, HolidaysAreKeptFromTheCommandLineAndAnImportIsAllOrNothing) {
    auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin() + 1, {"--db", db_->url()});
        std::ostringstream out, err;
        const int status = server::runCommand(args, out, err);
        return std::make_pair(status, out.str() + err.str());
    };
    EXPECT_EQ(run({"holidays", "add", "--branch", "0002", "--date", "2026-03-19", "--name",
                   "São José"}).first, 0);
    // The new holiday makes the day before an eve.
    const json eve = call("GetPrecoVigente", json::array({"0002", "001", "0000000001", "",
                                                          {{"$date", "2026-03-18"}}, "10:00"}));
    EXPECT_EQ(eve["dia"]["vespera"], "São José");

    const auto file = std::filesystem::temp_directory_path() / ("feriados-" + std::to_string(::getpid()) + ".csv");
    {
        std::ofstream csv(file);
        csv << "\xEF\xBB\xBF" "0001;20/01/2026;São Sebastião\r\n0001;31/02/2026;Errado\r\n";
    }
    const auto refused = run({"holidays", "import", file.string()});
    EXPECT_EQ(refused.first, 1);
    EXPECT_NE(refused.second.find("linha 2"), std::string::npos) << refused.second;
    {
        std::ofstream csv(file);
        csv << "0001;20/01/2026;São Sebastião\nT;21/04/2026;Tiradentes\n";
    }
    EXPECT_EQ(run({"holidays", "import", file.string()}).first, 0);
    std::filesystem::remove(file);
    const auto listed = run({"holidays", "list", "--branch", "0001", "--year", "2026"});
    EXPECT_NE(listed.second.find("0001;20/01/2026;São Sebastião"), std::string::npos);
    EXPECT_NE(listed.second.find("T;21/04/2026;Tiradentes"), std::string::npos);
    EXPECT_EQ(run({"holidays", "remove", "--branch", "0001", "--date", "2026-01-20"}).first, 0);
    EXPECT_EQ(run({"holidays", "remove", "--branch", "0001", "--date", "2026-01-20"}).first, 1);
}

// The screens show the names as UTF-8: a file in another encoding is refused at its
// first such line, and a name is measured in characters, not bytes.
TEST_P(Pricing, HolidayImportTakesUtf8Only) {
    const auto file = std::filesystem::temp_directory_path() /
                      ("feriados-utf8-" + std::to_string(::getpid()) + ".csv");
    std::string sixty;
    for (int i = 0; i < 60; ++i) sixty += "ã";
    const struct {
        const char* name;
        std::string text;
        int status;
        std::string said;
    } cases[] = {
        {"latin1", "0001;19/01/2026;Um\n0001;20/01/2026;S\xe3o Sebasti\xe3o\n", 1,
         "linha 2: a linha não está em UTF-8"},
        {"one_holiday", "0001;22/01/2026;São Sebastião\n", 0, "1 feriado importado (1 novo)"},
        {"sixty_accented_characters", "0001;21/01/2026;" + sixty + "\n", 0,
         "1 feriado importado (1 novo)"},
    };
    for (const auto& c : cases) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << c.text;
        std::ostringstream out, err;
        EXPECT_EQ(server::runCommand({"holidays", "--db", db_->url(), "import", file.string()}, out,
                                     err),
                  c.status)
            << c.name << ": " << err.str();
        EXPECT_NE((out.str() + err.str()).find(c.said), std::string::npos)
            << c.name << ": " << out.str() << err.str();
    }
    std::filesystem::remove(file);
}

TEST_P(Pricing, BadArgumentsAreRefusedInPortuguese) {
    const json date = {{"$date", "2026-02-16"}};
    const struct {
        const char* method;
        json params;
    } cases[] = {
        {"GetPrecoVigente", json::array({"0001", "001", "0000000001", "", date, "25:00"})},
        {"GetPrecoVigente", json::array({"0009", "001", "0000000001", "", date, "10:00"})},
        {"GetPrecoVigente", json::array({"0001", "009", "0000000001", "", date, "10:00"})},
        {"GetPrecoVigente", json::array({"0001", "001", "0000009999", "", date, "10:00"})},
        {"GetPrecoVigente", json::array({"0001", "001", "0000000001", "09", date, "10:00"})},
        {"GetPrecoVigente", json::array({"0001", "001", "0000000001", "", "2026-02-16", "10:00"})},
        {"GetPrecDif", json::array({"0001", "001", nullptr, "", "", "", "", nullptr, 0, 0})},
        {"GetPrecDif", json::array({"0001", "001", nullptr, "", "", "", "", nullptr, -1, 10})},
        {"GetPrecDif", json::array({"0001", "001", nullptr, "", "", "", "X", nullptr, 0, 10})},
        {"GetPrecDif", json::array({"0001", "001", nullptr, "", "", "", "", nullptr, 0, 10001})},
        {"GetPrecDifHist", json::array({"0001", "001", "0000000001", 0, 0})},
        {"GetFeriado", json::array({"0001", 0})},
        {"GetPrecosVigentes", json::array({"0001", "001", "", date, "7:00"})},
    };
    const long before = service_->countRules();
    for (const auto& c : cases) {
        EXPECT_EQ(errorCode(c.method, c.params), wire::rpc::kInvalidParams) << c.params.dump();
    }
    EXPECT_EQ(service_->countRules(), before);
}

INSTANTIATE_TEST_SUITE_P(Backends, Pricing, testing::Values(Backend::Sqlite, Backend::Postgres),
                         [](const testing::TestParamInfo<Backend>& p) { return testdb::name(p.param); });

}  // namespace
