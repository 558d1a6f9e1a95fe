#include "text/MaskEngine.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

using vol::MaskEngine;

// The masks the price-rule screen and its date edits use.
constexpr const char* kBranch = ">aaaa;0; ";
constexpr const char* kPriceTable = "999;1; ";
constexpr const char* kTime = "!99:99;1; ";
constexpr const char* kProduct = "99.99.999;0; ";
constexpr const char* kDate = "!99/99/9999;1; ";

// ---- Compiling a mask -------------------------------------------------------------

struct ShapeCase {
    const char* mask;
    int length;
    bool saveLiterals;
    const char* blank;
};
std::ostream& operator<<(std::ostream& os, const ShapeCase& c) { return os << '"' << c.mask << '"'; }

class MaskShape : public testing::TestWithParam<ShapeCase> {};

TEST_P(MaskShape, LengthLiteralsAndBlankText) {
    const ShapeCase& c = GetParam();
    const MaskEngine m(c.mask);
    EXPECT_EQ(m.length(), c.length);
    EXPECT_EQ(m.empty(), c.length == 0);
    EXPECT_EQ(m.saveLiterals(), c.saveLiterals);
    EXPECT_EQ(m.blankEditText(), c.blank);
    EXPECT_EQ(m.mask(), c.mask);
}

INSTANTIATE_TEST_SUITE_P(Masks, MaskShape, testing::Values(
    ShapeCase{"", 0, true, ""},
    ShapeCase{kBranch, 4, false, "    "},
    ShapeCase{kPriceTable, 3, true, "   "},
    ShapeCase{kTime, 5, true, "  :  "},
    ShapeCase{kProduct, 9, false, "  .  .   "},
    ShapeCase{kDate, 10, true, "  /  /    "},
    ShapeCase{"999", 3, true, "___"},               // no fields: literals saved, '_' blank
    ShapeCase{"99\\;99;1;_", 5, true, "__;__"},     // escaped ';' stays in the picture
    ShapeCase{"\\999;0;*", 3, false, "9**"},        // escaped '9' is a literal
    ShapeCase{"(999)>L<>l;1;_", 7, true, "(___)__"}));

TEST(MaskEngine, LiteralPositions) {
    const MaskEngine m(kProduct);
    for (int pos : {-1, 0, 1, 3, 9}) EXPECT_FALSE(m.isLiteral(pos)) << pos;
    for (int pos : {2, 5}) EXPECT_TRUE(m.isLiteral(pos)) << pos;
}

// ---- Typing into an empty edit ----------------------------------------------------

// Keys typed one by one from an empty edit with the caret at 0; refused keys are skipped
// by the edit, as they are when the user types them.
struct TypingCase {
    const char* mask;
    const char* keys;
    const char* editText;
    const char* text;
    const char* rawText;
};
std::ostream& operator<<(std::ostream& os, const TypingCase& c) {
    return os << '"' << c.mask << "\" keys \"" << c.keys << '"';
}

class MaskTyping : public testing::TestWithParam<TypingCase> {};

TEST_P(MaskTyping, EditTextAndReadings) {
    const TypingCase& c = GetParam();
    const MaskEngine m(c.mask);
    std::string edit = m.blankEditText();
    int caret = 0;
    for (const char* k = c.keys; *k; ++k) {
        const MaskEngine::Edit e = m.typeChar(edit, caret, *k);
        if (!e.accepted) {
            EXPECT_EQ(e.editText, edit);
            EXPECT_EQ(e.caret, caret);
        }
        edit = e.editText;
        caret = e.caret;
    }
    EXPECT_EQ(edit, c.editText);
    EXPECT_EQ(m.text(edit), c.text);
    EXPECT_EQ(m.rawText(edit), c.rawText);
}

INSTANTIATE_TEST_SUITE_P(Branch, MaskTyping, testing::Values(
    TypingCase{kBranch, "", "    ", "", ""},
    TypingCase{kBranch, "ab1", "AB1 ", "AB1", "AB1"},
    TypingCase{kBranch, "0001x", "0001", "0001", "0001"},  // a 5th character is refused
    TypingCase{kBranch, "a-b ", "AB  ", "AB", "AB"},       // sign and blank refused
    TypingCase{kBranch, "s\xC3\xA3o", "SO  ", "SO", "SO"}));  // no half of a UTF-8 letter

INSTANTIATE_TEST_SUITE_P(PriceTable, MaskTyping, testing::Values(
    TypingCase{kPriceTable, "", "   ", "   ", ""},
    TypingCase{kPriceTable, "1", "1  ", "1  ", "1"},
    TypingCase{kPriceTable, "0a1b2", "012", "012", "012"},
    TypingCase{kPriceTable, "1234", "123", "123", "123"}));

INSTANTIATE_TEST_SUITE_P(Time, MaskTyping, testing::Values(
    TypingCase{kTime, "", "  :  ", "  :  ", ""},
    TypingCase{kTime, "8", "8 :  ", "8 :  ", "8"},
    TypingCase{kTime, "0830", "08:30", "08:30", "0830"},
    TypingCase{kTime, "08:30", "08:30", "08:30", "0830"},
    TypingCase{kTime, "2x5:h00", "25:00", "25:00", "2500"},
    TypingCase{kTime, "083000", "08:30", "08:30", "0830"}));

INSTANTIATE_TEST_SUITE_P(ProductCode, MaskTyping, testing::Values(
    TypingCase{kProduct, "0101001", "01.01.001", "0101001", "0101001"},
    TypingCase{kProduct, "01.01.001", "01.01.001", "0101001", "0101001"},
    TypingCase{kProduct, "0101", "01.01.   ", "0101", "0101"},
    TypingCase{kProduct, "", "  .  .   ", "", ""}));

INSTANTIATE_TEST_SUITE_P(Date, MaskTyping, testing::Values(
    TypingCase{kDate, "07032026", "07/03/2026", "07/03/2026", "07032026"},
    TypingCase{kDate, "07/03/2026", "07/03/2026", "07/03/2026", "07032026"},
    TypingCase{kDate, "0703", "07/03/    ", "07/03/    ", "0703"}));

INSTANTIATE_TEST_SUITE_P(OtherPlaces, MaskTyping, testing::Values(
    TypingCase{"<lll;1;_", "AB1C", "abc", "abc", "abc"},    // digits refused, lower case forced
    TypingCase{">l<>l;1;_", "ab", "Ab", "Ab", "Ab"},        // "<>" ends the forcing
    TypingCase{"#99;1;_", "-12", "-12", "-12", "-12"},
    TypingCase{"\\999;1;_", "45", "945", "945", "45"},      // an escaped 9 is a literal
    TypingCase{"99:99;1;_", "1", "1_:__", "1 :  ", "1"},    // unfilled places read as blanks
    TypingCase{"99.99;0;_", "1", "1_.__", "1", "1"}));

// ---- Single edits at a caret ------------------------------------------------------

enum class Op { Type, Backspace, Delete, Clear };
struct EditCase {
    const char* mask;
    const char* editText;
    Op op;
    int caret;   // the caret, or "from" for Clear
    int arg;     // the key for Type, "to" for Clear
    const char* expected;
    int expectedCaret;
    bool accepted;
};
std::ostream& operator<<(std::ostream& os, const EditCase& c) {
    return os << '"' << c.mask << "\" on \"" << c.editText << "\" op " << static_cast<int>(c.op) << " at " << c.caret;
}

class MaskEdit : public testing::TestWithParam<EditCase> {};

TEST_P(MaskEdit, ResultAndCaret) {
    const EditCase& c = GetParam();
    const MaskEngine m(c.mask);
    MaskEngine::Edit e;
    switch (c.op) {
    case Op::Type: e = m.typeChar(c.editText, c.caret, static_cast<char>(c.arg)); break;
    case Op::Backspace: e = m.backspace(c.editText, c.caret); break;
    case Op::Delete: e = m.deleteForward(c.editText, c.caret); break;
    case Op::Clear: e = m.clearRange(c.editText, c.caret, c.arg); break;
    }
    EXPECT_EQ(e.editText, c.expected);
    EXPECT_EQ(e.caret, c.expectedCaret);
    EXPECT_EQ(e.accepted, c.accepted);
}

INSTANTIATE_TEST_SUITE_P(Overtype, MaskEdit, testing::Values(
    EditCase{kTime, "08:30", Op::Type, 0, '1', "18:30", 1, true},
    EditCase{kTime, "08:30", Op::Type, 2, '4', "08:40", 4, true},   // caret on the colon
    EditCase{kTime, "08:30", Op::Type, 2, ':', "08:30", 3, true},   // the literal moves past it
    EditCase{kTime, "08:30", Op::Type, 5, '1', "08:30", 5, false},  // past the end
    EditCase{kTime, "08:30", Op::Type, 1, 'x', "08:30", 1, false},
    EditCase{kTime, "08:30", Op::Type, -3, '1', "18:30", 1, true},  // caret clamped
    EditCase{kTime, "08", Op::Type, 2, '3', "08:3 ", 4, true},      // short text made whole
    EditCase{kBranch, "ABCD", Op::Type, 1, 'x', "AXCD", 2, true},
    EditCase{kProduct, "01.01.001", Op::Type, 5, '9', "01.01.901", 7, true},
    EditCase{"", "ab", Op::Type, 1, 'x', "ax", 2, true},            // unmasked edit
    EditCase{"", "ab", Op::Type, 9, 'x', "abx", 3, true}));

INSTANTIATE_TEST_SUITE_P(Erase, MaskEdit, testing::Values(
    EditCase{kTime, "08:30", Op::Backspace, 5, 0, "08:3 ", 4, true},
    EditCase{kTime, "08:30", Op::Backspace, 3, 0, "0 :30", 1, true},  // skips the colon
    EditCase{kTime, "08:30", Op::Backspace, 0, 0, "08:30", 0, false},
    EditCase{kTime, "08:30", Op::Delete, 0, 0, " 8:30", 0, true},
    EditCase{kTime, "08:30", Op::Delete, 2, 0, "08: 0", 2, true},     // reaches past the colon
    EditCase{kTime, "08:30", Op::Delete, 5, 0, "08:30", 5, false},
    EditCase{kTime, "08:30", Op::Clear, 1, 4, "0 : 0", 1, true},
    EditCase{kTime, "08:30", Op::Clear, 4, 1, "0 : 0", 1, true},      // reversed range
    EditCase{kTime, "08:30", Op::Clear, 0, 99, "  :  ", 0, true},
    EditCase{kProduct, "01.01.001", Op::Backspace, 6, 0, "01.0 .001", 4, true},
    EditCase{"", "abc", Op::Backspace, 2, 0, "ac", 1, true},
    EditCase{"", "abc", Op::Delete, 0, 0, "bc", 0, true},
    EditCase{"", "abc", Op::Clear, 1, 3, "a", 1, true}));

// ---- Text written by code ---------------------------------------------------------

struct FromTextCase {
    const char* mask;
    const char* text;
    const char* editText;
    const char* readBack;  // text() of the resulting edit text
};
std::ostream& operator<<(std::ostream& os, const FromTextCase& c) {
    return os << '"' << c.mask << "\" from \"" << c.text << '"';
}

class MaskFromText : public testing::TestWithParam<FromTextCase> {};

TEST_P(MaskFromText, EditTextAndReadBack) {
    const FromTextCase& c = GetParam();
    const MaskEngine m(c.mask);
    const std::string edit = m.editTextFromText(c.text);
    EXPECT_EQ(edit, c.editText);
    EXPECT_EQ(m.text(edit), c.readBack);
}

INSTANTIATE_TEST_SUITE_P(Masks, MaskFromText, testing::Values(
    FromTextCase{kTime, "08:30", "08:30", "08:30"},
    FromTextCase{kTime, "0830", "08:30", "08:30"},
    FromTextCase{kTime, "", "  :  ", "  :  "},
    FromTextCase{kTime, "  :  ", "  :  ", "  :  "},
    FromTextCase{kTime, "8:30", " 8:30", " 8:30"},          // "!": short group right-aligned
    FromTextCase{"99:99;1; ", "8:30", "8 :30", "8 :30"},    // without "!": left-aligned
    FromTextCase{kTime, "830", " 8:30", " 8:30"},
    FromTextCase{kPriceTable, "1", "1  ", "1  "},
    FromTextCase{"!999;1; ", "1", "  1", "  1"},
    FromTextCase{kBranch, "ab", "AB  ", "AB"},
    FromTextCase{kBranch, "abcdef", "ABCD", "ABCD"},
    FromTextCase{kBranch, "a-b", "AB  ", "AB"},
    FromTextCase{"!>aaaa;0; ", "ab", "  AB", "AB"},
    FromTextCase{kProduct, "0101001", "01.01.001", "0101001"},
    FromTextCase{kProduct, "0101", "01.01.   ", "0101"},
    FromTextCase{"!99.99.999;0; ", "0101", "  . 0.101", "0101"},
    FromTextCase{kDate, "07/03/2026", "07/03/2026", "07/03/2026"},
    FromTextCase{kDate, "7/3/2026", " 7/ 3/2026", " 7/ 3/2026"},
    FromTextCase{"", "free text", "free text", "free text"}));

// What the code reads from an edit, written back, gives the same edit: blanks inside
// a code survive, and so do the leading blanks of a "!" mask.
struct RoundTripCase {
    const char* mask;
    const char* editText;
};
std::ostream& operator<<(std::ostream& os, const RoundTripCase& c) {
    return os << '"' << c.mask << "\" \"" << c.editText << '"';
}

class MaskRoundTrip : public testing::TestWithParam<RoundTripCase> {};

TEST_P(MaskRoundTrip, EditTextSurvivesTextAndBack) {
    const MaskEngine m(GetParam().mask);
    EXPECT_EQ(m.editTextFromText(m.text(GetParam().editText)), GetParam().editText);
}

INSTANTIATE_TEST_SUITE_P(Masks, MaskRoundTrip, testing::Values(
    RoundTripCase{kBranch, "    "}, RoundTripCase{kBranch, "A B "}, RoundTripCase{kBranch, "  AB"},
    RoundTripCase{"!>aaaa;0; ", " A B"}, RoundTripCase{kPriceTable, " 1 "},
    RoundTripCase{kTime, " 8:3 "}, RoundTripCase{kTime, "  :  "}, RoundTripCase{kTime, "23:59"},
    RoundTripCase{kProduct, "01.0 .001"}, RoundTripCase{kProduct, "  .  .   "},
    RoundTripCase{"!99.99.999;0; ", "  .01.001"}, RoundTripCase{kDate, "  /03/2026"},
    RoundTripCase{"99:99;1;_", "1_:_5"}));

// ---- Completeness -----------------------------------------------------------------

TEST(MaskEngine, CompleteWhenEveryRequiredPlaceIsFilled) {
    const MaskEngine time(kTime);
    EXPECT_TRUE(time.isComplete("  :  "));  // only optional places
    EXPECT_FALSE(time.isComplete("08:3"));  // not an edit text of this mask
    const MaskEngine required("00:00;1;_");
    EXPECT_FALSE(required.isComplete("12:3_"));
    EXPECT_TRUE(required.isComplete("12:34"));
    EXPECT_FALSE(required.isComplete("12:3x"));
    EXPECT_TRUE(MaskEngine("").isComplete(""));
}

}  // namespace
