#pragma once
// A till's replica of one branch's and price table's prices: a local SQLite file kept in
// step with the server's change log, answering prices from the file with the server's own
// pricing core, with the server up or down.

#include <atomic>
#include <iosfwd>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "server/pricing/PriceExplanation.h"
#include "till/ChangeBatch.h"
#include "till/TillFile.h"
#include "till/TillSource.h"

namespace till {

class TillConnection;

/// What `vnd-till status` shows.
struct TillStatus {
    TillState state;
    long products = 0;
    long rules = 0;
};

/// One replica file. Not for use from two threads at once; one process syncs a file.
class TillReplica {
public:
    /// A file to read prices from; it must hold a replica (std::runtime_error otherwise).
    explicit TillReplica(std::string path);
    /// A file to keep in step with `source`; made by the first sync when missing.
    TillReplica(std::string path, TillSource source);
    ~TillReplica();
    TillReplica(const TillReplica&) = delete;
    TillReplica& operator=(const TillReplica&) = delete;

    /// Loads everything the first time (and whenever the server says to), then applies
    /// every change up to the server's latest; the change number the file then holds.
    /// Throws LinkDown when the server cannot be reached, wire::RpcError when it refuses,
    /// std::runtime_error when the file belongs to another branch or table. The file is
    /// left at whatever change it had reached.
    long long syncOnce();
    /// Applies changes as they come (long waits) until stop becomes true, which ends it
    /// between two changes or during a wait. A link that is down is tried again after a
    /// pause that grows up to 30 s, each failure and the return told on `log` in
    /// Portuguese. Throws what syncOnce throws, but for LinkDown and the server's
    /// database failures.
    void follow(const std::atomic<bool>& stop, std::ostream& log);

    /// The explanation of a product's price at `at` ("YYYY-MM-DD HH:MM") for a consumer
    /// type ("" for none), as the server gives it for the same data. Throws
    /// std::invalid_argument (Portuguese, in the server's words and order) for a moment
    /// that does not read, a consumer type the file does not hold and a product the
    /// branch does not sell.
    server::PriceExplanation price(const std::string& product, const std::string& consumerType,
                                   const std::string& at);
    /// The price book at `at`, as text or CSV, written as the server's `prices` writes it.
    void writePrices(const std::string& consumerType, const std::string& at, bool csv,
                     std::ostream& out);
    /// Throws as price and writePrices do for a moment that does not read or a consumer
    /// type the file does not hold.
    void checkQuestion(const std::string& consumerType, const std::string& at);
    /// The change number the file holds.
    long long changeNumber();
    /// The file's state and how many products and rules it holds.
    TillStatus status();

    /// How many changes one GetAlteracoes asks for, and products one GetDadosPreco page.
    static constexpr long kChangeBatch = 1000;
    static constexpr long kPage = 5000;
    /// Products of the file, not named by the changes, that one range may load again
    /// between two named ones rather than being cut in two.
    static constexpr long kRangeGap = 8;
    /// How long a following replica lets the server hold a GetAlteracoes answer back.
    static constexpr long kWaitMs = 25000;

private:
    TillFile& file();
    // The moment's period and day facts as the file holds them, inside a read; refuses a
    // consumer type the file does not hold and a time ("HH:MM") that is not one.
    server::PriceMoment momentInFile(const std::string& consumerType, const wire::Date& date,
                                     const std::string& time);
    TillConnection& link();
    void ensureLoaded();
    void loadEverything();
    // Applies a batch of changes; false when stop ended it part way.
    bool applyBatch(const ChangeBatch& batch, const std::atomic<bool>* stop);
    void applyChange(const Change& change);
    // Applies changes that each name one product, in one local transaction: the products
    // that lie next to one another in the file are loaded again as one range.
    void applyProducts(const std::vector<Change>& changes);
    // The highest snapshot this run loaded the change's data at (0: none).
    long long loadedFor(const Change& change) const;
    // Loads the pages of [first, last] into the open transaction; the lowest `ate` of them.
    long long loadRange(TillFile& into, const std::string& first, const std::string& last,
                        long limit);
    // Asks for the changes after the file's number; nullopt when stop ended the wait.
    std::optional<ChangeBatch> askChanges(long waitMs, const std::atomic<bool>* stop);

    std::string path_;
    std::optional<TillSource> source_;
    std::unique_ptr<TillFile> file_;
    std::unique_ptr<TillConnection> link_;
    // What this run already loaded, by the snapshot it was loaded at: a change at or
    // below it needs no new load.
    std::map<std::string, long long> loadedAt_;
    long long allLoadedAt_ = 0;
    long long referenceLoadedAt_ = 0;
};

}  // namespace till
