#include "Lib00210.h"

#include <sqlite3.h>

#include <memory>
#include <stdexcept>

#include "data/ClientDataSet.h"
#include "data/DataModule.h"
#include "forms/Application.h"

namespace lib {

namespace {
const char* kProductsOfBranch =
    "SELECT P.CDPRODUTO, P.CDARVPROD, P.NMPRODUTO"
    "  FROM PRODUTO P, PRODFILI PF"
    " WHERE PF.CDFILIAL = ?1 AND PF.CDPRODUTO = P.CDPRODUTO"
    " ORDER BY P.CDARVPROD";

std::string column(sqlite3_stmt* stmt, int i) {
    const unsigned char* v = sqlite3_column_text(stmt, i);
    return v != nullptr ? std::string(reinterpret_cast<const char*>(v)) : std::string();
}
}  // namespace

std::string SQL_Pesquisa_Produto_CDS(const std::string& branch, vol::ClientDataSet& products) {
    vol::DataModule* dm = vol::Application::instance().dataModule();
    if (dm == nullptr) throw std::runtime_error("O banco de dados local não está conectado.");
    sqlite3* db = dm->handle();
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, kProductsOfBranch, -1, &raw, nullptr) != SQLITE_OK) {
        throw std::runtime_error(std::string("Pesquisa de produtos: ") + sqlite3_errmsg(db));
    }
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> stmt(raw, sqlite3_finalize);
    sqlite3_bind_text(raw, 1, branch.c_str(), static_cast<int>(branch.size()), SQLITE_TRANSIENT);

    wire::DataPacket packet;
    packet.fields = {{"IDMARCADO", "string", 1},
                     {"CDPRODUTO", "string", 10},
                     {"CDARVPROD", "string", 20},
                     {"NMPRODUTO", "string", 50}};
    int rc;
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
        packet.rows.push_back({std::nullopt, column(raw, 0), column(raw, 1), column(raw, 2)});
    }
    if (rc != SQLITE_DONE) {
        throw std::runtime_error(std::string("Pesquisa de produtos: ") + sqlite3_errmsg(db));
    }
    products.loadPacket(packet);
    if (packet.rows.empty()) return "Não há produto cadastrado para a filial " + branch + ".";
    return {};
}

}  // namespace lib
