// The packet written as text must be, byte for byte, the JSON tree of the same cells as
// the answer line writes it: callers and the screen see no difference.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "protocol/ValueCodec.h"
#include "server/methods/PacketBuilder.h"

namespace {

using nlohmann::json;
using server::CellType;
using server::PacketBuilder;

// One cell, added to the builder and to the tree the same way.
struct Cell {
    CellType type;
    json value;  // null for a null cell
};

json fieldsJson(const std::vector<server::PacketField>& fields) {
    json out = json::array();
    for (const auto& f : fields) {
        const char* type = f.type == CellType::Text      ? "string"
                           : f.type == CellType::Date    ? "date"
                           : f.type == CellType::Integer ? "integer"
                                                         : "number";
        out.push_back({{"name", f.name}, {"type", type}, {"size", f.size}});
    }
    return out;
}

TEST(PacketBuilder, WritesTheTextTheJsonTreeDumpsTo) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<std::vector<Cell>> rows = {
        {{CellType::Text, "0000000001"}, {CellType::Number, 33.18}, {CellType::Integer, 0}},
        {{CellType::Text, "aspas \" e barra \\"}, {CellType::Number, 100.0}, {CellType::Integer, -5}},
        {{CellType::Text, "Pão de açúcar"}, {CellType::Number, -0.0}, {CellType::Integer, 1}},
        {{CellType::Text, "linha\nnova\t\x01\x7f"}, {CellType::Number, 0.1 + 0.2},
         {CellType::Integer, std::numeric_limits<long long>::max()}},
        {{CellType::Text, std::string("inv\xff\xfe\xc3lido")}, {CellType::Number, 1e20},
         {CellType::Integer, std::numeric_limits<long long>::min()}},
        {{CellType::Text, ""}, {CellType::Number, 1.5e-7}, {CellType::Integer, nullptr}},
        {{CellType::Date, "2026-02-16"}, {CellType::Number, nullptr}, {CellType::Integer, 7}},
        {{CellType::Text, nullptr}, {CellType::Number, 123456789012345678.0}, {CellType::Integer, 2}},
        {{CellType::Text, "x"}, {CellType::Number, 0.005}, {CellType::Integer, 3}},
        // Well-formed UTF-8 is copied; every malformed sequence is the library's to replace.
        {{CellType::Text, "DEL \x7f e p\xc3\xa3o \xf0\x9f\x8d\x9e"}, {CellType::Number, 1.0},
         {CellType::Integer, 4}},
        {{CellType::Text, std::string("longo \xc0\xaf")}, {CellType::Number, 2.0}, {CellType::Integer, 5}},
        {{CellType::Text, std::string("metade \xed\xa0\x80")}, {CellType::Number, 3.0},
         {CellType::Integer, 6}},
        {{CellType::Text, std::string("cortado \xe3\x81")}, {CellType::Number, 4.0}, {CellType::Integer, 8}},
        {{CellType::Text, std::string("alto \xf4\x90\x80\x80")}, {CellType::Number, 5.0},
         {CellType::Integer, 9}},
    };
    const std::vector<server::PacketField> fields = {
        {"NOME", CellType::Text, 50}, {"VALOR", CellType::Number}, {"FLAG", CellType::Integer}};
    PacketBuilder builder(fields);
    json treeRows = json::array();
    for (const auto& row : rows) {
        builder.row();
        json treeRow = json::array();
        for (const Cell& c : row) {
            if (c.value.is_null()) {
                builder.null();
                treeRow.push_back(nullptr);
            } else if (c.type == CellType::Date) {
                builder.date(c.value.get<std::string>());
                treeRow.push_back({{"$date", c.value}});
            } else if (c.type == CellType::Text) {
                builder.text(c.value.get<std::string>());
                treeRow.push_back(c.value);
            } else if (c.type == CellType::Integer) {
                builder.integer(c.value.get<long long>());
                treeRow.push_back(c.value);
            } else {
                builder.number(c.value.get<double>());
                treeRow.push_back(c.value);
            }
        }
        treeRows.push_back(std::move(treeRow));
    }
    // Numbers a JSON tree cannot hold as numbers are written null, as its dump writes them.
    builder.row().text("nan").number(nan).integer(0);
    builder.row().text("inf").number(-inf).integer(0);
    treeRows.push_back({"nan", nan, 0});
    treeRows.push_back({"inf", -inf, 0});
    const json tree = {{"$packet", {{"fields", fieldsJson(fields)}, {"rows", treeRows}}}};
    EXPECT_EQ(builder.rows(), rows.size() + 2);
    EXPECT_EQ(builder.takeText(), wire::dumpJson(tree));
    // Taken, the builder is empty again.
    EXPECT_EQ(builder.rows(), 0u);
    const json empty = {{"$packet", {{"fields", fieldsJson(fields)}, {"rows", json::array()}}}};
    EXPECT_EQ(builder.takeText(), wire::dumpJson(empty));
    builder.row().text("a").number(1.25).integer(1);
    EXPECT_EQ(builder.take(), json({{"$packet",
                                     {{"fields", fieldsJson(fields)},
                                      {"rows", json::array({json::array({"a", 1.25, 1})})}}}}));
}

}  // namespace
