#include "PriceSource.h"

#include <sqlite3.h>
#include <stdexcept>

#include "protocol/Asio.h"
#include "protocol/JsonRpc.h"

namespace tilltest {

using nlohmann::json;
using asio::ip::tcp;

namespace {

json field(const char* name, const char* type) {
    return {{"name", name}, {"type", type}, {"size", 0}};
}

// Runs sql on the server's file and gives a packet of its rows, each column of the type
// named for it ("string", "date", "number", "integer").
json packet(sqlite3* db, const std::string& sql, const std::vector<std::string>& binds,
            const std::vector<std::pair<const char*, const char*>>& columns) {
    json fields = json::array();
    for (const auto& [name, type] : columns) {
        fields.push_back(field(name, type));
    }
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) {
        throw std::runtime_error(sqlite3_errmsg(db));
    }
    for (std::size_t i = 0; i < binds.size(); ++i) {
        sqlite3_bind_text(s, static_cast<int>(i + 1), binds[i].c_str(), -1, SQLITE_TRANSIENT);
    }
    json rows = json::array();
    while (sqlite3_step(s) == SQLITE_ROW) {
        json row = json::array();
        for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
            const std::string type = columns[static_cast<std::size_t>(c)].second;
            if (sqlite3_column_type(s, c) == SQLITE_NULL) {
                row.push_back(nullptr);
            } else if (type == "number") {
                row.push_back(sqlite3_column_double(s, c));
            } else if (type == "integer") {
                row.push_back(sqlite3_column_int64(s, c));
            } else {
                const std::string text = reinterpret_cast<const char*>(sqlite3_column_text(s, c));
                row.push_back(type == "date" ? json{{"$date", text.substr(0, 10)}} : json(text));
            }
        }
        rows.push_back(std::move(row));
    }
    sqlite3_finalize(s);
    return {{"$packet", {{"fields", fields}, {"rows", rows}}}};
}

}  // namespace

json changes(long long ate, bool resynchronize, const std::vector<Change>& rows) {
    json packetRows = json::array();
    for (const Change& c : rows) {
        packetRows.push_back({c.number, std::string(1, c.kind), nullptr,
                              c.product.empty() ? json(nullptr) : json(c.product)});
    }
    return {{"ate", ate},
            {"ressincronizar", resynchronize},
            {"alteracoes",
             {{"$packet",
               {{"fields", {field("NRALTERACAO", "integer"), field("IDALTERACAO", "string"),
                            field("DTINIVGPREC", "date"), field("CDPRODUTO", "string")}},
                {"rows", packetRows}}}}}};
}

struct PriceSource::Net {
    asio::io_context io;
    std::unique_ptr<tcp::acceptor> acceptor;
    std::unique_ptr<tcp::socket> socket;
    asio::streambuf buffer;
};

PriceSource::PriceSource(std::string dbPath, long pageCap)
    : dbPath_(std::move(dbPath)), pageCap_(pageCap) {
    start();
}

PriceSource::~PriceSource() {
    stop();
}

void PriceSource::script(json answer) {
    std::lock_guard lock(mutex_);
    scripted_.push_back(std::move(answer));
}

json PriceSource::page(const json& p) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(dbPath_.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    const std::string branch = p[0], table = p[1], first = p[2], last = p[3];
    const long limit = std::min<long>(p[4].get<long>(), pageCap_);
    const std::string range =
        " AND (?3 = '' OR F.CDPRODUTO >= ?3) AND (?4 = '' OR F.CDPRODUTO <= ?4)";
    json products = packet(db,
        "SELECT P.CDPRODUTO, P.CDARVPROD, P.NMPRODUTO FROM PRODFILI F JOIN PRODUTO P"
        " ON P.CDPRODUTO = F.CDPRODUTO WHERE F.CDFILIAL = ?1 AND ?2 = ?2" + range +
        " ORDER BY F.CDPRODUTO LIMIT " + std::to_string(limit + 1),
        {branch, table, first, last},
        {{"CDPRODUTO", "string"}, {"CDARVPROD", "string"}, {"NMPRODUTO", "string"}});
    json& rows = products["$packet"]["rows"];
    json next = nullptr;
    if (static_cast<long>(rows.size()) > limit) {
        next = rows.back()[0];
        rows.erase(rows.end() - 1);
    }
    const std::string end = next.is_null() ? last : std::string();
    const std::string before = next.is_null() ? "" : " AND CDPRODUTO < '" + next.get<std::string>() + "'";
    const std::string sold = " AND CDPRODUTO IN (SELECT CDPRODUTO FROM PRODFILI WHERE CDFILIAL = ?1)"
                             " AND (?3 = '' OR CDPRODUTO >= ?3) AND (?4 = '' OR CDPRODUTO <= ?4)" + before;
    json answer;
    answer["ate"] = ate.load();
    answer["proximo"] = next;
    answer["produtos"] = products;
    answer["precos"] = packet(db,
        "SELECT DTINIVGPREC, CDPRODUTO, VRPRECO FROM ITEMPREC WHERE CDFILIAL = ?1 AND CDTABEPREC = ?2" + sold,
        {branch, table, first, end}, {{"DTINIVGPREC", "date"}, {"CDPRODUTO", "string"}, {"VRPRECO", "number"}});
    answer["regras"] = packet(db,
        "SELECT CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, IDDIA, CDTIPOCONS, HRINI, HRFIN,"
        " DTINIVALID, DTFINVALID, IDDESCACRE, IDVALPERC, VRPRECDIF, IDVISUALIZA, DTULTATU"
        " FROM PRECDIF WHERE CDFILIAL = ?1 AND CDTABEPREC = ?2" + sold,
        {branch, table, first, end},
        {{"CDFILIAL", "string"}, {"CDTABEPREC", "string"}, {"DTINIVGPREC", "date"},
         {"CDPRODUTO", "string"}, {"IDDIA", "string"}, {"CDTIPOCONS", "string"},
         {"HRINI", "string"}, {"HRFIN", "string"}, {"DTINIVALID", "date"},
         {"DTFINVALID", "date"}, {"IDDESCACRE", "integer"}, {"IDVALPERC", "integer"},
         {"VRPRECDIF", "number"}, {"IDVISUALIZA", "integer"}, {"DTULTATU", "string"}});
    answer["vigencias"] = packet(db,
        "SELECT DTINIVGPREC, DTFINVGPREC FROM TABEVEND WHERE CDFILIAL = ?1 AND CDTABEPREC = ?2",
        {branch, table}, {{"DTINIVGPREC", "date"}, {"DTFINVGPREC", "date"}});
    answer["feriados"] = packet(db,
        "SELECT CDFILIAL, DTFERIADO, NMFERIADO FROM FERIADO WHERE CDFILIAL IN (?1, 'T')",
        {branch}, {{"CDFILIAL", "string"}, {"DTFERIADO", "date"}, {"NMFERIADO", "string"}});
    answer["tipos"] = packet(db, "SELECT CDTIPOCONS, NMTIPOCONS FROM TIPOCONS", {},
                             {{"CDTIPOCONS", "string"}, {"NMTIPOCONS", "string"}});
    sqlite3_close(db);
    return answer;
}

json PriceSource::answer(const std::string& method, const json& params) {
    if (method.ends_with("GetDadosPreco")) {
        return page(params);
    }
    std::lock_guard lock(mutex_);
    if (!scripted_.empty()) {
        json next = std::move(scripted_.front());
        scripted_.erase(scripted_.begin());
        return next;
    }
    return changes(ate.load(), false, {});
}

void PriceSource::accept() {
    net_->socket = std::make_unique<tcp::socket>(net_->io);
    net_->buffer.consume(net_->buffer.size());
    net_->acceptor->async_accept(*net_->socket, [this](std::error_code e) {
        if (!e) {
            serve();
        }
    });
}

void PriceSource::serve() {
    asio::async_read_until(*net_->socket, net_->buffer, '\n', [this](std::error_code e, std::size_t n) {
        if (e) {
            if (net_->acceptor->is_open()) {
                accept();  // the till comes back on a new connection
            }
            return;
        }
        std::string line(asio::buffers_begin(net_->buffer.data()),
                         asio::buffers_begin(net_->buffer.data()) + static_cast<long>(n) - 1);
        net_->buffer.consume(n);
        const auto request = std::get<wire::Request>(wire::parseRequest(line));
        if (request.method.ends_with("GetDadosPreco") && ++pagesServed == failOnPage) {
            net_->socket->close();
            accept();
            return;
        }
        const std::string reply = wire::encodeResult(request.id, answer(request.method, request.params)) + "\n";
        asio::write(*net_->socket, asio::buffer(reply));
        serve();
    });
}

void PriceSource::start() {
    net_ = std::make_unique<Net>();
    net_->acceptor = std::make_unique<tcp::acceptor>(net_->io);
    const tcp::endpoint at(asio::ip::make_address("127.0.0.1"), static_cast<unsigned short>(port_));
    net_->acceptor->open(at.protocol());
    net_->acceptor->set_option(tcp::acceptor::reuse_address(true));
    net_->acceptor->bind(at);
    net_->acceptor->listen();
    port_ = net_->acceptor->local_endpoint().port();
    accept();
    thread_ = std::thread([this] { net_->io.run(); });
}

void PriceSource::stop() {
    if (!thread_.joinable()) {
        return;
    }
    asio::post(net_->io, [this] {
        std::error_code ignored;
        net_->acceptor->close(ignored);
        if (net_->socket) {
            net_->socket->close(ignored);
        }
    });
    thread_.join();
    net_.reset();
}

}  // namespace tilltest
