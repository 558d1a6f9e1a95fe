#include "protocol/AnswerReader.h"

#include <gtest/gtest.h>

#include <random>

#include "protocol/JsonRpc.h"
#include "protocol/ValueCodec.h"

namespace {

using nlohmann::json;

constexpr long long kId = 7;

// A typed packet of every cell kind, as the server writes it.
const std::string kPacket =
    R"({"$packet":{"fields":[{"name":"CDFILIAL","size":4,"type":"string"},)"
    R"({"name":"VR","size":0,"type":"number"},{"name":"NR","type":"integer"},)"
    R"({"name":"DT","type":"date"}],"rows":[["0001",12.5,3,{"$date":"2026-03-07"}],)"
    R"([null,null,null,null],["S\u00e3o \"P\"\n\\\/\ud83d\ude00 é",1e2,-17,null],)"
    R"(["x",0.1,123456789012345678901,{"$date":"2024-02-29"}]]}})";

// An explanation-like object: nested members, every kind of number, dates, a list.
const std::string kObject =
    R"({"base":34.45,"regras":[{"linha":{"A":"x","D":{"$date":"2026-02-28"}},"n":-3,)"
    R"("u":18446744073709551615,"f":1E5,"z":-0,"ok":true}],"nada":null,"\u0041":"\u00e9"})";

std::string answer(const std::string& result, long long id = kId) {
    return R"({"jsonrpc":"2.0","id":)" + std::to_string(id) + R"(,"result":)" + result + "}";
}

std::string page(const std::string& rows) { return answer(R"({"total":1000000,"rows":)" + rows + "}"); }

// The old reading of a line, then the same reading the screens took of a page.
void expectSame(const std::string& line) {
    SCOPED_TRACE(line);
    const wire::CallResult tree = wire::parseResponse(line, kId);
    const wire::CallResult plain = wire::readAnswer(line, kId);
    EXPECT_EQ(plain.ok, tree.ok);
    EXPECT_EQ(plain.errorCode, tree.errorCode);
    EXPECT_EQ(plain.errorMessage, tree.errorMessage);
    EXPECT_TRUE(plain.value == tree.value);

    std::optional<wire::DataPacket> rows;
    wire::CallResult paged = wire::readAnswer(line, kId, &rows);
    EXPECT_EQ(paged.errorMessage, tree.errorMessage);
    if (rows) {
        // The rows are the packet the tree held under "rows"; the rest of the object is
        // the tree's.
        json others = std::get<json>(tree.value);
        EXPECT_TRUE(wire::packetFromJson(others["rows"]) == *rows);
        others.erase("rows");
        EXPECT_EQ(std::get<json>(paged.value), others);
    } else {
        EXPECT_TRUE(paged.value == tree.value);
    }
}

class SameAsTheTree : public testing::TestWithParam<std::string> {};

TEST_P(SameAsTheTree, ValueCodeAndText) { expectSame(GetParam()); }

INSTANTIATE_TEST_SUITE_P(
    Answers, SameAsTheTree,
    testing::Values(
        // Plain answers: a packet, a page, other results.
        answer(kPacket), page(kPacket), answer(R"({"$packet":{"fields":[]}})"),
        answer(R"( { "$packet" : { "rows" : [ ] , "fields" : [ ] } } )"),
        answer(R"({"stored":3,"replaced":0})"), answer("null"), answer("true"), answer("-3"),
        answer("1.25"), answer(R"("texto")"), answer(R"({"$date":"2026-01-31"})"),
        page(R"({"$packet":{"fields":[{"name":"A"}],"rows":[["1"]],"extra":[1,{"b":null}]}})"),
        R"({"id":7,"result":[1,2],"jsonrpc":"2.0","other":{"x":[true,false]}})",
        answer(R"({"total":2})"), page("[]"), page(R"({"$packet":5})"),
        // Errors and answers the screens must refuse in the same words.
        R"({"jsonrpc":"2.0","id":7,"error":{"code":-32000,"message":"Filial não cadastrada."}})",
        R"({"jsonrpc":"2.0","id":null,"error":{"code":-32700,"message":"x"}})", answer(kPacket, 8),
        R"({"jsonrpc":"2.0","id":"7","result":1})", R"({"jsonrpc":"1.0","id":7,"result":1})",
        R"({"jsonrpc":"2.0","id":7})", R"({"jsonrpc":"2.0","id":7,"result":1,"error":{}})",
        answer(kPacket).substr(0, 120), answer(kPacket) + "x", "\xEF\xBB\xBF" + answer("1"), "", "[]",
        answer(R"({"$packet":{"fields":[{"name":"A"}],"rows":[["1","2"]]}})"),
        answer(R"({"$packet":{"fields":[{"name":"A"}],"rows":[[1]]}})"),
        answer(R"({"$packet":{"fields":[{"name":"A","type":"date"}],"rows":[[{"$date":"2026-02-30"}]]}})"),
        answer(R"({"$packet":{"fields":[{"name":"A","size":-1}]}})"),
        answer(R"({"$packet":{"fields":[{"name":"A","size":4.0}]}})"),
        answer(R"({"$packet":{"rows":[],"fields":[{"name":"A","name":"B"}]}})"),
        answer(R"({"$packet":{"fields":[{"name":"A"}]},"x":1})"),
        page(R"({"$packet":{"fields":[{"name":"A"}],"rows":[[true]]}})"),
        page(kPacket).replace(page(kPacket).find("\"total\""), 7, "\"rows\""),
        answer(R"({"$packet":{"fields":[{"name":"A","type":"number"}],"rows":[[1e400]]}})"),
        answer(R"({"$packet":{"fields":[{"name":"A"}],"rows":[["\ud800"]]}})"),
        answer("{\"$packet\":{\"fields\":[{\"name\":\"A\"}],\"rows\":[[\"\xC3\x28\"]]}}"),
        answer("{\"$packet\":{\"fields\":[{\"name\":\"A\"}],\"rows\":[[\"\xED\xA0\x80\"]]}}"),
        answer("{\"$packet\":{\"fields\":[{\"name\":\"A\"}],\"rows\":[[\"a\tb\"]]}}"),
        answer(std::string(40, '[') + std::string(40, ']')), answer("-0"), answer("1e400"),
        R"({"jsonrpc":"2.0","id":7,"result":1,"x":1e400})", answer(kObject), page(kObject),
        answer("[-9223372036854775809,18446744073709551616,1e-400,-0.0]"),
        answer(R"({"a":1,"a":{"b":2}})"), answer(R"({"$date":"2026-13-01"})")));

// Hostile lines: every answer above with bytes changed, cut or repeated at random.
TEST(AnswerReader, MangledAnswersReadAsTheTreeReadsThem) {
    const std::vector<std::string> seeds = {answer(kPacket), page(kPacket), answer(kObject)};
    const std::string alphabet = "{}[]\":,\\ 0-.eE9tnu$\x80\xC3\xED\xF4";
    std::mt19937 random(42);
    for (int round = 0; round < 4000; ++round) {
        std::string line = seeds[static_cast<std::size_t>(round) % seeds.size()];
        const int changes = 1 + static_cast<int>(random() % 3);
        for (int c = 0; c < changes; ++c) {
            const std::size_t at = random() % line.size();
            switch (random() % 3) {
                case 0: line[at] = alphabet[random() % alphabet.size()]; break;
                case 1: line.erase(at, 1 + random() % 4); break;
                default: line.insert(at, line.substr(at, 1 + random() % 6)); break;
            }
            if (line.empty()) line = "{";
        }
        expectSame(line);
        if (testing::Test::HasFailure()) break;
    }
}

}  // namespace
