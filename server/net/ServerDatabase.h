#pragma once
// A server's connections to its database.

#include <cstddef>
#include <memory>
#include <string>

namespace server {

class ChangeWaiters;
class HeldData;
class Log;
class RuleStore;
class PriceService;
struct ServerOptions;

/// Connections to the database behind two services: lookups on some
/// (ServerOptions::readConnections, each running one call at a time), stores on one other,
/// so that a long store leaves the lookups of every other screen free. Each waits for the database as long as the calls it serves may
/// wait, and no longer: the database's own statement bound ends what nobody waits for.
class ServerDatabase {
public:
    /// Opens them, the first upgrading a database of an older schema (every row kept;
    /// logged as event=schema-upgrade), then logs each privilege the role lacks
    /// (event=db-privilege-missing, a warning: the server serves what it still can).
    /// Throws std::runtime_error (Portuguese text) for a database that cannot be opened,
    /// was never initialised or is of a newer schema; UpgradeDenied for one whose upgrade
    /// the role may not make. Every change the stores commit wakes its waiters. A SQLite
    /// file not in WAL mode, whose readers would keep the writer out, gets one reading
    /// connection (event=db-read-connections, a warning).
    ServerDatabase(const std::string& url, const ServerOptions& options, Log& log,
                   ChangeWaiters& waiters);
    ServerDatabase(const ServerDatabase&) = delete;
    ServerDatabase& operator=(const ServerDatabase&) = delete;

    PriceService& reads() { return *reads_; }
    PriceService& writes() { return *writes_; }
    /// The lookups' service, for a caller that may outlive this (a count under way when
    /// the server stops); its connection is closed when the last holder lets it go.
    std::shared_ptr<PriceService> sharedReads() const { return reads_; }
    /// What the lookups hold in memory (ServerOptions::cacheBytes; nullptr for none):
    /// every change the server's own stores commit drops what it touches before the
    /// store's answer is sent.
    HeldData* held() const { return held_.get(); }
    /// The connections the lookups run on.
    std::size_t readConnections() const;
    /// What the role lacked when opened, as problem() says it: empty when nothing.
    const std::string& problemAtOpen() const { return problemAtOpen_; }
    /// Abandons the calls under way on every connection and every later one (the server is stopping): they
    /// fail as interrupted, their transactions rolled back.
    void interrupt();

    /// A connection of its own for the watch of the change log.
    static std::unique_ptr<RuleStore> openWatchStore(const std::string& url,
                                                     const ServerOptions& options);

    /// What is wrong with the database at url now, for a health page: empty when it
    /// answers and the role lacks nothing; kDatabaseUnavailable when it does not answer
    /// (within the options' connect timeout) or was never initialised; else each missing
    /// privilege's sentence, a line each. Asked on a connection of its own (the server's
    /// may be busy with a long store). Never throws.
    static std::string problem(const std::string& url, const ServerOptions& options);

private:
    std::string problemAtOpen_;
    std::shared_ptr<HeldData> held_;
    std::shared_ptr<PriceService> reads_;
    std::shared_ptr<PriceService> writes_;
};

}  // namespace server
