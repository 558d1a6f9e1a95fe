// Request lines in, answer lines out: every malformed or unknown call gets its JSON-RPC
// error, without sockets.

#include <gtest/gtest.h>

#include "RuleArguments.h"
#include "TestDatabase.h"
#include "protocol/JsonRpc.h"
#include "server/rpc/Dispatcher.h"
#include "server/cli/DatabaseInit.h"
#include "server/store/StoreFactory.h"

namespace {

using nlohmann::json;
namespace rpc = wire::rpc;

class DispatcherTest : public testing::Test {
protected:
    void SetUp() override {
        server::initDatabase(db_.url(), true, 20);
        service_ = std::make_unique<server::PriceService>(server::openStore(db_.url()));
        dispatcher_ = std::make_unique<server::Dispatcher>(*service_);
    }

    json answer(const std::string& line) {
        auto text = dispatcher_->handle(line);
        EXPECT_TRUE(text.has_value()) << line;
        return text ? json::parse(*text) : json();
    }
    static std::string request(const std::string& method, const json& params, json id = 1) {
        return json{{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}}.dump();
    }

    testdb::TestDatabase db_{testdb::Backend::Sqlite};
    std::unique_ptr<server::PriceService> service_;
    std::unique_ptr<server::Dispatcher> dispatcher_;
};

TEST_F(DispatcherTest, BadCallsGetTheirErrors) {
    struct Case {
        std::string line;
        int code;
        const char* message;
    };
    const std::string object = "Vnd42400.rdmTabePreco.";
    const Case cases[] = {
        {"{not json", rpc::kParseError, "JSON inválido"},
        {"[]", rpc::kInvalidRequest, "lote de chamadas vazio"},
        {R"({"jsonrpc":"2.0","id":1})", rpc::kInvalidRequest, "método não informado"},
        {request("Vnd99999.rdmOutro.GetFilial", json::array()), rpc::kMethodNotFound,
         "Objeto remoto desconhecido: \"Vnd99999.rdmOutro\""},
        {request("GetFilial", json::array()), rpc::kMethodNotFound, "Objeto remoto desconhecido"},
        {request(object + "DelPrecDifs", json::array()), rpc::kMethodNotFound,
         "Método desconhecido: \"DelPrecDifs\""},
        {request(object + "GetFilial", json::array({"0001"})), rpc::kInvalidParams,
         "GetFilial espera 2 argumentos; recebeu 1"},
        {request(object + "GetFilial", json::array({1, ""})), rpc::kInvalidParams,
         "GetFilial: o argumento 1 (filial) deve ser texto."},
        {request(object + "GetTabePrec", json::array({nullptr})), rpc::kInvalidParams,
         "argumento 1 (filial) deve ser texto"},
        {request(object + "getVigencia", json::array({"0001", "001", "0", "T", "dd/mm/yyyy"})),
         rpc::kInvalidParams, "argumento 3 (início da vigência) deve ser uma data ou um inteiro"},
        {request(object + "GetPrecDif",
                 json::array({"0001", "001", nullptr, "", "", "", "", nullptr, 0, "10"})),
         rpc::kInvalidParams, "GetPrecDif: o argumento 10 (quantidade) deve ser inteiro."},
        {request(object + "GetPrecoVigente",
                 json::array({"0001", "001", std::string(65, '9'), "", nullptr, "10:00"})),
         rpc::kInvalidParams, "argumento 3 (produto) passa de 64 caracteres"},
        {request(object + "getVigencia", json::array({"0001", "001", 0, "T", "xx"})),
         rpc::kInvalidParams, "formato de data inválido"},
        {request(object + "getVigencia", json::array({"0001", "001", 99999999, "", "dd/mm/yyyy"})),
         rpc::kInvalidParams, "fora das datas possíveis"},
        {request(object + "SetPrecDif", json::array()), rpc::kInvalidParams,
         "SetPrecDif espera 29 argumentos; recebeu 0"},
    };
    for (const Case& c : cases) {
        const json reply = answer(c.line);
        ASSERT_TRUE(reply.contains("error")) << c.line;
        EXPECT_EQ(reply["error"]["code"], c.code) << c.line;
        EXPECT_NE(reply["error"]["message"].get<std::string>().find(c.message), std::string::npos)
            << reply.dump();
    }
    EXPECT_EQ(service_->countRules(), 0);
}

TEST_F(DispatcherTest, AnswersCarryTheRequestsId) {
    const json reply =
        answer(request("Vnd42400.rdmTabePreco.GetTabePrec", json::array({"0001"}), "abc"));
    EXPECT_EQ(reply["id"], "abc");
    EXPECT_EQ(reply["jsonrpc"], "2.0");
    EXPECT_TRUE(reply["result"].contains("$packet"));
}

TEST_F(DispatcherTest, NamesAreMatchedWithoutRegardToCase) {
    const json reply =
        answer(request("VND42400.RDMTABEPRECO.GETFILIAL", json::array({"0001", ""})));
    EXPECT_TRUE(reply.contains("result")) << reply.dump();
}

TEST_F(DispatcherTest, NotificationsGetNoAnswer) {
    EXPECT_FALSE(dispatcher_->handle(
        R"({"jsonrpc":"2.0","method":"Vnd42400.rdmTabePreco.GetTabePrec","params":["0001"]})"));
}

TEST_F(DispatcherTest, FailNextRefusesOnceAndStoresNothing) {
    dispatcher_->failNext("SetPrecDif", "Servidor em manutenção.");
    const std::string call = request("Vnd42400.rdmTabePreco.SetPrecDif", testdb::baseRule());
    const json refused = answer(call);
    EXPECT_EQ(refused["error"]["message"], "Servidor em manutenção.");
    EXPECT_EQ(service_->countRules(), 0);
    const json stored = answer(call);
    EXPECT_EQ(stored["result"]["stored"], 20);
}

TEST_F(DispatcherTest, OversizedFrameAnswerNamesTheLimit) {
    const json reply = json::parse(server::Dispatcher::oversized(1024));
    EXPECT_EQ(reply["error"]["code"], rpc::kInvalidRequest);
    EXPECT_EQ(reply["id"], nullptr);
    EXPECT_NE(reply["error"]["message"].get<std::string>().find("1024"), std::string::npos);
}

}  // namespace
