// A chain's own data through its files: every kind imported and exported as written, a
// bad file refused whole, a complete set removing what it lacks (and the rules left
// without backing, into the history), and a station's local database written from it.

#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "TestDatabase.h"
#include "demodata/LocalDatabase.h"
#include "server/cli/Commands.h"
#include "server/store/StoreFactory.h"

namespace {

namespace fs = std::filesystem;
using testdb::Backend;
using Rows = std::vector<std::vector<std::string>>;

// Every kind, in the order a chain loads them.
const std::vector<std::string> kKinds = {"filiais",    "tabelas", "vigencias",    "produtos",
                                         "sortimento", "tipos",   "tipos-filial", "precos"};

struct Outcome {
    int status;
    std::string out;
};

Outcome run(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = server::runCommand(args, out, err);
    return {status, out.str() + err.str()};
}

std::string contents(const fs::path& file) {
    std::ostringstream text;
    text << std::ifstream(file, std::ios::binary).rdbuf();
    return text.str();
}

std::string exported(const std::string& url, const std::string& kind) {
    const Outcome o = run({"export", "--db", url, kind});
    EXPECT_EQ(o.status, 0) << o.out;
    return o.out;
}

// Rows of a query on a SQLite file.
Rows sqliteRows(const fs::path& file, const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* q = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &q, nullptr), SQLITE_OK) << sql;
    Rows out;
    while (sqlite3_step(q) == SQLITE_ROW) {
        out.emplace_back();
        for (int c = 0; c < sqlite3_column_count(q); ++c) {
            const auto* text = sqlite3_column_text(q, c);
            out.back().emplace_back(text ? reinterpret_cast<const char*>(text) : "");
        }
    }
    sqlite3_finalize(q);
    sqlite3_close(db);
    return out;
}

class ReferenceImport : public testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        if (auto why = testdb::unavailable(GetParam())) {
            GTEST_SKIP() << *why;
        }
        db_ = std::make_unique<testdb::TestDatabase>(GetParam());
        ASSERT_EQ(run({"init", "--db", db_->url()}).status, 0);
        folder_ = fs::temp_directory_path() /
                  ("vnd-import-" + std::to_string(::getpid()) + "-" +
                   testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    fs::path write(const std::string& name, const std::string& text) {
        std::ofstream(folder_ / name, std::ios::binary) << text;
        return folder_ / name;
    }
    void importExamples() {
        for (const std::string& kind : kKinds) {
            const std::string file = std::string(VND_EXAMPLES_DIR) + "/" + kind + ".csv";
            ASSERT_EQ(run({"import", "--db", db_->url(), kind, file}).status, 0) << kind;
        }
    }

    std::unique_ptr<testdb::TestDatabase> db_;
    fs::path folder_;
};

// The guide's example files go in kind by kind and come out byte for byte; the demo set's
// files, taken out of one database and put into another, give the same tables.
TEST_P(ReferenceImport, EveryKindGoesInAndComesOutAsWritten) {
    for (const std::string& kind : kKinds) {
        const fs::path file = fs::path(VND_EXAMPLES_DIR) / (kind + ".csv");
        const std::string text = contents(file);
        const auto lines = std::count(text.begin(), text.end(), '\n') - 1;
        EXPECT_EQ(run({"import", "--db", db_->url(), kind, file}).out,
                  "vnd-server: " + std::to_string(lines) + " linhas importadas (" + kind + ")\n");
        EXPECT_EQ(exported(db_->url(), kind), text) << kind;
    }
    testdb::TestDatabase demo(GetParam());
    ASSERT_EQ(run({"init", "--db", demo.url(), "--demo", "--products", "20"}).status, 0);
    testdb::TestDatabase copy(GetParam());
    ASSERT_EQ(run({"init", "--db", copy.url()}).status, 0);
    for (const std::string& kind : kKinds) {
        // With Windows line ends and a byte-order mark, as a spreadsheet saves it.
        std::string text = "\xEF\xBB\xBF";
        std::istringstream lines(exported(demo.url(), kind));
        for (std::string line; std::getline(lines, line);) {
            text += line + "\r\n";
        }
        const Outcome in = run({"import", "--db", copy.url(), kind, write(kind, text)});
        EXPECT_EQ(in.status, 0) << in.out;
        EXPECT_EQ(exported(copy.url(), kind), exported(demo.url(), kind)) << kind;
    }
}

// Every row a till or a server's memory holds tells them through the change log, in the import's own
// transaction; a refused file tells nothing, a complete set that removed rows tells all.
TEST_P(ReferenceImport, WhatATillHoldsGoesIntoTheChangeLog) {
    importExamples();
    const std::string kinds = "SELECT IDALTERACAO, COUNT(*) FROM ALTPRECO GROUP BY IDALTERACAO"
                              " ORDER BY IDALTERACAO";
    // A row for each price, period, product (for every branch) and product sold.
    auto lines = [](const std::string& kind) {
        const std::string text = contents(fs::path(VND_EXAMPLES_DIR) / (kind + ".csv"));
        return Rows{{std::to_string(std::count(text.begin(), text.end(), '\n') - 1)}};
    };
    auto logged = [&](const std::string& where) {
        return db_->query("SELECT COUNT(*) FROM ALTPRECO WHERE " + where);
    };
    EXPECT_EQ(logged("IDALTERACAO = 'B' AND CDPRODUTO IS NOT NULL"), lines("precos"));
    EXPECT_EQ(logged("IDALTERACAO = 'V' AND DTINIVGPREC IS NOT NULL"), lines("vigencias"));
    // A branch, a price table: a change of its periods, for the servers that hold them.
    EXPECT_EQ(logged("IDALTERACAO = 'V' AND CDTABEPREC IS NULL"), lines("filiais"));
    EXPECT_EQ(logged("IDALTERACAO = 'V' AND CDTABEPREC IS NOT NULL AND DTINIVGPREC IS NULL"),
              lines("tabelas"));
    EXPECT_EQ(logged("IDALTERACAO = 'P' AND CDFILIAL = 'T' AND CDPRODUTO IS NOT NULL"),
              lines("produtos"));
    EXPECT_EQ(logged("IDALTERACAO = 'P' AND CDFILIAL <> 'T'"), lines("sortimento"));
    const Rows before = db_->query(kinds);
    EXPECT_NE(run({"import", "--db", db_->url(), "precos",
                   write("bad.csv", "0101;001;01/01/2026;0000001001;1,00\n0101;001;x;0000001002;2\n")})
                  .status,
              0);
    EXPECT_EQ(db_->query(kinds), before);
    // Consumer types: one row that makes every till load again, whatever the file holds;
    // a branch's types are no till's.
    const Rows everything = logged("CDFILIAL = 'T' AND CDPRODUTO IS NULL");
    auto plus = [&](int n) { return Rows{{std::to_string(std::stoi(everything[0][0]) + n)}}; };
    ASSERT_EQ(run({"import", "--db", db_->url(), "--full", "tipos",
                   write("t.csv", "01;Varejo\n02;Atacado\n")}).status, 0);
    EXPECT_EQ(logged("CDFILIAL = 'T' AND CDPRODUTO IS NULL"), plus(1));
    EXPECT_EQ(db_->query("SELECT IDALTERACAO FROM ALTPRECO WHERE CDTABEPREC IS NULL AND"
                         " NRALTERACAO = (SELECT MAX(NRALTERACAO) FROM ALTPRECO)"),
              (Rows{{"P"}}));
    ASSERT_EQ(run({"import", "--db", db_->url(), "tipos-filial", write("tf.csv", "0101;01\n")}).status, 0);
    EXPECT_EQ(logged("CDFILIAL = 'T' AND CDPRODUTO IS NULL"), plus(1));
    ASSERT_EQ(run({"import", "--db", db_->url(), "--full", "sortimento",
                   write("s.csv", "0101;0000001001\n")}).status, 0);
    EXPECT_EQ(logged("CDFILIAL = 'T' AND CDPRODUTO IS NULL"), plus(6));
}

// A file with one bad line is refused whole, naming the line and why; nothing changes.
TEST_P(ReferenceImport, ABadLineRefusesTheWholeFile) {
    importExamples();
    auto everything = [&] {
        std::string all;
        for (const std::string& kind : kKinds) all += exported(db_->url(), kind);
        return all;
    };
    const std::string before = everything();
    auto ccedillas = [](int n) {
        std::string out;
        for (int i = 0; i < n; ++i) out += "ç";
        return out;
    };
    const struct {
        const char* kind;
        std::string text;
        std::string why;
    } cases[] = {
        {"produtos", "0000001009;0101009;AZEITE 500ML\n0000001010;0101010\n",
         "linha 2: esperadas 3 colunas (CDPRODUTO;CDARVPROD;NMPRODUTO), encontradas 2"},
        {"tipos", "04;Fidelidade\n05;S\xe3o Jos\xe9\n",
         "linha 2: a linha não está em UTF-8 (salve o arquivo como UTF-8)"},
        {"produtos", "0000001009;0101009;AZEITE\n00000010010;0101010;SAL\n",
         "linha 2: CDPRODUTO (coluna 1): '00000010010' passa de 10 caracteres"},
        // Characters, not bytes: 30 of them fit, 31 do not.
        {"tipos", "04;" + ccedillas(30) + "\n05;" + ccedillas(31) + "\n",
         "linha 2: NMTIPOCONS (coluna 2): '" + ccedillas(31) + "' passa de 30 caracteres"},
        {"tabelas", "CDFILIAL;CDTABEPREC;NMTABEPREC\n0101;003;Promoção\n0109;001;Varejo\n",
         "linha 3: a filial 0109 não está cadastrada"},
        {"vigencias", "0101;001;01/01/2027;31/12/2026\n",
         "linha 1: o fim da vigência (31/12/2026) é anterior ao início (01/01/2027)"},
        {"vigencias", "0101;001;31/02/2027;31/12/2027\n",
         "linha 1: DTINIVGPREC (coluna 3): data inválida '31/02/2027' (use dd/mm/aaaa)"},
        {"precos", "0101;001;01/01/2026;0000001001;1,00\n0101;001;01/02/2026;0000001001;1,00\n",
         "linha 2: a vigência 0101 001 01/02/2026 não está cadastrada"},
        {"precos", "0101;001;01/01/2026;0000001001;-1\n", "linha 1: VRPRECO (coluna 5): valor inválido '-1'"},
        {"precos", "0101;001;01/01/2026;0000009999;1,00\n",
         "linha 1: o produto 0000009999 não está cadastrado"},
        {"tipos-filial", "0102;09\n", "linha 1: o tipo de consumidor 09 não está cadastrado"},
        {"tipos", "T;Todos\n", "linha 1: CDTIPOCONS (coluna 1): o código T é reservado"},
    };
    for (const auto& c : cases) {
        const fs::path file = write("ruim.csv", c.text);
        const Outcome o = run({"import", "--db", db_->url(), c.kind, file});
        EXPECT_EQ(o.status, 1) << c.why;
        EXPECT_NE(o.out.find(file.string() + ", " + c.why), std::string::npos) << o.out;
        EXPECT_NE(o.out.find("; nada foi importado\n"), std::string::npos) << o.out;
    }
    EXPECT_EQ(everything(), before);
}

// A complete set of products removes the product it lacks, the rows that named it, and
// the rules left without it, each copied into the history as removed.
TEST_P(ReferenceImport, ACompleteSetRemovesWhatItLacksAndItsRules) {
    ASSERT_EQ(run({"init", "--db", db_->url(), "--demo", "--products", "20", "--force"}).status, 0);
    {
        auto store = server::openStore(db_->url());
        server::RuleRow r;
        r.branch = "0001";
        r.table = "001";
        r.periodStart = r.validFrom = r.validTo = {2026, 1, 1};
        r.consumerType = "T";
        r.timeStart = "0000";
        r.timeEnd = "2359";
        r.amount = 1.5;
        std::vector<server::RuleRow> rows;
        for (auto [product, day] : {std::pair{"0000000001", '2'}, {"0000000002", '2'}, {"0000000002", '3'}}) {
            r.product = product;
            r.day = day;
            rows.push_back(r);
        }
        store->upsertRules(rows);
    }
    std::string products;
    std::istringstream all(exported(db_->url(), "produtos"));
    for (std::string line; std::getline(all, line);) {
        products += line.starts_with("0000000002;") ? "" : line + "\n";
    }
    const Outcome o = run({"import", "--db", db_->url(), "--full", "produtos", write("p.csv", products)});
    // Product 2 was sold by 0001 and 0002 and priced in three periods of three tables.
    EXPECT_EQ(o.out,
              "vnd-server: 19 linhas importadas (produtos); 1 linha removida e 11 linhas "
              "dependentes de outras tabelas; 2 regras removidas por não ter mais filial, "
              "tabela, vigência ou produto (copiadas para o histórico)\n");
    EXPECT_EQ(db_->query("SELECT CDPRODUTO FROM PRECDIF"), (Rows{{"0000000001"}}));
    EXPECT_EQ(db_->query("SELECT CDPRODUTO, IDDIA, IDOPERACAO FROM PRECDIFHIST ORDER BY IDDIA"),
              (Rows{{"0000000002", "2", "E"}, {"0000000002", "3", "E"}}));
    EXPECT_EQ(db_->query("SELECT COUNT(*) FROM PRECDIFHIST WHERE NMESTACAO LIKE '%(vnd-server import)'"),
              (Rows{{"2"}}));
    EXPECT_EQ(db_->query("SELECT COUNT(*) FROM ITEMPREC WHERE CDPRODUTO = '0000000002'"), (Rows{{"0"}}));
    // One line, one dependent row, no rule: the singular and the zero read right.
    EXPECT_EQ(run({"import", "--db", db_->url(), "--full", "tipos", write("t.csv", "01;Varejo\n")}).out,
              "vnd-server: 1 linha importada (tipos); 3 linhas removidas e 1 linha dependente "
              "de outras tabelas; 0 regras removidas por não ter mais filial, tabela, vigência "
              "ou produto (copiadas para o histórico)\n");
}

// localdb writes for a branch what make-localdb writes for the demo, restricted to that
// branch; an unknown branch leaves no file behind.
TEST_P(ReferenceImport, LocalDbWritesWhatTheDemoLocalDatabaseHoldsForTheBranch) {
    ASSERT_EQ(run({"init", "--db", db_->url(), "--demo", "--products", "20", "--force"}).status, 0);
    const fs::path made = folder_ / "estacao.db";
    const fs::path demo = folder_ / "demo.db";
    demo::writeLocalDatabase(demo.string(), 20);
    const Outcome o = run({"localdb", "--db", db_->url(), "--branch", "0001", made.string()});
    EXPECT_EQ(o.out, "vnd-server: banco local da filial 0001 gravado em " + made.string() +
                         " (20 produtos, 4 tipos de consumidor, 2 usados pela filial)\n");
    const std::string schema = "SELECT name, sql FROM sqlite_master ORDER BY name";
    EXPECT_EQ(sqliteRows(made, schema), sqliteRows(demo, schema));
    // Branch 0001 sells every product and the types are every branch's to choose from.
    for (auto [table, ofBranch] : {std::pair{"FILIAL", true}, {"PRODFILI", true},
                                   {"TIPOCONSFILI", true}, {"TIPOCONS", false}, {"PRODUTO", false}}) {
        const std::string all = std::string("SELECT * FROM ") + table;
        const std::string demoRows = ofBranch ? all + " WHERE CDFILIAL = '0001'" : all;
        EXPECT_EQ(sqliteRows(made, all + " ORDER BY 1, 2"),
                  sqliteRows(demo, demoRows + " ORDER BY 1, 2"))
            << table;
    }
    EXPECT_EQ(run({"localdb", "--db", db_->url(), "--branch", "0009", (folder_ / "x.db").string()}).out,
              "vnd-server: filial 0009 não cadastrada\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 2);
}

INSTANTIATE_TEST_SUITE_P(Backends, ReferenceImport, testing::Values(Backend::Sqlite, Backend::Postgres),
                         [](const testing::TestParamInfo<Backend>& p) {
                             return std::string(testdb::name(p.param));
                         });

}  // namespace
