#pragma once
// How a database failure is told apart: what the server may do about it, and what the
// person at the screen is told.

#include <stdexcept>
#include <string>

namespace server {

/// The kinds of database failure the server answers differently.
enum class StoreFailure {
    Busy,         ///< another writer was in the way; the transaction was rolled back whole
    Timeout,      ///< the database did not answer before the call's deadline
    Unavailable,  ///< the database cannot be reached (connect failed, too many clients)
    Lost,         ///< the connection broke under the statement (a database restart)
    Interrupted,  ///< the server is shutting down and abandoned the statement
    Permission,   ///< the database refused the statement for want of a privilege
    ReadOnly,     ///< the database (or file) takes no writes
    Space,        ///< the database ran out of disk or memory
    Other,        ///< anything else the database refused
};

/// A failure of the database, with its kind and the database's own text (with the
/// statement it came from), which is for the server's log, never for the screen.
class StoreError : public std::runtime_error {
public:
    StoreError(StoreFailure kind, const std::string& detail, bool duringCommit = false)
        : std::runtime_error(detail), kind_(kind), duringCommit_(duringCommit) {}

    StoreFailure kind() const { return kind_; }
    /// True when the failure came while COMMIT was under way: whether the transaction
    /// took effect is then not known.
    bool duringCommit() const { return duringCommit_; }

private:
    StoreFailure kind_;
    bool duringCommit_;
};

/// A failure that another writer caused (a busy or locked database, a serialization
/// failure, a deadlock, a lock timeout): the transaction was rolled back whole and the
/// same call may simply be made again. The stores tell it by the database's own error
/// code, never by its text, which a database may give in any language.
class TransientStoreError : public StoreError {
public:
    explicit TransientStoreError(const std::string& detail)
        : StoreError(StoreFailure::Busy, detail) {}
};

}  // namespace server
