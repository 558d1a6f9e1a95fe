#pragma once
// The host's data module: the shared connection to the local database.

#include <string>

struct sqlite3;

namespace vol {

/// Owns the connection to the local SQLite database that the screens' queries share.
/// Opening a file that does not exist is an error (the database is made by the host's
/// setup, never by accident here).
class DataModule {
public:
    explicit DataModule(std::string name = "dtmDBGeral");
    ~DataModule();
    DataModule(const DataModule&) = delete;
    DataModule& operator=(const DataModule&) = delete;

    const std::string& name() const { return name_; }
    /// Opens the database file read-write; throws std::runtime_error with the reason.
    void open(const std::string& path);
    void close();
    bool connected() const { return db_ != nullptr; }
    const std::string& path() const { return path_; }
    /// The connection; throws std::runtime_error when not connected.
    sqlite3* handle() const;

private:
    std::string name_;
    std::string path_;
    sqlite3* db_ = nullptr;
};

}  // namespace vol
