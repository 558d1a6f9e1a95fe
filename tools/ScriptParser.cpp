#include "ScriptParser.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <stdexcept>

#include "protocol/Date.h"

namespace tools {

namespace {

/// The form an argument must have.
enum class Arg {
    Word,        ///< a name or code: not empty
    Text,        ///< anything, the empty text included
    Count,       ///< a whole number, 0 or more
    Position,    ///< a whole number, 1 or more
    IsoDate,     ///< YYYY-MM-DD, a date that exists
    YesNo,       ///< yes or no
    OpenClosed,  ///< open or closed
    Texts        ///< one or more texts, the rest of the line
};

struct CommandShape {
    Verb verb;
    std::string_view name;
    std::vector<Arg> args;
    std::string_view usage;
};

const std::vector<CommandShape>& table() {
    static const std::vector<CommandShape> shapes = {
        {Verb::Today, "today", {Arg::IsoDate}, "YYYY-MM-DD"},
        {Verb::Branch, "branch", {Arg::Word}, "CODE"},
        {Verb::FixedBranch, "fixed-branch", {Arg::YesNo}, "yes|no"},
        {Verb::Picture, "picture", {Arg::Text}, "\"MASK\""},
        {Verb::Open, "open", {}, ""},
        {Verb::Close, "close", {}, ""},
        {Verb::Activate, "activate", {}, ""},
        {Verb::ServerStop, "server stop", {}, ""},
        {Verb::ServerStart, "server start", {}, ""},
        {Verb::ServerFailNext, "server fail-next", {Arg::Word, Arg::Text}, "METHOD TEXT"},
        {Verb::ServerHoldStore, "server hold-store", {Arg::Position}, "MS"},
        {Verb::ServerRemoveProduct, "server remove-product", {Arg::Word}, "CDPRODUTO"},
        {Verb::Screen, "screen", {Arg::Word}, "CODE"},
        {Verb::CallTimeout, "call-timeout", {Arg::Word, Arg::Position}, "NAME MS"},
        {Verb::Wait, "wait", {Arg::Position}, "MS"},
        {Verb::Focus, "focus", {Arg::Word}, "NAME"},
        {Verb::Tab, "tab", {}, ""},
        {Verb::Type, "type", {Arg::Word, Arg::Text}, "NAME TEXT"},
        {Verb::Keys, "keys", {Arg::Text}, "TEXT"},
        {Verb::Click, "click", {Arg::Word}, "NAME"},
        {Verb::Select, "select", {Arg::Word, Arg::Count}, "NAME INDEX"},
        {Verb::Press, "press", {Arg::Word}, "KEY"},
        {Verb::SelectRows, "select-rows", {Arg::Word, Arg::Texts}, "NAME ROW..."},
        {Verb::SaveAs, "save-as", {Arg::Word}, "FILE"},
        {Verb::Pick, "pick", {Arg::Texts}, "TEXT..."},
        {Verb::PickNone, "pick-none", {}, ""},
        {Verb::Answer, "answer", {Arg::YesNo}, "yes|no"},
        {Verb::ExpectMessage, "expect message", {Arg::Text}, "TEXT"},
        {Verb::ExpectNoMessage, "expect no-message", {}, ""},
        {Verb::ExpectMessageContains, "expect message-contains", {Arg::Text}, "TEXT"},
        {Verb::ExpectConfirm, "expect confirm", {Arg::Text}, "TEXT"},
        {Verb::ExpectConfirmContains, "expect confirm-contains", {Arg::Texts}, "TEXT..."},
        {Verb::ExpectNoticeContains, "expect notice-contains", {Arg::Text}, "TEXT"},
        {Verb::ExpectListEmpty, "expect list-empty", {Arg::Text}, "TEXT"},
        {Verb::ExpectRows, "expect rows", {Arg::Count}, "N"},
        {Verb::ExpectRow, "expect row", {Arg::Texts}, "TEXT..."},
        {Verb::ExpectStartRow, "expect start-row", {Arg::Texts}, "TEXT..."},
        {Verb::ExpectFocus, "expect focus", {Arg::Word}, "NAME"},
        {Verb::ExpectText, "expect text", {Arg::Word, Arg::Text}, "NAME TEXT"},
        {Verb::ExpectEmpty, "expect empty", {Arg::Word}, "NAME"},
        {Verb::ExpectNotEmpty, "expect not-empty", {Arg::Word}, "NAME"},
        {Verb::ExpectEnabled, "expect enabled", {Arg::Word}, "NAME"},
        {Verb::ExpectDisabled, "expect disabled", {Arg::Word}, "NAME"},
        {Verb::ExpectChecked, "expect checked", {Arg::Word}, "NAME"},
        {Verb::ExpectUnchecked, "expect unchecked", {Arg::Word}, "NAME"},
        {Verb::ExpectState, "expect state", {Arg::Word, Arg::Text}, "NAME TEXT"},
        {Verb::ExpectScreen, "expect screen", {Arg::OpenClosed}, "open|closed"},
        {Verb::ExpectArg, "expect arg", {Arg::Word, Arg::Position, Arg::Text}, "METHOD N TEXT"},
        {Verb::ExpectStored, "expect stored", {Arg::Count}, "N"},
        {Verb::ExpectGridRows, "expect grid-rows", {Arg::Word, Arg::Count}, "NAME N"},
        {Verb::ExpectGridLoaded, "expect grid-loaded", {Arg::Word, Arg::Count}, "NAME N"},
        {Verb::ExpectGridCell, "expect grid-cell", {Arg::Word, Arg::Position, Arg::Text, Arg::Text},
         "NAME ROW COLUMN TEXT"},
        {Verb::ExpectMemoContains, "expect memo-contains", {Arg::Word, Arg::Text}, "NAME TEXT"},
        {Verb::ExpectFileLines, "expect file-lines", {Arg::Word, Arg::Count}, "FILE N"},
        {Verb::ExpectFileContains, "expect file-contains", {Arg::Word, Arg::Text}, "FILE TEXT"},
        {Verb::Dump, "dump", {}, ""},
    };
    return shapes;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

bool isWholeNumber(const std::string& text, int minimum) {
    if (text.empty() || text.size() > 9)
        return false;
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc{} && end == text.data() + text.size() && value >= minimum;
}

/// Checks one argument; throws std::invalid_argument naming the command's usage.
void check(Arg kind, const std::string& value, const CommandShape& shape) {
    auto wrong = [&](const std::string& what) {
        throw std::invalid_argument(what + " (usage: " + std::string(shape.name) +
                                    (shape.usage.empty() ? "" : " ") + std::string(shape.usage) +
                                    ")");
    };
    switch (kind) {
        case Arg::Word:
            if (value.empty())
                wrong("an empty name");
            break;
        case Arg::Text:
        case Arg::Texts:
            break;
        case Arg::Count:
            if (!isWholeNumber(value, 0))
                wrong("\"" + value + "\" is not a whole number");
            break;
        case Arg::Position:
            if (!isWholeNumber(value, 1))
                wrong("\"" + value + "\" is not a number from 1 on");
            break;
        case Arg::IsoDate:
            if (!wire::Date::fromIso(value))
                wrong("\"" + value + "\" is not a date YYYY-MM-DD");
            break;
        case Arg::YesNo:
            if (value != "yes" && value != "no")
                wrong("\"" + value + "\" is neither yes nor no");
            break;
        case Arg::OpenClosed:
            if (value != "open" && value != "closed")
                wrong("\"" + value + "\" is neither open nor closed");
            break;
    }
}

}  // namespace

std::vector<Token> ScriptParser::tokenize(std::string_view line) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < line.size()) {
        if (isBlank(line[i])) {
            ++i;
            continue;
        }
        if (line[i] == '#')
            break;
        Token token;
        if (line[i] == '"') {
            token.quoted = true;
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char c = line[i++];
                if (c == '"') {
                    closed = true;
                    break;
                }
                if (c == '\\') {
                    if (i == line.size())
                        break;
                    char next = line[i++];
                    if (next != '"' && next != '\\') {
                        throw std::invalid_argument(std::string("unknown escape \\") + next +
                                                    " (only \\\" and \\\\)");
                    }
                    c = next;
                }
                token.text += c;
            }
            if (!closed)
                throw std::invalid_argument("a quoted text is not closed");
            // "abc"def would be two words glued together: almost surely a typing mistake.
            if (i < line.size() && !isBlank(line[i]) && line[i] != '#') {
                throw std::invalid_argument("a quoted text must be followed by a blank");
            }
        } else {
            while (i < line.size() && !isBlank(line[i]) && line[i] != '#') {
                if (line[i] == '"')
                    throw std::invalid_argument("a quote inside a word");
                token.text += line[i++];
            }
        }
        tokens.push_back(std::move(token));
    }
    return tokens;
}

bool ScriptParser::parseLine(std::string_view line, int lineNumber, Command& out) {
    std::vector<Token> tokens = tokenize(line);
    if (tokens.empty())
        return false;
    if (tokens[0].quoted)
        throw std::invalid_argument("a line must start with a command");

    // Two-word commands are those of "expect" and "server".
    std::string name = tokens[0].text;
    std::size_t used = 1;
    if ((name == "expect" || name == "server") && tokens.size() > 1 && !tokens[1].quoted) {
        name += " " + tokens[1].text;
        used = 2;
    }
    const auto& shapes = table();
    auto shape =
        std::find_if(shapes.begin(), shapes.end(), [&](const CommandShape& s) { return s.name == name; });
    if (shape == shapes.end())
        throw std::invalid_argument("unknown command \"" + name + "\"");

    Command command;
    command.verb = shape->verb;
    command.line = lineNumber;
    for (std::size_t t = used; t < tokens.size(); ++t) command.args.push_back(tokens[t].text);

    const bool restIsList = !shape->args.empty() && shape->args.back() == Arg::Texts;
    const std::size_t fixed = shape->args.size() - (restIsList ? 1 : 0);
    const std::string usage =
        std::string(shape->name) + (shape->usage.empty() ? "" : " ") + std::string(shape->usage);
    if (command.args.size() < shape->args.size()) {
        throw std::invalid_argument("missing argument (usage: " + usage + ")");
    }
    if (!restIsList && command.args.size() > fixed) {
        throw std::invalid_argument("too many arguments (usage: " + usage + ")");
    }
    for (std::size_t a = 0; a < command.args.size(); ++a) {
        check(a < fixed ? shape->args[a] : Arg::Texts, command.args[a], *shape);
    }
    out = std::move(command);
    return true;
}

ParsedScript ScriptParser::parse(std::string_view text) {
    ParsedScript script;
    int lineNumber = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        ++lineNumber;
        try {
            Command command;
            if (parseLine(text.substr(start, end - start), lineNumber, command)) {
                script.commands.push_back(std::move(command));
            }
        } catch (const std::invalid_argument& e) {
            script.errors.push_back({lineNumber, e.what()});
        }
        start = end + 1;
    }
    return script;
}

std::string ScriptParser::quote(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string_view ScriptParser::nameOf(Verb verb) {
    for (const CommandShape& s : table()) {
        if (s.verb == verb)
            return s.name;
    }
    return "?";
}

std::string ScriptParser::reference() {
    std::string out;
    for (const CommandShape& s : table()) {
        out += "  ";
        out += s.name;
        if (!s.usage.empty()) {
            out += ' ';
            out += s.usage;
        }
        out += '\n';
    }
    return out;
}

}  // namespace tools
