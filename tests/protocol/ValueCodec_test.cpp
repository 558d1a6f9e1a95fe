#include "protocol/ValueCodec.h"

#include <gtest/gtest.h>

namespace {

using nlohmann::json;
using wire::Value;

wire::DataPacket samplePacket() {
    wire::DataPacket p;
    p.fields = {{"CDFILIAL", "string", 4}, {"NMFILIAL", "string", 30}};
    p.rows = {{"0001", "Loja Centro"}, {"0003", std::nullopt}, {"", "Depósito Sul"}};
    return p;
}

struct EncodingCase {
    const char* name;
    Value value;
    const char* json;
};

class Encoding : public testing::TestWithParam<EncodingCase> {};

TEST_P(Encoding, WritesTheFixedFormAndReadsItBack) {
    const EncodingCase& c = GetParam();
    EXPECT_EQ(wire::dumpJson(wire::toJson(c.value)), c.json);
    EXPECT_EQ(wire::fromJson(json::parse(c.json)), c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Encoding,
    testing::Values(
        EncodingCase{"empty_variant", Value{}, "null"},
        EncodingCase{"true", Value{true}, "true"}, EncodingCase{"false", Value{false}, "false"},
        EncodingCase{"integer", Value{std::int64_t{-12}}, "-12"},
        EncodingCase{"double", Value{12.5}, "12.5"},
        EncodingCase{"whole_double_stays_double", Value{10.0}, "10.0"},
        EncodingCase{"string", Value{std::string("Feijão \"1\"")}, "\"Feijão \\\"1\\\"\""},
        EncodingCase{"date", Value{wire::Date{2026, 3, 7}}, "{\"$date\":\"2026-03-07\"}"},
        EncodingCase{"packet", Value{samplePacket()},
                     "{\"$packet\":{\"fields\":[{\"name\":\"CDFILIAL\",\"size\":4,\"type\":"
                     "\"string\"},{\"name\":\"NMFILIAL\",\"size\":30,\"type\":\"string\"}],"
                     "\"rows\":[[\"0001\",\"Loja Centro\"],[\"0003\",null],[\"\",\"Depósito "
                     "Sul\"]]}}"},
        EncodingCase{"empty_packet", Value{wire::DataPacket{}},
                     "{\"$packet\":{\"fields\":[],\"rows\":[]}}"},
        EncodingCase{"other_object_stays_json", Value{json{{"stored", 2}, {"replaced", 1}}},
                     "{\"replaced\":1,\"stored\":2}"}),
    [](const testing::TestParamInfo<EncodingCase>& p) { return p.param.name; });

TEST(ValueCodec, RefusesMalformedDatesAndPackets) {
    const char* bad[] = {
        R"({"$date":"2026-02-30"})",
        R"({"$date":20260307})",
        R"({"$date":"07/03/2026"})",
        R"({"$packet":[]})",
        R"({"$packet":{"rows":[]}})",
        R"({"$packet":{"fields":[{"size":4}],"rows":[]}})",
        R"({"$packet":{"fields":[{"name":"A","size":-1}],"rows":[]}})",
        R"({"$packet":{"fields":[{"name":"A"}],"rows":[["x","y"]]}})",
        R"({"$packet":{"fields":[{"name":"A"}],"rows":[[1]]}})",
        R"({"$packet":{"fields":[{"name":"A"}],"rows":"x"}})",
    };
    for (const char* text : bad) {
        EXPECT_THROW(wire::fromJson(json::parse(text)), wire::CodecError) << text;
    }
}

TEST(ValueCodec, PacketFieldsDefaultToTextOfFreeWidth) {
    const auto packet =
        wire::packetFromJson(json::parse(R"({"$packet":{"fields":[{"name":"CDPRODUTO"}]}})"));
    ASSERT_EQ(packet.fields.size(), 1u);
    EXPECT_EQ(packet.fields[0], (wire::FieldDesc{"CDPRODUTO", "string", 0}));
    EXPECT_TRUE(packet.rows.empty());
    EXPECT_EQ(packet.fieldIndex("CDPRODUTO"), 0);
    EXPECT_EQ(packet.fieldIndex("cdproduto"), -1);
}

TEST(ValueCodec, InvalidUtf8IsWrittenNotThrown) {
    EXPECT_NO_THROW(wire::dumpJson(wire::toJson(Value{std::string("ab\xff")})));
}

}  // namespace
