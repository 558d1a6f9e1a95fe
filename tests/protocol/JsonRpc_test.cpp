#include "protocol/JsonRpc.h"

#include <gtest/gtest.h>

namespace {

using nlohmann::json;
namespace rpc = wire::rpc;

struct BadRequestCase {
    const char* name;
    const char* line;
    int code;
    json id;
};

class BadRequest : public testing::TestWithParam<BadRequestCase> {};

TEST_P(BadRequest, GetsItsJsonRpcError) {
    const BadRequestCase& c = GetParam();
    auto parsed = wire::parseRequest(c.line);
    ASSERT_TRUE(std::holds_alternative<wire::RequestError>(parsed));
    const auto& error = std::get<wire::RequestError>(parsed);
    EXPECT_EQ(error.code, c.code);
    EXPECT_EQ(error.id, c.id);
    EXPECT_FALSE(error.message.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadRequest,
    testing::Values(
        BadRequestCase{"malformed", "{\"jsonrpc\":\"2.0\",", rpc::kParseError, nullptr},
        BadRequestCase{"empty", "", rpc::kParseError, nullptr},
        BadRequestCase{"not_an_object", "42", rpc::kInvalidRequest, nullptr},
        BadRequestCase{"batch", "[{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"a\"}]",
                       rpc::kInvalidRequest, nullptr},
        BadRequestCase{"id_of_wrong_type", R"({"jsonrpc":"2.0","id":[1],"method":"a"})",
                       rpc::kInvalidRequest, nullptr},
        BadRequestCase{"no_version", R"({"id":7,"method":"a"})", rpc::kInvalidRequest, 7},
        BadRequestCase{"old_version", R"({"jsonrpc":"1.0","id":7,"method":"a"})",
                       rpc::kInvalidRequest, 7},
        BadRequestCase{"no_method", R"({"jsonrpc":"2.0","id":"x"})", rpc::kInvalidRequest,
                       "x"},
        BadRequestCase{"method_not_text", R"({"jsonrpc":"2.0","id":1,"method":5})",
                       rpc::kInvalidRequest, 1},
        BadRequestCase{"named_params", R"({"jsonrpc":"2.0","id":1,"method":"a","params":{}})",
                       rpc::kInvalidParams, 1}),
    [](const testing::TestParamInfo<BadRequestCase>& p) { return p.param.name; });

TEST(JsonRpc, RequestRoundTrip) {
    const std::string line = wire::encodeRequest(3, "Vnd42400.rdmTabePreco.GetFilial",
                                                 json::array({"0001", ""}));
    EXPECT_EQ(line.find('\n'), std::string::npos);
    auto parsed = wire::parseRequest(line);
    ASSERT_TRUE(std::holds_alternative<wire::Request>(parsed));
    const auto& request = std::get<wire::Request>(parsed);
    EXPECT_EQ(request.id, 3);
    EXPECT_FALSE(request.notification);
    EXPECT_EQ(request.method, "Vnd42400.rdmTabePreco.GetFilial");
    EXPECT_EQ(request.params, json::array({"0001", ""}));
}

TEST(JsonRpc, AbsentParamsAndIdMakeAnEmptyNotification) {
    auto parsed = wire::parseRequest(R"({"jsonrpc":"2.0","method":"a"})");
    ASSERT_TRUE(std::holds_alternative<wire::Request>(parsed));
    EXPECT_TRUE(std::get<wire::Request>(parsed).notification);
    EXPECT_EQ(std::get<wire::Request>(parsed).params, json::array());
}

TEST(JsonRpc, ResponsesGiveTheValueOrTheServersMessage) {
    auto ok = wire::parseResponse(wire::encodeResult(5, {{"$date", "2026-01-01"}}), 5);
    ASSERT_TRUE(ok.ok);
    EXPECT_EQ(ok.value, wire::Value(wire::Date{2026, 1, 1}));

    auto refused = wire::parseResponse(
        wire::encodeError(5, rpc::kRefused, "Filial 0009 não cadastrada."), 5);
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.errorCode, rpc::kRefused);
    EXPECT_EQ(refused.errorMessage, "Filial 0009 não cadastrada.");

    // An error about a request the server could not read comes back with a null id.
    auto unreadable = wire::parseResponse(wire::encodeError(nullptr, rpc::kParseError, "x"), 5);
    EXPECT_EQ(unreadable.errorCode, rpc::kParseError);
    EXPECT_EQ(unreadable.errorMessage, "x");
}

TEST(JsonRpc, MalformedResponsesAreFailuresNotCrashes) {
    const char* bad[] = {
        "not json",
        R"({"jsonrpc":"2.0","id":5})",
        R"({"jsonrpc":"2.0","id":6,"result":1})",
        R"({"jsonrpc":"2.0","id":5,"result":1,"error":{"message":"x"}})",
        R"({"jsonrpc":"2.0","id":5,"error":{"code":1}})",
        R"({"jsonrpc":"2.0","id":5,"result":{"$date":"2026-02-30"}})",
        R"([1,2])",
    };
    for (const char* line : bad) {
        const auto result = wire::parseResponse(line, 5);
        EXPECT_FALSE(result.ok) << line;
        EXPECT_EQ(result.errorCode, rpc::kParseError) << line;
        EXPECT_NE(result.errorMessage.find("Resposta inválida"), std::string::npos) << line;
    }
}

}  // namespace
