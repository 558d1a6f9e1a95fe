#include "units/Volpari.h"

#include <sqlite3.h>

#include <memory>

#include "data/DataModule.h"
#include "forms/Application.h"

namespace vol {

std::string FiliProc() { return Application::instance().settings().branch; }

std::string NomeFiliProc() {
    DataModule* dm = Application::instance().dataModule();
    if (dm == nullptr || !dm->connected()) return {};
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(dm->handle(), "SELECT NMFILIAL FROM FILIAL WHERE CDFILIAL = ?", -1, &raw,
                           nullptr) != SQLITE_OK) {
        return {};
    }
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> stmt(raw, sqlite3_finalize);
    std::string branch = FiliProc();
    sqlite3_bind_text(raw, 1, branch.c_str(), static_cast<int>(branch.size()), SQLITE_TRANSIENT);
    if (sqlite3_step(raw) != SQLITE_ROW) return {};
    const unsigned char* name = sqlite3_column_text(raw, 0);
    return name != nullptr ? std::string(reinterpret_cast<const char*>(name)) : std::string();
}

bool ModuFili() { return Application::instance().settings().branchFixed; }

std::string WebURL() { return Application::instance().settings().serverHost; }

int WebPort() { return Application::instance().settings().serverPort; }

std::string DBPict(TPictType kind) {
    switch (kind) {
        case TPictType::Produto:
            return Application::instance().settings().productPicture;
    }
    return {};
}

}  // namespace vol
