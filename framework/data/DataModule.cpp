#include "data/DataModule.h"

#include <sqlite3.h>

#include <stdexcept>

namespace vol {

DataModule::DataModule(std::string name) : name_(std::move(name)) {}

DataModule::~DataModule() { close(); }

void DataModule::open(const std::string& path) {
    close();
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        std::string why = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close(db);
        throw std::runtime_error("Não foi possível abrir o banco de dados local " + path + ": " + why);
    }
    sqlite3_busy_timeout(db, 5000);
    db_ = db;
    path_ = path;
}

void DataModule::close() {
    if (db_ != nullptr) {
        sqlite3_close(db_);
        db_ = nullptr;
    }
}

sqlite3* DataModule::handle() const {
    if (db_ == nullptr) throw std::runtime_error("O banco de dados local não está conectado.");
    return db_;
}

}  // namespace vol
