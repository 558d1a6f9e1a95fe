// What counts as UTF-8 in the files and command lines the server takes text from.

#include <gtest/gtest.h>

#include "server/ops/Utf8Text.h"

namespace {

TEST(Utf8Text, CountsCharactersOfWellFormedTextOnly) {
    const struct {
        const char* name;
        std::string_view text;
        std::optional<std::size_t> characters;
    } cases[] = {
        {"plain", "Tiradentes", 10},
        {"accented", "S\xC3\xA3o Jos\xC3\xA9", 8},
        {"four_bytes", "\xF0\x9F\x8E\x89", 1},
        {"latin1", "S\xE3o Jos\xE9", std::nullopt},
        {"cut_short", "S\xC3", std::nullopt},
        {"overlong_slash", "\xC0\xAF", std::nullopt},
        {"overlong_three_bytes", "\xE0\x80\xAF", std::nullopt},
        {"surrogate", "\xED\xA0\x80", std::nullopt},
        {"past_the_last_code_point", "\xF4\x90\x80\x80", std::nullopt},
        {"lone_continuation", "\x80", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(server::utf8Characters(c.text), c.characters) << c.name;
    }
}

}  // namespace
