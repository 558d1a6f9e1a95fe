#pragma once
// Reads scenario files: one command a line, quoted texts, the table of commands.

#include <string>
#include <string_view>
#include <vector>

namespace tools {

/// Every command a scenario can give.
enum class Verb {
    Today,
    Branch,
    FixedBranch,
    Picture,
    Open,
    Close,
    Activate,
    ServerStop,
    ServerStart,
    ServerFailNext,
    ServerHoldStore,
    ServerRemoveProduct,
    Screen,
    Press,
    SelectRows,
    SaveAs,
    CallTimeout,
    Wait,
    Focus,
    Tab,
    Type,
    Keys,
    Click,
    Select,
    Pick,
    PickNone,
    Answer,
    ExpectMessage,
    ExpectNoMessage,
    ExpectMessageContains,
    ExpectConfirm,
    ExpectConfirmContains,
    ExpectNoticeContains,
    ExpectListEmpty,
    ExpectRows,
    ExpectRow,
    ExpectStartRow,
    ExpectFocus,
    ExpectText,
    ExpectEmpty,
    ExpectNotEmpty,
    ExpectEnabled,
    ExpectDisabled,
    ExpectChecked,
    ExpectUnchecked,
    ExpectState,
    ExpectScreen,
    ExpectArg,
    ExpectStored,
    ExpectGridRows,
    ExpectGridLoaded,
    ExpectGridCell,
    ExpectMemoContains,
    ExpectFileLines,
    ExpectFileContains,
    Dump
};

/// One word of a line: its text (escapes resolved) and whether it was written in quotes.
struct Token {
    std::string text;
    bool quoted = false;
    bool operator==(const Token&) const = default;
};

/// One command of a scenario, its arguments checked against the command table.
struct Command {
    Verb verb = Verb::Dump;
    int line = 0;                   ///< 1-based line of the file
    std::vector<std::string> args;  ///< the arguments as written, quotes removed
};

/// A line the parser could not read.
struct SyntaxError {
    int line = 0;
    std::string message;
};

/// What a whole file gives: its commands in order, or the lines that are wrong.
struct ParsedScript {
    std::vector<Command> commands;
    std::vector<SyntaxError> errors;
};

/// The pure reader of the scenario language; no I/O, no state.
///
/// A line holds words separated by blanks or tabs; `#` outside quotes starts a comment.
/// A TEXT is a double-quoted string kept exactly (blanks included) with the escapes `\"`
/// and `\\`; any argument may be quoted, and one without blanks may also be bare.
class ScriptParser {
  public:
    /// Splits one line into words. Throws std::invalid_argument for an unterminated quote,
    /// an unknown escape, or a quote glued to another word.
    static std::vector<Token> tokenize(std::string_view line);

    /// Reads one line: returns false for a blank or comment line, else fills `out` and
    /// returns true. Throws std::invalid_argument naming what is wrong: an
    /// unknown command, a missing or extra argument, an argument of the wrong form.
    static bool parseLine(std::string_view line, int lineNumber, Command& out);

    /// Reads a whole file's text; every wrong line is listed, none is skipped silently.
    static ParsedScript parse(std::string_view text);

    /// A text written as a quoted TEXT, so that tokenize reads it back unchanged.
    static std::string quote(std::string_view text);

    /// The command's words as a scenario writes them ("expect message").
    static std::string_view nameOf(Verb verb);

    /// The usage line of every command, one a line, for --help.
    static std::string reference();
};

}  // namespace tools
