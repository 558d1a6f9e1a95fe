#pragma once
// Edit masks in the usual notation: "<picture>;<save literals>;<blank char>".

#include <string>
#include <string_view>
#include <vector>

namespace vol {

/// One compiled edit mask. Pure: it holds no text of its own; every operation takes the
/// edit text (what the edit shows, one character per position, literals in place and the
/// blank character in unfilled places) and returns a new one.
///
/// Picture characters: "9" optional digit, "0" required digit, "a" optional letter or
/// digit, "A" required letter or digit, "l"/"L" optional/required letter, "c"/"C"
/// optional/required any character, "#" optional digit or sign; ">" forces the following
/// characters to upper case, "<" to lower case, "<>" ends the forcing; "\" makes the next
/// character a literal; "!" keeps unfilled optional places as leading blanks in the text
/// (without it they are trailing blanks); every other character is a literal. The second
/// field, "1" or "0", says whether literals are part of the text; the third is the
/// character that stands for an unfilled place in the edit text. An empty mask is no mask.
class MaskEngine {
public:
    MaskEngine() = default;
    /// Compiles a mask; an empty string gives the engine of an unmasked edit.
    explicit MaskEngine(std::string_view mask);

    /// The mask as given.
    const std::string& mask() const { return mask_; }
    /// True for an unmasked edit.
    bool empty() const { return positions_.empty(); }
    /// Number of positions in the edit text (places and literals); the maximum length.
    int length() const { return static_cast<int>(positions_.size()); }
    /// True when literals are part of the text ("1" in the second field).
    bool saveLiterals() const { return saveLiterals_; }
    /// True when the position holds a literal, false for a place the user fills.
    bool isLiteral(int pos) const;

    /// The edit text of an empty edit: blank characters in every place, literals in place.
    std::string blankEditText() const;
    /// The edit text for a text written by code (the inverse of text()): the characters
    /// are put into the places in order (literals of the text are matched when the mask
    /// saves them), case forcing applied, characters that do not fit a place dropped;
    /// with "!" a short text is right-aligned in the places, otherwise left-aligned.
    std::string editTextFromText(std::string_view text) const;
    /// The text as the code reads it: with literals when the mask saves them (unfilled
    /// places as blanks, e.g. "  :  "); without literals, the places' characters with the
    /// unfilled ones dropped from the end ("!": from the start).
    std::string text(std::string_view editText) const;
    /// The text with the mask removed: the characters typed in the places, no literals,
    /// every unfilled place dropped, also inside ("08:30" gives "0830", "  :  " gives "").
    std::string rawText(std::string_view editText) const;
    /// True when every required place is filled and no optional place is partly left in
    /// a way the mask forbids; an edit text made only of blanks and literals is complete
    /// for a mask without required places.
    bool isComplete(std::string_view editText) const;

    /// Result of a keystroke: the new edit text and caret, and whether the key was taken.
    struct Edit {
        std::string editText;
        int caret = 0;
        bool accepted = false;
    };
    /// Types one character at the caret in overtype mode: literals at the caret are
    /// skipped (typing the literal itself just moves past it), the character is filtered
    /// by the place's kind and case-forced; past the last position nothing is taken. A
    /// refused key leaves text and caret as they were. Places take ASCII only, so no byte
    /// of a multi-byte character is ever split off. An unmasked edit overtypes or appends.
    Edit typeChar(std::string_view editText, int caret, char ch) const;
    /// Backspace: blanks the place before the caret (skipping literals) and moves left.
    Edit backspace(std::string_view editText, int caret) const;
    /// Delete: blanks the place at the caret (on a literal, the place after it); the caret
    /// stays.
    Edit deleteForward(std::string_view editText, int caret) const;
    /// Blanks every place in [from, to); literals stay; the caret goes to from.
    Edit clearRange(std::string_view editText, int from, int to) const;

private:
    enum class Kind { Literal, Digit, DigitOrSign, Alnum, Letter, Any };
    enum class Case { Keep, Upper, Lower };
    struct Position {
        Kind kind = Kind::Literal;
        bool required = false;
        Case forceCase = Case::Keep;
        char literal = 0;
    };
    bool fits(const Position& p, char ch) const;
    char forced(const Position& p, char ch) const;
    const Position& at(int pos) const;
    // The edit text brought to the mask's length, refused characters blanked.
    std::string normalized(std::string_view editText) const;
    // Puts the chunk's characters into the given places, aligned as "!" says.
    void fillPlaces(std::string& editText, const std::vector<int>& places, std::string_view chunk) const;
    static int clampCaret(int caret, int size);

    std::string mask_;
    std::vector<Position> positions_;
    bool saveLiterals_ = true;
    bool leadingBlanks_ = false;
    char blank_ = '_';
};

}  // namespace vol
