// Storage behaviour through the remote methods, on both backends: upsert, atomicity, the
// reading methods' packets and the schema; one state of the database per call, a store's
// checks in its own transaction, lookups by key, abandoned statements, numbers as stored.

#include <chrono>
#include <functional>
#include <future>
#include <regex>
#include <thread>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "ForwardingStore.h"
#include "RuleArguments.h"
#include "TestDatabase.h"
#include "protocol/DatePattern.h"
#include "protocol/JsonRpc.h"
#include "protocol/ValueCodec.h"
#include "server/service/PriceExplanation.h"
#include "server/service/PriceService.h"
#include "server/rpc/StoreCallError.h"
#include "server/cli/DatabaseInit.h"
#include "server/net/Server.h"
#include "server/store/StoreFactory.h"

namespace {

using nlohmann::json;
using testdb::arg;
using testdb::Backend;
using namespace testdb;  // the argument positions

class Storage : public testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        if (auto why = testdb::unavailable(GetParam())) {
            GTEST_SKIP() << *why;
        }
        db_ = std::make_unique<testdb::TestDatabase>(GetParam());
        server::initDatabase(db_->url(), true, 200);
        service_ = std::make_unique<server::PriceService>(server::openStore(db_->url()));
    }

    json store(const json& rule) { return service_->call("SetPrecDif", rule); }
    std::vector<server::RuleRow> rows() { return server::openStore(db_->url())->rules({}, {}); }
    wire::DataPacket packet(const std::string& method, const json& params) {
        return wire::packetFromJson(service_->call(method, params));
    }

    std::unique_ptr<testdb::TestDatabase> db_;
    std::unique_ptr<server::PriceService> service_;
};

json with_consumer(json rule, const char* type) {
    arg(rule, kConsumerType) = type;
    return rule;
}

std::string resultOf(const json& result) {
    return std::to_string(result["stored"].get<long>()) + "/" +
           std::to_string(result["replaced"].get<long>());
}

TEST_P(Storage, SameKeyIsReplacedAndOtherRowsAreKept) {
    EXPECT_EQ(resultOf(store(baseRule())), "200/0");

    // The same rule again with another amount replaces every row.
    json again = baseRule();
    arg(again, kAmount) = 2.25;
    arg(again, kSurcharge) = 1;
    EXPECT_EQ(resultOf(store(again)), "200/200");
    EXPECT_EQ(service_->countRules(), 200);

    // Another day, another validity or another consumer type is another key.
    json tuesday = baseRule();
    arg(tuesday, kMonday) = false;
    arg(tuesday, kTuesday) = true;
    EXPECT_EQ(resultOf(store(tuesday)), "200/0");
    json march = baseRule();
    arg(march, kValidFrom) = date("2026-03-01");
    arg(march, kValidTo) = date("2026-03-31");
    EXPECT_EQ(resultOf(store(march)), "200/0");
    EXPECT_EQ(resultOf(store(with_consumer(baseRule(), "01"))), "200/0");
    EXPECT_EQ(service_->countRules(), 800);

    // A list over two products replaces only their Monday rows.
    json two = listRule({"0000000001", "0000000002"});
    arg(two, kAmount) = 9.5;
    EXPECT_EQ(resultOf(store(two)), "2/2");
    EXPECT_EQ(service_->countRules(), 800);

    int nine = 0, twoTwentyFive = 0;
    for (const server::RuleRow& r : rows()) {
        if (r.day == '2' && r.consumerType == "T" && r.validFrom == wire::Date{2026, 2, 1}) {
            nine += r.amount == 9.5 ? 1 : 0;
            twoTwentyFive += r.amount == 2.25 && r.adjustment == server::Adjustment::Surcharge ? 1 : 0;
        }
    }
    EXPECT_EQ(nine, 2);
    EXPECT_EQ(twoTwentyFive, 198);
}

TEST_P(Storage, RowsCarryEveryColumnOfTheRule) {
    json rule = rangeRule("0101001", "0101001");
    arg(rule, kMonday) = false;
    arg(rule, kHolidayEve) = true;
    arg(rule, kPercentage) = 1;
    arg(rule, kAmount) = 12.75;
    arg(rule, kTimeStart) = "0830";
    arg(rule, kTimeEnd) = "1745";
    arg(rule, kConsumerType) = "02";
    arg(rule, kDisplay) = 0;
    store(rule);
    const auto stored = rows();
    ASSERT_EQ(stored.size(), 1u);
    const server::RuleRow& r = stored[0];
    EXPECT_EQ(r.branch, "0001");
    EXPECT_EQ(r.table, "001");
    EXPECT_EQ(r.periodStart, (wire::Date{2026, 1, 1}));
    EXPECT_EQ(r.product, "0000000001");
    EXPECT_EQ(r.day, 'V');
    EXPECT_EQ(r.consumerType, "02");
    EXPECT_EQ(r.timeStart, "0830");
    EXPECT_EQ(r.timeEnd, "1745");
    EXPECT_EQ(r.validFrom, (wire::Date{2026, 2, 1}));
    EXPECT_EQ(r.validTo, (wire::Date{2026, 2, 28}));
    EXPECT_EQ(r.adjustment, server::Adjustment::Discount);
    EXPECT_EQ(r.amountKind, server::AmountKind::Percentage);
    EXPECT_DOUBLE_EQ(r.amount, 12.75);
    EXPECT_EQ(r.display, server::Display::Shown);
    EXPECT_EQ(r.updatedAt.size(), 19u) << r.updatedAt;  // YYYY-MM-DD HH:MM:SS
}

TEST_P(Storage, AFailurePartWayStoresNothing) {
    // The database itself refuses one product in the middle of the rule.
    if (GetParam() == Backend::Sqlite) {
        db_->exec("CREATE TRIGGER BOOM BEFORE INSERT ON PRECDIF WHEN NEW.CDPRODUTO = '0000000150'"
                  " BEGIN SELECT RAISE(ABORT, 'falha provocada'); END");
    } else {
        db_->exec("CREATE FUNCTION BOOM() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN"
                  " IF NEW.CDPRODUTO = '0000000150' THEN RAISE EXCEPTION 'falha provocada';"
                  " END IF; RETURN NEW; END $$;"
                  "CREATE TRIGGER BOOM BEFORE INSERT ON PRECDIF FOR EACH ROW"
                  " EXECUTE FUNCTION BOOM()");
    }
    EXPECT_EQ(resultOf(store(rangeRule("0101001", "0101010"))), "10/0");
    json all = baseRule();
    arg(all, kAmount) = 7.0;
    try {
        store(all);
        FAIL() << "stored";
    } catch (const server::StoreCallError& e) {
        // The screen is told what failed; the database's own words are for the log.
        EXPECT_EQ(e.code(), wire::rpc::kInternalError);
        EXPECT_EQ(std::string(e.what()),
                  "Não foi possível gravar a regra: o banco de dados recusou a operação.");
        EXPECT_NE(e.detail().find("falha provocada"), std::string::npos) << e.detail();
    }
    EXPECT_EQ(service_->countRules(), 10);
    for (const server::RuleRow& r : rows()) {
        EXPECT_DOUBLE_EQ(r.amount, 1.5) << r.product;
    }
    // The store is usable after the failed transaction.
    EXPECT_EQ(resultOf(store(rangeRule("0102011", "0102020"))), "10/0");
}

TEST_P(Storage, ReadingMethodsAnswerPacketsInCodeOrder) {
    const auto all = packet("GetFilial", json::array({"", "T"}));
    ASSERT_EQ(all.fields.size(), 8u);
    EXPECT_EQ(all.fields[0], (wire::FieldDesc{"CDFILIAL", "string", 4}));
    EXPECT_EQ(all.fields[7].name, "IDUTMODPRODFIL");
    ASSERT_EQ(all.rows.size(), 3u);
    EXPECT_EQ(all.rows[2][1], "Depósito Sul");

    const auto one = packet("GetFilial", json::array({"0002", ""}));
    ASSERT_EQ(one.rows.size(), 1u);
    EXPECT_EQ(one.rows[0][1], "Loja Norte");
    EXPECT_TRUE(packet("GetFilial", json::array({"0009", ""})).rows.empty());

    const auto tables = packet("GetTabePrec", json::array({"0001"}));
    ASSERT_EQ(tables.rows.size(), 2u);
    EXPECT_EQ(tables.rows[1], (wire::Row{"0001", "002", "Atacado"}));
    EXPECT_TRUE(packet("GetTabePrec", json::array({"0003"})).rows.empty());
}

TEST_P(Storage, PeriodDatesReadBackAsStoredInTheCallersPattern) {
    for (const char* text : {"dd/mm/yyyy", "mm/dd/yyyy", "yyyy-mm-dd", "d.m.yyyy"}) {
        const wire::DatePattern pattern(text);
        const auto periods =
            packet("getVigencia", json::array({"0001", "001", 0, "T", text}));
        ASSERT_EQ(periods.rows.size(), 3u) << text;
        EXPECT_EQ(pattern.parse(*periods.rows[2][0]), (wire::Date{2027, 1, 1})) << text;
        EXPECT_EQ(pattern.parse(*periods.rows[2][1]), (wire::Date{2027, 6, 30})) << text;
    }
    const auto one = packet("getVigencia",
                            json::array({"0001", "002", date("2026-01-01"), "", "dd/mm/yyyy"}));
    ASSERT_EQ(one.rows.size(), 1u);
    EXPECT_EQ(one.rows[0], (wire::Row{"01/01/2026", "31/12/2026"}));
    EXPECT_TRUE(packet("getVigencia",
                       json::array({"0001", "001", date("2026-01-02"), "", "dd/mm/yyyy"}))
                    .rows.empty());
    // An integer start date is a day number of the OLE scale: 46023 is 2026-01-01.
    EXPECT_EQ(packet("getVigencia", json::array({"0001", "001", 46023, "", "dd/mm/yyyy"}))
                  .rows.size(),
              1u);
    EXPECT_TRUE(packet("getVigencia", json::array({"0001", "001", 0, "", "dd/mm/yyyy"}))
                    .rows.empty());
}

// A listed rule is checked against the listed codes only: those the branch sells come
// back once each, in code order; others (unsold, unknown, odd text) do not.
TEST_P(Storage, ListedCodesAreLookedUpInTheAssortment) {
    auto store = server::openStore(db_->url());
    auto code = [](int n) {
        std::string text = std::to_string(n);
        return std::string(10 - text.size(), '0') + text;
    };
    struct Case {
        const char* name;
        std::string branch;
        std::vector<std::string> codes;
        std::vector<std::string> sold;
    };
    // Branch 0002 sells the first half of the 200 demo products.
    const std::vector<Case> cases{
        {"sold_unsold_and_repeated",
         "0002",
         {code(150), code(1), code(100), code(1), code(101)},
         {code(1), code(100)}},
        {"odd_text", "0002", {"x\"y", "'; DROP TABLE PRODUTO; --", "", code(2)}, {code(2)}},
        {"unknown_branch", "0009", {code(1)}, {}},
        {"empty_list", "0001", {}, {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> got;
        for (const server::ProductRef& p : store->branchProductsAmong(c.branch, c.codes)) {
            got.push_back(p.code);
        }
        EXPECT_EQ(got, c.sold) << c.name;
    }
    EXPECT_EQ(store->branchProducts("0002").size(), 100u);
}

// A demo set over stored rules goes in only when asked to replace the data; the rules of
// products it drops go with them, the others are kept.
TEST_P(Storage, InitIsRepeatableAndKeepsRules) {
    store(baseRule());
    server::initDatabase(db_->url(), false, 0);
    EXPECT_THROW(server::initDatabase(db_->url(), true, 20), std::runtime_error);
    EXPECT_EQ(service_->countRules(), 200);
    EXPECT_EQ(server::initDatabase(db_->url(), true, 20, server::ExistingData::Replace), 180);
    EXPECT_EQ(server::openStore(db_->url())->schemaVersion(), server::kSchemaVersion);
    EXPECT_EQ(service_->countRules(), 20);
    EXPECT_EQ(server::openStore(db_->url())->branchProducts("0001").size(), 20u);
    // The demo's base prices and holidays are replaced with the rest, not added to.
    const server::StoredCounts counts = server::openStore(db_->url())->storedCounts();
    EXPECT_EQ(counts.basePrices, (20 * 2 + 10) * 3);
    EXPECT_EQ(counts.holidays, 42);
}

// The demo's base prices and holidays read back from the database as the demo gives them.
TEST_P(Storage, DemoBasePricesAndHolidaysAreStored) {
    const server::StoredCounts counts = server::openStore(db_->url())->storedCounts();
    EXPECT_EQ(counts.basePrices, (200 * 2 + 100) * 3);
    EXPECT_EQ(counts.holidays, 42);
    using Rows = std::vector<std::vector<std::string>>;
    EXPECT_EQ(db_->query("SELECT CDTABEPREC, DTINIVGPREC, VRPRECO FROM ITEMPREC"
                         " WHERE CDFILIAL = '0001' AND CDPRODUTO = '0000000001'"
                         " ORDER BY CDTABEPREC, DTINIVGPREC"),
              (Rows{{"001", "2025-01-01", "31.52"},
                    {"001", "2026-01-01", "33.18"},
                    {"001", "2027-01-01", "34.51"},
                    {"002", "2025-01-01", "28.37"},
                    {"002", "2026-01-01", "29.86"},
                    {"002", "2027-01-01", "31.05"}}));
    EXPECT_EQ(db_->query("SELECT VRPRECO FROM ITEMPREC WHERE CDFILIAL = '0002'"
                         " AND CDTABEPREC = '001' AND DTINIVGPREC = '2026-01-01'"
                         " AND CDPRODUTO = '0000000002'"),
              (Rows{{"14.37"}}));
    EXPECT_EQ(db_->query("SELECT CDFILIAL, DTFERIADO, NMFERIADO FROM FERIADO"
                         " WHERE DTFERIADO BETWEEN '2026-01-01' AND '2026-02-28'"
                         " ORDER BY DTFERIADO"),
              (Rows{{"T", "2026-01-01", "Confraternização Universal"},
                    {"0001", "2026-01-25", "Aniversário da Cidade"},
                    {"T", "2026-02-16", "Carnaval"},
                    {"T", "2026-02-17", "Carnaval"}}));
}

TEST_P(Storage, ADatabaseOfANewerBuildIsRefused) {
    db_->exec("UPDATE SCHEMAVERSION SET VERSION = 99");
    EXPECT_THROW(server::initDatabase(db_->url(), false, 0), std::runtime_error);
    server::Server srv(db_->url(), "127.0.0.1:0");
    EXPECT_THROW(srv.start(), std::runtime_error);
}

// The compact form of a rule (products x days) and a list of rows are two ways into the
// same upsert: both count new and replaced rows alike, row by row.
TEST_P(Storage, CompactAndListedRowsCountNewAndReplacedRowsAlike) {
    auto store = server::openStore(db_->url());
    server::RuleRows rule;
    rule.shared.branch = "0001";
    rule.shared.table = "001";
    rule.shared.periodStart = wire::Date{2026, 1, 1};
    rule.shared.consumerType = "T";
    rule.shared.timeStart = "0001";
    rule.shared.timeEnd = "2359";
    rule.shared.validFrom = wire::Date{2026, 2, 1};
    rule.shared.validTo = wire::Date{2026, 2, 28};
    rule.shared.amount = 1.5;
    rule.products = {"0000000001", "0000000002", "0000000003"};
    rule.days = {'2', 'F'};

    auto counts = [](server::UpsertCounts c) { return std::to_string(c.stored) + "/" +
                                                      std::to_string(c.replaced); };
    EXPECT_EQ(counts(store->upsertRule(rule)), "6/0");
    rule.shared.amount = 2.5;
    EXPECT_EQ(counts(store->upsertRule(rule)), "6/6");

    // Two rows of the rule (one product on both days) again, and one of another validity.
    std::vector<server::RuleRow> listed;
    rule.forEach([&](const server::RuleRow& r) {
        if (r.product == "0000000002") listed.push_back(r);
    });
    listed.back().validTo = wire::Date{2026, 2, 27};
    listed.front().amount = 9.0;
    EXPECT_EQ(counts(store->upsertRules(listed)), "2/1");
    EXPECT_EQ(store->countRules(), 7);

    int nine = 0, twoAndAHalf = 0;
    for (const server::RuleRow& r : rows()) {
        nine += r.amount == 9.0 ? 1 : 0;
        twoAndAHalf += r.amount == 2.5 ? 1 : 0;
    }
    EXPECT_EQ(nine, 1);
    EXPECT_EQ(twoAndAHalf, 6);  // five of the rule, one of the other validity
}

// A read of the stored rules that its caller ends half-way (by throwing) leaves the
// store as usable as a read that ran to its end: no transaction or cursor left open.
TEST_P(Storage, ARuleReadEndedByItsCallerLeavesTheStoreUsable) {
    store(baseRule());
    store(with_consumer(baseRule(), "01"));
    auto rules = server::openStore(db_->url());
    struct Stop {};
    for (int round = 0; round < 2; ++round) {
        int seen = 0;
        EXPECT_THROW(rules->forEachRule({}, {},
                                        [&](const server::RuleRow&) {
                                            if (++seen == 3) {
                                                throw Stop{};
                                            }
                                        }),
                     Stop);
        EXPECT_EQ(seen, 3);
    }
    std::string previous;
    long count = 0;
    rules->forEachRule(std::string("0001"), std::string("001"), [&](const server::RuleRow& r) {
        const std::string key = r.product + r.consumerType;
        EXPECT_LT(previous, key);  // key order: product before consumer type
        previous = key;
        ++count;
    });
    EXPECT_EQ(count, 400);
    EXPECT_TRUE(rules->rules(std::string("0002"), {}).empty());
    EXPECT_EQ(rules->upsertRule(server::RuleRows{rules->rules({}, {}).front(),
                                                 {"0000000001"}, {'3'}})
                  .stored,
              1);
}

// The statements of one reading call see one state of the database, whatever another
// server commits between them: a total and its page, a price's seven lookups and the
// price book's three reads agree.
TEST_P(Storage, AReadingCallSeesOneStateOfTheDatabase) {
    auto reader = server::openStore(db_->url());
    auto writer = server::openStore(db_->url());
    server::RuleRows rule{server::RuleRow{}, {"0000000001"}, {'2'}};
    rule.shared.branch = "0001";
    rule.shared.table = "001";
    rule.shared.periodStart = wire::Date{2026, 1, 1};
    rule.shared.consumerType = "T";
    rule.shared.timeStart = "0000";
    rule.shared.timeEnd = "2359";
    rule.shared.validTo = wire::Date{2026, 1, 31};
    int day = 0;
    for (const server::SqlRows rows : {server::SqlRows::Few, server::SqlRows::Many}) {
        long first = -1, second = -1;
        auto count = [&](long& into) {
            reader->query("SELECT COUNT(*) FROM PRECDIF", {},
                          [&](const server::SqlRow& r) { into = static_cast<long>(r.integer(0)); },
                          rows);
        };
        reader->readTogether([&] {
            count(first);
            rule.shared.validFrom = wire::Date{2026, 1, ++day};
            writer->upsertRule(rule);  // another server's store, between the two reads
            count(second);
        });
        EXPECT_EQ(second, first) << (rows == server::SqlRows::Few ? "few" : "many");
    }
    EXPECT_EQ(reader->countRules(), 2);  // the next call sees both stores
}

// A store's checks and its rows are one transaction: reference data replaced meanwhile
// (init on another process) waits for it and then removes what it no longer backs, or
// comes first and the store is refused; a rule of a product no longer sold is never left.
TEST_P(Storage, ReferenceDataReplacedDuringAStoreLeavesNoRuleUnbacked) {
    // Between the checks and the rows, init replaces the 200 demo products by 20.
    class ReplacedBeforeTheRows : public testdb::ForwardingStore {
    public:
        ReplacedBeforeTheRows(std::unique_ptr<server::RuleStore> inner, std::string url)
            : ForwardingStore(std::move(inner)), url_(std::move(url)) {}
        server::UpsertCounts upsertRule(const server::RuleRows& rows) override {
            replaced_ = std::async(std::launch::async, [this] {
                server::initDatabase(url_, true, 20, server::ExistingData::Replace);
            });
            replaced_.wait_for(std::chrono::milliseconds(500));
            return ForwardingStore::upsertRule(rows);
        }
        std::future<void> replaced_;

    private:
        std::string url_;
    };
    auto watched = std::make_unique<ReplacedBeforeTheRows>(server::openStore(db_->url()), db_->url());
    ReplacedBeforeTheRows& store = *watched;
    server::PriceService service(std::move(watched));
    try {
        service.call("SetPrecDif", testdb::listRule({"0000000150"}));
    } catch (const wire::RpcError&) {
        // refused: the product was already gone when the store began
    }
    store.replaced_.get();
    EXPECT_EQ(db_->query("SELECT COUNT(*) FROM PRECDIF WHERE NOT EXISTS (SELECT 1 FROM PRODFILI S"
                         " WHERE S.CDFILIAL = PRECDIF.CDFILIAL AND S.CDPRODUTO = PRECDIF.CDPRODUTO)"),
              (std::vector<std::vector<std::string>>{{"0"}}));
}

INSTANTIATE_TEST_SUITE_P(Backends, Storage, testing::Values(Backend::Sqlite, Backend::Postgres),
                         [](const testing::TestParamInfo<Backend>& p) {
                             return std::string(testdb::name(p.param));
                         });

// A lookup that stops at its first row, or reads them all, leaves no read open behind it
// on its connection: otherwise other connections would go on seeing the write-ahead log
// grow, as SQLite could not bring it back into the database file.
TEST(SqliteStore, LookupsLeaveNoReadOpen) {
    testdb::TestDatabase db(Backend::Sqlite);
    server::initDatabase(db.url(), true, 20);
    auto store = server::openStore(db.url());
    const std::vector<std::pair<const char*, std::function<bool()>>> lookups{
        {"consumer type", [&] { return store->consumerTypeExists("01"); }},
        {"branch", [&] { return store->branches(std::string("0001")).size() == 1; }},
        {"price tables", [&] { return !store->priceTables("0001").empty(); }},
        {"products", [&] { return !store->branchProducts("0001").empty(); }},
    };
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(db.url().substr(std::string("sqlite:").size()).c_str(), &other),
              SQLITE_OK);
    for (const auto& [name, lookup] : lookups) {
        ASSERT_TRUE(lookup()) << name;
        ASSERT_TRUE(lookup()) << name << ", asked again";
        sqlite3_stmt* checkpoint = nullptr;
        ASSERT_EQ(
            sqlite3_prepare_v2(other, "PRAGMA wal_checkpoint(TRUNCATE)", -1, &checkpoint, nullptr),
            SQLITE_OK);
        ASSERT_EQ(sqlite3_step(checkpoint), SQLITE_ROW);
        EXPECT_EQ(sqlite3_column_int(checkpoint, 0), 0) << name << " holds a read open";
        sqlite3_finalize(checkpoint);
    }
    sqlite3_close(other);
}

// A value its column may not hold (SQLite keeps what it is given) is refused when read,
// never taken for 0: a discount read where a surcharge was meant is a wrong price.
TEST(SqliteStore, AStoredValueItsColumnMayNotHoldIsRefused) {
    testdb::TestDatabase db(Backend::Sqlite);
    server::initDatabase(db.url(), true, 20);
    server::PriceService(server::openStore(db.url())).call("SetPrecDif", testdb::baseRule());
    for (const char* corrupt : {"IDDESCACRE = 'x'", "IDVALPERC = '1.5'", "IDVISUALIZA = 2",
                                "VRPRECDIF = 'abc'", "VRPRECDIF = '2,5'"}) {
        db.exec("UPDATE PRECDIF SET " + std::string(corrupt) +
                " WHERE CDPRODUTO = '0000000007'");
        try {
            server::openStore(db.url())->rules({}, {});
            ADD_FAILURE() << corrupt << " was read";
        } catch (const server::StoreError& e) {
            EXPECT_NE(std::string(e.what()).find("Valor inválido"), std::string::npos) << e.what();
        }
        db.exec("UPDATE PRECDIF SET IDDESCACRE = 0, IDVALPERC = 0, IDVISUALIZA = 1,"
                " VRPRECDIF = 1.5");
    }
    EXPECT_EQ(server::openStore(db.url())->rules({}, {}).size(), 20u);
}

// The price of a moment reads every row it needs by its key: no statement of it reads
// a whole table (the holidays, the branches), however many rows they hold.
TEST(SqliteStore, APriceReadsTheMomentsRowsByTheirKeys) {
    testdb::TestDatabase db(Backend::Sqlite);
    server::initDatabase(db.url(), true, 20);
    class Recording : public testdb::ForwardingStore {
    public:
        using ForwardingStore::ForwardingStore;
        void query(std::string_view sql, const std::vector<server::SqlParam>& params,
                   const std::function<void(const server::SqlRow&)>& fn,
                   server::SqlRows rows) override {
            statements.emplace_back(sql);
            ForwardingStore::query(sql, params, fn, rows);
        }
        std::vector<std::string> statements;
    };
    Recording store(server::openStore(db.url()));
    const auto at = server::priceMoment(store, "0001", "001", "01", wire::Date{2026, 1, 24}, "10:00");
    server::explainPrice(store, at, "0000000001");
    ASSERT_GE(store.statements.size(), 6u);
    for (const std::string& sql : store.statements) {
        store.inner().query("EXPLAIN QUERY PLAN " + sql, {}, [&](const server::SqlRow& r) {
            const std::string step(r.text(3));
            EXPECT_FALSE(std::regex_search(step, std::regex("^SCAN")))
                << step << "\n  in " << sql;
        });
    }
}

// A statement the server gives up on (the call's deadline, the shutdown) is cancelled on
// the database too, instead of running on until the database's own bound.
TEST(PostgresStore, AnAbandonedStatementIsCancelledOnTheDatabase) {
    if (auto why = testdb::postgresUnavailable()) {
        GTEST_SKIP() << *why;
    }
    testdb::TestDatabase db(Backend::Postgres);
    struct Case {
        const char* name;
        server::StoreFailure failure;
    };
    for (const Case& c : {Case{"deadline", server::StoreFailure::Timeout},
                          Case{"shutdown", server::StoreFailure::Interrupted}}) {
        auto store = server::openStore(db.url());
        std::thread stopper;
        if (c.failure == server::StoreFailure::Timeout) {
            store->setDeadline(std::chrono::steady_clock::now() + std::chrono::milliseconds(300));
        } else {
            stopper = std::thread([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                store->interrupt();
            });
        }
        const std::string probe = std::string("abandoned-") + c.name;
        try {
            store->query("SELECT pg_sleep(60), '" + probe + "'", {}, [](const server::SqlRow&) {});
            ADD_FAILURE() << c.name << ": the statement ran to its end";
        } catch (const server::StoreError& e) {
            EXPECT_EQ(e.kind(), c.failure) << c.name << ": " << e.what();
        }
        if (stopper.joinable()) {
            stopper.join();
        }
        auto running = [&] {
            return db.query("SELECT COUNT(*) FROM pg_stat_activity WHERE state = 'active'"
                            " AND pid <> pg_backend_pid() AND query LIKE '%" + probe + "''%'")[0][0];
        };
        for (int i = 0; i < 50 && running() != "0"; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        EXPECT_EQ(running(), "0") << c.name << ": the statement still runs on the database";
    }
}

// A cell is read as a number only when its whole text is one; a cell that is null reads
// as 0.
TEST(SqlRow, ReadsNumbersOnlyFromTheirWholeText) {
    class Cell : public server::SqlRow {
    public:
        explicit Cell(const char* text) : text_(text) {}
        bool isNull(int) const override { return text_ == nullptr; }
        std::string_view text(int) const override { return text_ ? text_ : ""; }

    private:
        const char* text_;
    };
    struct Case {
        const char* text;
        std::optional<long long> integer;  // nullopt: refused
        std::optional<double> number;
    } const cases[] = {
        {"42", 42, 42.0},         {"-7", -7, -7.0},         {"1.5", std::nullopt, 1.5},
        {"1e3", std::nullopt, 1000.0}, {nullptr, 0, 0.0},   {"", std::nullopt, std::nullopt},
        {"abc", std::nullopt, std::nullopt}, {"12abc", std::nullopt, std::nullopt},
        {" 12", std::nullopt, std::nullopt}, {"99999999999999999999", std::nullopt, 1e20},
    };
    for (const Case& c : cases) {
        const Cell cell(c.text);
        const std::string name = c.text ? c.text : "null";
        if (c.integer) {
            EXPECT_EQ(cell.integer(0), *c.integer) << name;
        } else {
            EXPECT_THROW(cell.integer(0), server::StoreError) << name;
        }
        if (c.number) {
            EXPECT_EQ(cell.number(0), *c.number) << name;
        } else {
            EXPECT_THROW(cell.number(0), server::StoreError) << name;
        }
    }
}

}  // namespace
