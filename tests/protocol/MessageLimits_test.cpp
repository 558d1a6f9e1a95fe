// Messages nested past the limit are refused before anything walks them; legitimate
// messages of the protocol stay well inside it.

#include <gtest/gtest.h>

#include "protocol/JsonRpc.h"

namespace {

using nlohmann::json;

std::string nested(std::size_t depth, char open, char close) {
    return std::string(depth, open) + std::string(depth, close);
}

struct DepthCase {
    const char* name;
    std::string text;
    std::size_t depth;
};

class JsonDepth : public testing::TestWithParam<DepthCase> {};

TEST_P(JsonDepth, CountsOnlyBracketsOutsideStrings) {
    EXPECT_EQ(wire::jsonDepth(GetParam().text), GetParam().depth);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JsonDepth,
    testing::Values(DepthCase{"scalar", "42", 0}, DepthCase{"flat", R"({"a":[1,2]})", 2},
                    DepthCase{"brackets_in_strings", R"(["[[[{{{", "\"[["])", 1},
                    DepthCase{"escaped_backslash_ends_string", R"(["\\", [[]]])", 3},
                    DepthCase{"unbalanced_closers", "]]]}[", 1},
                    DepthCase{"deep_arrays", nested(1000, '[', ']'), 1000}),
    [](const testing::TestParamInfo<DepthCase>& p) { return p.param.name; });

std::string requestWithParam(const std::string& param) {
    return R"({"jsonrpc":"2.0","id":9,"method":"m","params":[)" + param + "]}";
}

TEST(MessageDepth, ARequestPastTheLimitIsRefusedWithoutAnId) {
    const std::string line = requestWithParam(nested(wire::kMaxJsonDepth, '[', ']'));
    auto parsed = wire::parseRequest(line);
    ASSERT_TRUE(std::holds_alternative<wire::RequestError>(parsed));
    EXPECT_EQ(std::get<wire::RequestError>(parsed).code, wire::rpc::kInvalidRequest);
    EXPECT_NE(std::get<wire::RequestError>(parsed).message.find("aninhamento"),
              std::string::npos);
}

TEST(MessageDepth, ARequestAtTheLimitIsRead) {
    // Two levels for the request object and its params array.
    const std::string line = requestWithParam(nested(wire::kMaxJsonDepth - 2, '[', ']'));
    EXPECT_TRUE(std::holds_alternative<wire::Request>(wire::parseRequest(line)));
}

TEST(MessageDepth, AMillionOpenBracketsNeverReachTheParser) {
    auto parsed = wire::parseRequest(std::string(1'000'000, '['));
    ASSERT_TRUE(std::holds_alternative<wire::RequestError>(parsed));
    EXPECT_EQ(std::get<wire::RequestError>(parsed).code, wire::rpc::kInvalidRequest);
}

TEST(MessageDepth, AnAnswerPastTheLimitIsAMalformedAnswer) {
    const std::string line =
        R"({"jsonrpc":"2.0","id":1,"result":)" + nested(100, '[', ']') + "}";
    const wire::CallResult result = wire::parseResponse(line, 1);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errorCode, wire::rpc::kParseError);
}

TEST(MessageNumbers, ANumberBeyondADoubleIsAParseErrorNotAnException) {
    auto parsed = wire::parseRequest(R"({"jsonrpc":"2.0","id":1,"method":"m","params":[1e400]})");
    ASSERT_TRUE(std::holds_alternative<wire::RequestError>(parsed));
    EXPECT_EQ(std::get<wire::RequestError>(parsed).code, wire::rpc::kParseError);
    EXPECT_FALSE(wire::parseResponse(R"({"jsonrpc":"2.0","id":1,"result":-1e999})", 1).ok);
}

TEST(MessageText, InvalidUtf8InAStringIsAParseError) {
    auto parsed = wire::parseRequest("{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"\xff\xfe\"}");
    ASSERT_TRUE(std::holds_alternative<wire::RequestError>(parsed));
    EXPECT_EQ(std::get<wire::RequestError>(parsed).code, wire::rpc::kParseError);
    // The error text quotes the bad bytes; the answer line must still be valid UTF-8 JSON.
    const std::string answer = wire::encodeError(nullptr, wire::rpc::kParseError,
                                                 std::get<wire::RequestError>(parsed).message);
    EXPECT_TRUE(json::accept(answer));
}

}  // namespace
