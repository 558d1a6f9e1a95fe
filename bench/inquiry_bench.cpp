// The inquiry screen's side of a branch with a million stored rules: the grid's first page
// and the export of every row, with the client's peak memory.
//
//   vnd-bench-inquiry --port P --rows N --out FILE [--db PATH]
//       (a running vnd-server whose demo data has N / 8 products or more; PATH its SQLite
//       file, for the export's floor)
//
// The rules are stored first (one list rule over N / 8 products x 8 days) unless the
// server already holds them; the timings are of the client calls the screen makes. With
// --db, the export's floor runs just before the export: the same rows read in the same
// order with the SQLite C API from the server's file and written as the same CSV (to
// FILE.floor, compared byte for byte with the export's file).

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include <sqlite3.h>

#include "BenchClient.h"
#include "BenchSupport.h"
#include "inquiry/CsvFile.h"
#include "inquiry/PageCursor.h"
#include "inquiry/RuleExport.h"
#include "protocol/ValueCodec.h"

namespace {

std::string option(int argc, char** argv, const char* name) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0) return argv[i + 1];
    }
    return {};
}

// GetPrecDif of branch 0001, table 001, every period, no filter, as the screen asks; the
// rows read beside the answer's object, as the screen reads them.
wire::DataPacket page(bench::BenchClient& client, const std::string& firstProduct, long offset, long limit,
                      long& total) {
    std::optional<wire::DataPacket> rows;
    const wire::Value answer =
        client.call("GetPrecDif",
                    {std::string("0001"), std::string("001"), wire::Value(), firstProduct, std::string(),
                     std::string(), std::string(), wire::Value(), std::int64_t{offset}, std::int64_t{limit}},
                    &rows);
    const auto& object = std::get<nlohmann::json>(answer);
    total = object.at("total").get<long>();
    return rows ? std::move(*rows) : wire::packetFromJson(object.at("rows"));
}

constexpr const char* kPicture = "99.99.999;0; ";

// The export's floor: the rows GetPrecDif lists, in its order, with the SQLite C API, each
// written as the export writes it. The number of lines written.
long exportFloor(const std::string& dbPath, const std::string& out) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(dbPath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("floor: cannot open " + dbPath);
    }
    std::unique_ptr<sqlite3, decltype(&sqlite3_close)> owner(db, sqlite3_close);
    sqlite3_stmt* stmt = nullptr;
    const char* sql =
        "SELECT CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, IDDIA, CDTIPOCONS, HRINI, HRFIN,"
        " DTINIVALID, DTFINVALID, IDDESCACRE, IDVALPERC, VRPRECDIF, IDVISUALIZA, DTULTATU,"
        " (SELECT P.CDARVPROD FROM PRODUTO P WHERE P.CDPRODUTO = R.CDPRODUTO),"
        " (SELECT P.NMPRODUTO FROM PRODUTO P WHERE P.CDPRODUTO = R.CDPRODUTO)"
        " FROM PRECDIF R WHERE R.CDFILIAL = '0001' AND R.CDTABEPREC = '001'"
        " ORDER BY R.CDPRODUTO, R.DTINIVGPREC, R.IDDIA, R.CDTIPOCONS, R.HRINI, R.HRFIN,"
        " R.DTINIVALID, R.DTFINVALID";
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
        throw std::runtime_error(std::string("floor: ") + sqlite3_errmsg(db));
    }
    std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> statement(stmt, sqlite3_finalize);
    wire::DataPacket shape;
    for (const char* name : {"CDFILIAL", "CDTABEPREC", "DTINIVGPREC", "CDPRODUTO", "IDDIA", "CDTIPOCONS", "HRINI",
                             "HRFIN", "DTINIVALID", "DTFINVALID", "IDDESCACRE", "IDVALPERC", "VRPRECDIF",
                             "IDVISUALIZA", "DTULTATU", "CDARVPROD", "NMPRODUTO"}) {
        shape.fields.push_back({name});
    }
    const wire::DatePattern pattern("dd/mm/yyyy");
    vnd::CsvFile file(out);
    file.write(vnd::RuleExport::header());
    wire::Row row(shape.fields.size());
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        for (int c = 0; c < static_cast<int>(row.size()); ++c) {
            auto& cell = row[static_cast<std::size_t>(c)];
            if (sqlite3_column_type(stmt, c) == SQLITE_NULL) {
                cell.reset();
            } else {
                cell.emplace(reinterpret_cast<const char*>(sqlite3_column_text(stmt, c)),
                             static_cast<std::size_t>(sqlite3_column_bytes(stmt, c)));
            }
        }
        file.write(vnd::RuleExport::fields(shape, row, pattern, kPicture));
    }
    file.commit();
    return file.lines();
}

bool sameFile(const std::string& a, const std::string& b) {
    std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
    return std::equal(std::istreambuf_iterator<char>(x), std::istreambuf_iterator<char>(),
                      std::istreambuf_iterator<char>(y), std::istreambuf_iterator<char>());
}

}  // namespace

int main(int argc, char** argv) {
    const std::string port = option(argc, argv, "--port");
    const std::string rows = option(argc, argv, "--rows");
    const std::string out = option(argc, argv, "--out");
    const std::string db = option(argc, argv, "--db");
    if (port.empty() || rows.empty() || out.empty()) {
        std::fprintf(stderr, "usage: vnd-bench-inquiry --port P --rows N --out FILE\n");
        return 2;
    }
    try {
        bench::BenchClient client(static_cast<unsigned short>(std::stoi(port)));
        const bench::RuleShape shape = bench::shapeForRows(std::stol(rows));
        long total = 0;
        page(client, "", 0, 1, total);
        if (total < shape.rows()) {
            const auto start = std::chrono::steady_clock::now();
            client.call("SetPrecDif", bench::listRule(bench::productCodes(shape.products), shape));
            std::printf("inquiry: %ld rules stored in %.1f s\n", shape.rows(), bench::secondsSince(start));
        }

        // The grid's first page: what the person waits for after Pesquisar.
        auto start = std::chrono::steady_clock::now();
        wire::DataPacket first = page(client, "", 0, 200, total);
        const double firstPage = bench::secondsSince(start);
        std::printf("inquiry: first page of %zu rows of %ld in %.3f s (target < 1 s)\n", first.rows.size(), total,
                    firstPage);

        // A page far down the list, as a person scrolling to the end reaches it.
        start = std::chrono::steady_clock::now();
        page(client, "", total - 200, 200, total);
        std::printf("inquiry: last page in %.3f s\n", bench::secondsSince(start));

        double floor = 0;
        if (!db.empty()) {
            start = std::chrono::steady_clock::now();
            const long lines = exportFloor(db, out + ".floor");
            floor = bench::secondsSince(start);
            std::printf("inquiry: export floor of %ld lines in %.1f s (SQLite C API, same CSV)\n", lines, floor);
        }

        // The export: every page of 10,000 into the CSV file, one page held at a time.
        start = std::chrono::steady_clock::now();
        const wire::DatePattern pattern("dd/mm/yyyy");
        vnd::CsvFile file(out);
        file.write(vnd::RuleExport::header());
        // As the screen walks them: each page from the last product seen.
        vnd::PageCursor cursor("");
        for (;;) {
            wire::DataPacket rowsOfPage = page(client, cursor.firstProduct(), cursor.offset(), 10000, total);
            for (const wire::Row& row : rowsOfPage.rows) {
                file.write(vnd::RuleExport::fields(rowsOfPage, row, pattern, kPicture));
            }
            if (!cursor.advance(rowsOfPage, 10000, total)) break;
        }
        file.commit();
        const double exported = bench::secondsSince(start);
        std::printf("inquiry: export of %ld lines in %.1f s; client peak %.1f MiB (target 200)\n", file.lines(),
                    exported, bench::peakResidentMiB());
        if (floor > 0) {
            const bool same = sameFile(out, out + ".floor");
            std::printf("inquiry: export %.1f s / floor %.1f s = %.2f (target <= 3); files %s\n", exported, floor,
                        exported / floor, same ? "identical" : "DIFFER");
            std::remove((out + ".floor").c_str());
            if (!same) return 1;
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "inquiry: %s\n", e.what());
        return 1;
    }
}
