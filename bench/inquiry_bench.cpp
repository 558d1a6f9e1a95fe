// The inquiry screen's side of a branch with a million stored rules: the grid's first page
// and the export of every row, with the client's peak memory.
//
//   vnd-bench-inquiry --port P --rows N --out FILE   (a running vnd-server whose demo
//                                                    data has N / 8 products or more)
//
// The rules are stored first (one list rule over N / 8 products x 8 days) unless the
// server already holds them; the timings are of the client calls the screen makes.

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

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

// GetPrecDif of branch 0001, table 001, every period, no filter, as the screen asks.
wire::DataPacket page(bench::BenchClient& client, const std::string& firstProduct, long offset, long limit,
                      long& total) {
    const wire::Value answer =
        client.call("GetPrecDif", {std::string("0001"), std::string("001"), wire::Value(), firstProduct,
                                   std::string(), std::string(), std::string(), wire::Value(),
                                   std::int64_t{offset}, std::int64_t{limit}});
    const auto& object = std::get<nlohmann::json>(answer);
    total = object.at("total").get<long>();
    return wire::packetFromJson(object.at("rows"));
}

}  // namespace

int main(int argc, char** argv) {
    const std::string port = option(argc, argv, "--port");
    const std::string rows = option(argc, argv, "--rows");
    const std::string out = option(argc, argv, "--out");
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
                file.write(vnd::RuleExport::fields(rowsOfPage, row, pattern, "99.99.999;0; "));
            }
            if (!cursor.advance(rowsOfPage, 10000, total)) break;
        }
        file.commit();
        std::printf("inquiry: export of %ld lines in %.1f s; client peak %.1f MiB (target 200)\n", file.lines(),
                    bench::secondsSince(start), bench::peakResidentMiB());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "inquiry: %s\n", e.what());
        return 1;
    }
}
