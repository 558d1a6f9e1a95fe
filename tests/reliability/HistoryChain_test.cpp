// Two server processes on one PostgreSQL database, clients storing and removing
// overlapping rule rows through both: the history of every row records its changes one
// after another, each from the values the one before left, and ends at the row stored.

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <thread>
#include <tuple>

#include <gtest/gtest.h>

#include "LineClient.h"
#include "RuleArguments.h"
#include "ServerProcess.h"
#include "TestDatabase.h"
#include "server/cli/DatabaseInit.h"

namespace {

using nlohmann::json;
using testdb::Backend;

constexpr int kProducts = 16;
constexpr int kWindow = 8;  // products of one change
constexpr int kClients = 6;
constexpr int kRounds = 16;

std::string code(int product) {
    char text[11];
    std::snprintf(text, sizeof text, "%010d", product);
    return text;
}

// The products a client's change of one round takes: windows that overlap every other.
int firstProduct(int client, int round) {
    return (client * 3 + round * 5) % (kProducts - kWindow + 1) + 1;
}

// The key of a product's row as the screen sends it for removal.
json removalOf(const std::vector<int>& products) {
    json fields = json::array();
    for (const char* name : {"CDFILIAL", "CDTABEPREC", "DTINIVGPREC", "CDPRODUTO", "IDDIA",
                             "CDTIPOCONS", "HRINI", "HRFIN", "DTINIVALID", "DTFINVALID"}) {
        fields.push_back({{"name", name}, {"type", "string"}, {"size", 10}});
    }
    json rows = json::array();
    for (int p : products) {
        rows.push_back({"0001", "001", "2026-01-01", code(p), "2", "T", "0001", "2359",
                        "2026-02-01", "2026-02-28"});
    }
    return json::array({"0001", "001", {{"$packet", {{"fields", fields}, {"rows", rows}}}}});
}

// What the server answered as done, product by product.
struct Done {
    std::map<int, int> stores;    // stores of the product that succeeded
    std::map<int, int> removals;  // removals of the product that succeeded
    int failed = 0;               // stores answered with an error
};

// A row of the history: a replacement (after set) or a removal.
struct Change {
    std::string at;  // DTOPERACAO
    double before;
    std::optional<double> after;
};

// Why a product's history is not one chain in commit order, or "" when it is. Every store
// sent an amount of its own, so a value names the change that left it. A row inserted
// (by the first store, or the first after a removal) starts a chain without a history
// row; a removal ends one.
std::string chainFault(const std::vector<Change>& changes, std::optional<double> stored, int stores,
                       int removals) {
    std::map<double, const Change*> from;  // by the value it changed
    std::set<double> left;                 // values a replacement left
    int replaced = 0;
    for (const Change& c : changes) {
        if (!from.emplace(c.before, &c).second) {
            return "two changes from the same values";
        }
        if (c.after) {
            left.insert(*c.after);
            ++replaced;
        }
    }
    std::vector<std::vector<const Change*>> chains;
    std::size_t linked = 0;
    for (const Change& c : changes) {
        if (left.contains(c.before)) {
            continue;  // not the first of a chain
        }
        auto& chain = chains.emplace_back();
        for (const Change* at = &c; at != nullptr && linked <= changes.size(); ++linked) {
            if (!chain.empty() && at->at < chain.back()->at) {
                return "a change recorded before the one whose values it changed";
            }
            chain.push_back(at);
            const auto next = at->after ? from.find(*at->after) : from.end();
            at = next == from.end() ? nullptr : next->second;
        }
    }
    if (linked != changes.size()) {
        return "a change from values no change left";
    }
    std::sort(chains.begin(), chains.end(), [](const auto& a, const auto& b) {
        return std::tuple(a.front()->at, a.back()->after.has_value()) <
               std::tuple(b.front()->at, b.back()->after.has_value());
    });
    for (std::size_t i = 0; i + 1 < chains.size(); ++i) {
        if (chains[i].back()->after || chains[i + 1].front()->at < chains[i].back()->at) {
            return "a row changed while it was removed";
        }
    }
    // An open chain ends at the row stored; a closed one leaves no row, or a new one.
    const std::optional<double> last =
        chains.empty() ? std::nullopt : chains.back().back()->after;
    const bool endsRight =
        last ? stored.has_value() && stored.value() == last.value()
             : !stored.has_value() ||
                   !(left.contains(stored.value()) || from.contains(stored.value()));
    if (!endsRight) {
        return "the row stored is not where the history ends";
    }
    const int erased = static_cast<int>(changes.size()) - replaced;
    if (erased != removals || replaced + erased + (stored ? 1 : 0) != stores) {
        return "changes missing from the history";
    }
    return "";
}

TEST(HistoryChain, EveryRowsHistoryIsOneChainAcrossServerProcesses) {
    if (auto why = testdb::unavailable(Backend::Postgres)) {
        GTEST_SKIP() << *why;
    }
    testdb::TestDatabase db(Backend::Postgres);
    server::initDatabase(db.url(), true, kProducts);
    reliability::ServerProcess a(VND_SERVER_BINARY, db.url());
    reliability::ServerProcess b(VND_SERVER_BINARY, db.url());

    std::vector<Done> done(kClients);
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c) {
        clients.emplace_back([&, c] {
            testdb::LineClient client(c % 2 == 0 ? a.port() : b.port());
            Done& mine = done[static_cast<std::size_t>(c)];
            for (int r = 0; r < kRounds; ++r) {
                const int first = firstProduct(c, r);
                if (r % 4 == 3) {  // a removal: refused whole when a row is not stored
                    if (client.call("DelPrecDif", removalOf({first, first + 1}))
                            .contains("result")) {
                        ++mine.removals[first];
                        ++mine.removals[first + 1];
                    }
                    continue;
                }
                std::vector<json> codes;
                for (int p = first; p < first + kWindow; ++p) {
                    codes.emplace_back(code(p));
                }
                json rule = testdb::listRule(codes);
                testdb::arg(rule, testdb::kAmount) = (c + 1) + (r + 1) / 100.0;
                if (!client.call("SetPrecDif", rule).contains("result")) {
                    ++mine.failed;
                    continue;
                }
                for (int p = first; p < first + kWindow; ++p) {
                    ++mine.stores[p];
                }
            }
        });
    }
    for (std::thread& t : clients) {
        t.join();
    }

    std::map<int, std::vector<Change>> history;
    for (const auto& row :
         db.query("SELECT CDPRODUTO, to_char(DTOPERACAO, 'YYYY-MM-DD HH24:MI:SS.MS'),"
                  " VRPRECDIF_ANT, VRPRECDIF FROM PRECDIFHIST")) {
        history[std::stoi(row[0])].push_back(
            {row[1], std::stod(row[2]),
             row[3].empty() ? std::nullopt : std::optional(std::stod(row[3]))});
    }
    std::map<int, double> stored;
    for (const auto& row : db.query("SELECT CDPRODUTO, VRPRECDIF FROM PRECDIF")) {
        stored[std::stoi(row[0])] = std::stod(row[1]);
    }
    int failed = 0, broken = 0, changes = 0;
    for (const Done& d : done) {
        failed += d.failed;
    }
    for (int p = 1; p <= kProducts; ++p) {
        int stores = 0, removals = 0;
        for (const Done& d : done) {
            stores += d.stores.contains(p) ? d.stores.at(p) : 0;
            removals += d.removals.contains(p) ? d.removals.at(p) : 0;
        }
        std::optional<double> now;
        if (const auto it = stored.find(p); it != stored.end()) {
            now.emplace(it->second);
        }
        const std::string fault = chainFault(history[p], now, stores, removals);
        EXPECT_EQ(fault, "") << "product " << p << ": " << stores << " stores, " << removals
                             << " removals, " << history[p].size() << " history rows";
        broken += fault.empty() ? 0 : 1;
        changes += stores + removals;
    }
    EXPECT_EQ(failed, 0) << "stores answered with an error";
    std::printf(
        "history through 2 server processes: %d row changes on %d rows by %d clients, "
        "%d stores failed, %d of %d rows with a broken history\n",
        changes, kProducts, kClients, failed, broken, kProducts);
}

}  // namespace
