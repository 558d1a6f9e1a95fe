// A database written by the build before the base prices, holidays and rule history
// (schema version 1) is brought to the current schema in place, every row kept: by the
// store, by `vnd-server init` and by the server's start, on both backends.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "TestDatabase.h"
#include "server/cli/Commands.h"
#include "server/store/StoreFactory.h"
#include "server/store/Schema.h"
#include "server/cli/DatabaseInit.h"
#include "server/net/Server.h"
#include "server/store/UpgradeDenied.h"

namespace {

using testdb::Backend;
using Rows = std::vector<std::vector<std::string>>;

// The tables of version 1, each with its rows in key order.
constexpr const char* kVersion1Tables[][2] = {
    {"FILIAL", "CDFILIAL"},
    {"TABEPREC", "CDFILIAL, CDTABEPREC"},
    {"TABEVEND", "CDFILIAL, CDTABEPREC, DTINIVGPREC"},
    {"PRODUTO", "CDPRODUTO"},
    {"PRODFILI", "CDFILIAL, CDPRODUTO"},
    {"TIPOCONS", "CDTIPOCONS"},
    {"PRECDIF", "CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, IDDIA, CDTIPOCONS, HRINI, HRFIN,"
                " DTINIVALID, DTFINVALID"},
};

const std::string kVersion1File = std::string(VND_TEST_DATA_DIR) + "/schema-v1.db";

// Every row of the kept file's table, as SQL literals ready for an INSERT.
std::vector<std::string> literalRowsOf(sqlite3* file, const std::string& table) {
    sqlite3_stmt* q = nullptr;
    sqlite3_prepare_v2(file, ("SELECT * FROM " + table).c_str(), -1, &q, nullptr);
    std::vector<std::string> out;
    while (sqlite3_step(q) == SQLITE_ROW) {
        std::string values;
        for (int c = 0; c < sqlite3_column_count(q); ++c) {
            values += c ? ", " : "";
            if (sqlite3_column_type(q, c) == SQLITE_NULL) {
                values += "NULL";
                continue;
            }
            std::string text = reinterpret_cast<const char*>(sqlite3_column_text(q, c));
            values += '\'';
            for (char ch : text) {
                values += ch == '\'' ? std::string("''") : std::string(1, ch);
            }
            values += '\'';
        }
        out.push_back(values);
    }
    sqlite3_finalize(q);
    return out;
}

// A database of version 1 holding the kept file's rows: the file itself for SQLite; for
// PostgreSQL the frozen version-1 tables, filled with the same rows.
std::unique_ptr<testdb::TestDatabase> version1Database(Backend backend) {
    auto db = std::make_unique<testdb::TestDatabase>(backend);
    if (backend == Backend::Sqlite) {
        std::filesystem::copy_file(kVersion1File, db->url().substr(std::string("sqlite:").size()));
        return db;
    }
    for (std::string_view sql : server::schema::version1()) {
        db->exec(std::string(sql));
    }
    db->exec("INSERT INTO SCHEMAVERSION (VERSION) VALUES (1)");
    sqlite3* file = nullptr;
    // Immutable: read without the -wal and -shm files a WAL database otherwise gets.
    sqlite3_open_v2(("file:" + kVersion1File + "?immutable=1").c_str(), &file,
                    SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
    for (const auto& [table, key] : kVersion1Tables) {
        for (const std::string& values : literalRowsOf(file, table)) {
            db->exec("INSERT INTO " + std::string(table) + " VALUES (" + values + ")");
        }
    }
    sqlite3_close(file);
    return db;
}

// Every row of every table of version 1.
std::map<std::string, Rows> version1Rows(testdb::TestDatabase& db) {
    std::map<std::string, Rows> out;
    for (const auto& [table, key] : kVersion1Tables) {
        out[table] = db.query("SELECT * FROM " + std::string(table) + " ORDER BY " + key);
    }
    return out;
}

int run(const std::vector<std::string>& args, std::string* out = nullptr) {
    std::ostringstream o, e;
    const int status = server::runCommand(args, o, e);
    if (out) {
        *out = o.str() + e.str();
    }
    return status;
}

class SchemaUpgrade : public testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        if (auto why = testdb::unavailable(GetParam())) {
            GTEST_SKIP() << *why;
        }
    }
};

// Each way in upgrades the same, keeps every row and leaves new tables that work.
TEST_P(SchemaUpgrade, EveryWayInUpgradesAndKeepsEveryRow) {
    const std::vector<std::pair<const char*, std::function<void(const std::string&)>>> ways = {
        {"store", [](const std::string& url) { server::openStore(url)->createSchema(); }},
        {"init",
         [](const std::string& url) {
             std::string said;
             ASSERT_EQ(run({"init", "--db", url}, &said), 0) << said;
             EXPECT_NE(said.find("esquema versão " + std::to_string(server::kSchemaVersion)),
                       std::string::npos)
                 << said;
         }},
        {"server start",
         [](const std::string& url) {
             server::Server srv(url, "127.0.0.1:0");
             srv.start();
             EXPECT_EQ(srv.countRules(), 14);
         }},
    };
    for (const auto& [name, upgrade] : ways) {
        SCOPED_TRACE(name);
        auto db = version1Database(GetParam());
        EXPECT_EQ(server::openStore(db->url())->schemaVersion(), 1);
        const auto before = version1Rows(*db);
        // The kept file: the demo set of 20 products and two rules of 14 rows in all.
        ASSERT_EQ(before.at("PRODUTO").size(), 20u);
        ASSERT_EQ(before.at("PRECDIF").size(), 14u);
        upgrade(db->url());
        auto store = server::openStore(db->url());
        EXPECT_EQ(store->schemaVersion(), server::kSchemaVersion);
        EXPECT_EQ(version1Rows(*db), before);
        const server::StoredCounts counts = store->storedCounts();
        EXPECT_EQ(counts.rules, 14);
        EXPECT_EQ(counts.basePrices + counts.holidays + counts.history, 0);
        // The old rows read through the store as they were written.
        const auto wholesale = store->rules(std::string("0001"), std::string("002"));
        ASSERT_EQ(wholesale.size(), 4u);
        EXPECT_EQ(wholesale[0].day, '7');  // key order: the Saturday row first
        EXPECT_EQ(wholesale[0].timeStart, "0830");
        EXPECT_EQ(wholesale[0].validTo, (wire::Date{2026, 3, 31}));
        EXPECT_EQ(wholesale[0].amountKind, server::AmountKind::Percentage);
        EXPECT_DOUBLE_EQ(wholesale[0].amount, 12.5);
        EXPECT_EQ(wholesale[0].updatedAt, "2026-12-09 22:17:30");

        // Once more changes nothing.
        store->createSchema();
        EXPECT_EQ(version1Rows(*db), before);
    }
}

TEST_P(SchemaUpgrade, TheNewTablesTakeTheirRowsAfterTheUpgrade) {
    auto db = version1Database(GetParam());
    const auto before = version1Rows(*db);
    ASSERT_EQ(run({"init", "--db", db->url()}), 0);
    // The demo's base prices and holidays go in over the old rules, none of which loses
    // its backing.
    EXPECT_EQ(server::initDatabase(db->url(), true, 20, server::ExistingData::Replace), 0);
    EXPECT_EQ(version1Rows(*db), before);
    db->exec("INSERT INTO PRECDIFHIST (" + std::string(server::schema::kHistoryColumns) +
             ") VALUES ('0001', '001', '2026-01-01', '0000000001', '2', 'T', '0000', '2359',"
             " '2026-02-01', '2026-02-28', 'E', '2026-12-09 10:00:00', 'ana', 'caixa-1',"
             " 0, 1, 12.5, 1, '2026-12-01 09:00:00', NULL, NULL, NULL, NULL)");
    const server::StoredCounts counts = server::openStore(db->url())->storedCounts();
    EXPECT_EQ(counts.basePrices, (20 * 2 + 10) * 3);
    EXPECT_EQ(counts.holidays, 42);
    EXPECT_EQ(counts.history, 1);
    EXPECT_EQ(db->query("SELECT NMUSUARIO, VRPRECDIF_ANT FROM PRECDIFHIST"),
              (Rows{{"ana", "12.5"}}));
}

// A command that only reads leaves an old database as it found it, and says how to
// upgrade it.
TEST_P(SchemaUpgrade, ReadingCommandsLeaveAnOldDatabaseAlone) {
    auto db = version1Database(GetParam());
    const std::vector<std::vector<std::string>> readers = {
        {"holidays", "list"},
        {"price", "--branch", "0001", "--table", "001", "--at", "2026-03-02 10:00", "--product",
         "0000000001"},
        {"prices", "--branch", "0001", "--table", "001", "--at", "2026-03-02 10:00"},
    };
    for (std::vector<std::string> args : readers) {
        args.insert(args.begin() + 1, {"--db", db->url()});
        std::string said;
        EXPECT_EQ(run(args, &said), 1) << args[0] << ": " << said;
        EXPECT_NE(said.find("vnd-server init --db"), std::string::npos) << said;
        EXPECT_EQ(server::openStore(db->url())->schemaVersion(), 1) << args[0];
    }
}

// An upgrade that fails part-way (here a view stands where the history table would go,
// so its index cannot be made) leaves the database of version 1 exactly as it was.
TEST_P(SchemaUpgrade, AFailedUpgradeLeavesTheDatabaseAsItWas) {
    auto db = version1Database(GetParam());
    db->exec("CREATE VIEW PRECDIFHIST AS SELECT * FROM PRECDIF");
    const auto before = version1Rows(*db);
    EXPECT_ANY_THROW(server::openStore(db->url())->createSchema());
    server::Server srv(db->url(), "127.0.0.1:0");
    EXPECT_ANY_THROW(srv.start());
    EXPECT_EQ(server::openStore(db->url())->schemaVersion(), 1);
    EXPECT_EQ(version1Rows(*db), before);
    EXPECT_THROW(db->query("SELECT COUNT(*) FROM ITEMPREC"), std::runtime_error);
}

// Servers started together over one old database: one upgrades, the others wait for it
// and find the work done; none fails.
TEST_P(SchemaUpgrade, UpgradesRunningAtOnceAllSucceed) {
    auto db = version1Database(GetParam());
    const auto before = version1Rows(*db);
    constexpr int kUpgrades = 4;
    std::vector<std::string> failures(kUpgrades);
    std::vector<std::unique_ptr<server::RuleStore>> stores;
    for (int i = 0; i < kUpgrades; ++i) {
        stores.push_back(server::openStore(db->url()));
    }
    std::vector<std::thread> threads;
    for (int i = 0; i < kUpgrades; ++i) {
        threads.emplace_back([&, i] {
            try {
                stores[static_cast<std::size_t>(i)]->createSchema();
            } catch (const std::exception& e) {
                failures[static_cast<std::size_t>(i)] = e.what();
            }
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    EXPECT_EQ(failures, std::vector<std::string>(kUpgrades));
    EXPECT_EQ(server::openStore(db->url())->schemaVersion(), server::kSchemaVersion);
    EXPECT_EQ(version1Rows(*db), before);
}

// A database of version 2 (base prices, holidays, history) gets the consumer types by
// branch from `init`, every row of it kept; the demo then fills them.
TEST_P(SchemaUpgrade, AVersion2DatabaseGetsTheConsumerTypesByBranch) {
    auto db = version1Database(GetParam());
    for (std::string_view sql : server::schema::version2()) {
        db->exec(std::string(sql));
    }
    db->exec("UPDATE SCHEMAVERSION SET VERSION = 2");
    db->exec("INSERT INTO FERIADO VALUES ('T', '2026-12-25', 'Natal')");
    const auto before = version1Rows(*db);
    ASSERT_EQ(run({"init", "--db", db->url()}), 0);
    EXPECT_EQ(server::openStore(db->url())->schemaVersion(), server::kSchemaVersion);
    EXPECT_EQ(version1Rows(*db), before);
    EXPECT_EQ(db->query("SELECT NMFERIADO FROM FERIADO"), (Rows{{"Natal"}}));
    EXPECT_EQ(db->query("SELECT COUNT(*) FROM TIPOCONSFILI"), (Rows{{"0"}}));
    server::initDatabase(db->url(), true, 20, server::ExistingData::Replace);
    EXPECT_EQ(db->query("SELECT CDFILIAL, CDTIPOCONS FROM TIPOCONSFILI ORDER BY CDTIPOCONS"),
              (Rows{{"0001", "01"}, {"0001", "02"}}));
}

// A database of a newer build is refused by every way in, in the user's words, and
// left untouched.
TEST_P(SchemaUpgrade, ANewerDatabaseIsRefusedAndLeftAlone) {
    auto db = version1Database(GetParam());
    const int newer = server::kSchemaVersion + 1;
    db->exec("UPDATE SCHEMAVERSION SET VERSION = " + std::to_string(newer));
    const std::string refusal = "O banco de dados tem o esquema versão " +
                                std::to_string(newer) + ", mais novo que o deste servidor (" +
                                std::to_string(server::kSchemaVersion) + ").";
    try {
        server::openStore(db->url())->createSchema();
        ADD_FAILURE() << "upgraded";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(e.what(), refusal);
    }
    std::string said;
    EXPECT_EQ(run({"init", "--db", db->url()}, &said), 1);
    EXPECT_EQ(said, "vnd-server: " + refusal + "\n");
    server::Server srv(db->url(), "127.0.0.1:0");
    try {
        srv.start();
        ADD_FAILURE() << "started";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(e.what(), refusal);
    }
    EXPECT_EQ(server::openStore(db->url())->schemaVersion(), newer);
    EXPECT_THROW(db->query("SELECT COUNT(*) FROM ITEMPREC"), std::runtime_error);
}

// A server whose role may read but not create tables, on a database that needs an
// upgrade: it says in Portuguese that init must run as the owner first, changes nothing,
// and exits with the status the service unit does not restart on.
TEST(SchemaUpgradeDenied, TheServerAsksForTheOwnersInitAndIsNotRestarted) {
    if (auto why = testdb::unavailable(Backend::Postgres)) {
        GTEST_SKIP() << *why;
    }
    auto db = version1Database(Backend::Postgres);
    const std::string role = "up_" + db->schema();
    db->exec("CREATE ROLE " + role + " LOGIN; GRANT USAGE ON SCHEMA " + db->schema() + " TO " +
             role + "; GRANT SELECT ON ALL TABLES IN SCHEMA " + db->schema() + " TO " + role);
    std::string url = db->url();
    url.replace(url.find("://") + 3, url.find('@') - url.find("://") - 3, role);
    const auto before = version1Rows(*db);

    server::Server srv(url, "127.0.0.1:0");
    EXPECT_THROW(srv.start(), server::UpgradeDenied);
    if (!srv.running()) {
        std::string said;
        EXPECT_EQ(run({"serve", "--no-config", "--listen", "127.0.0.1:0", "--db", url}, &said),
                  server::kExitNeedsOwner);
        for (const char* words : {"esquema versão 1", "vnd-server init --db", "como dono do banco"}) {
            EXPECT_NE(said.find(words), std::string::npos) << words << " not in " << said;
        }
        EXPECT_EQ(said.find("permission"), std::string::npos) << said;
    }
    EXPECT_EQ(server::openStore(db->url())->schemaVersion(), 1);
    EXPECT_EQ(version1Rows(*db), before);
    db->exec("DROP OWNED BY " + role + "; DROP ROLE " + role);

    std::ostringstream unit;
    unit << std::ifstream(std::string(VND_PACKAGING_DIR) + "/vnd-server.service").rdbuf();
    const std::string text = unit.str();
    EXPECT_TRUE(std::regex_search(
        text, std::regex("\nRestartPreventExitStatus=([0-9 ]+ )?" +
                         std::to_string(server::kExitNeedsOwner) + "( [0-9 ]+)?\n")))
        << text;
}

INSTANTIATE_TEST_SUITE_P(Backends, SchemaUpgrade,
                         testing::Values(Backend::Sqlite, Backend::Postgres),
                         [](const testing::TestParamInfo<Backend>& p) {
                             return std::string(testdb::name(p.param));
                         });

}  // namespace
