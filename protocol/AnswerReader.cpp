#include "AnswerReader.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "JsonRpc.h"
#include "ValueCodec.h"

namespace wire {

using nlohmann::json;

namespace {

// Anything the one-pass reading does not cover. The line is then read through the JSON
// tree, which gives the answer, or the text of what is wrong with it, as it always has.
struct NotPlain {};

// A cursor over the line that reads JSON exactly as strictly as the tree's parser or
// more: what it accepts, the parser accepts and reads alike.
class Scanner {
public:
    explicit Scanner(std::string_view text) : s_(text) {}

    void blanks() {
        while (p_ < s_.size() && (s_[p_] == ' ' || s_[p_] == '\t' || s_[p_] == '\n' || s_[p_] == '\r')) ++p_;
    }
    // The next byte after blanks, 0 at the end.
    char peek() {
        blanks();
        return p_ < s_.size() ? s_[p_] : '\0';
    }
    void expect(char c) {
        if (peek() != c) throw NotPlain{};
        ++p_;
    }
    bool take(char c) {
        if (peek() != c) return false;
        ++p_;
        return true;
    }
    bool atEnd() { return peek() == '\0' && p_ == s_.size(); }
    std::size_t pos() const { return p_; }

    // A string, unescaped; the opening quote is next.
    std::string string() {
        std::string out;
        readString(&out);
        return out;
    }
    // A member's name, as it stands in the line. Names of the plain form are plain ASCII:
    // one with an escape or another byte is left to the parser.
    std::string_view name() {
        expect('"');
        const std::size_t start = p_;
        while (p_ < s_.size()) {
            const auto c = static_cast<unsigned char>(s_[p_]);
            if (c == '"') return s_.substr(start, p_++ - start);
            if (c == '\\' || c < 0x20 || c >= 0x80) break;
            ++p_;
        }
        throw NotPlain{};
    }
    // A string compared with `word` without keeping it.
    bool stringIs(std::string_view word) {
        if (peek() == '"') {
            const std::size_t start = p_ + 1;
            const std::size_t end = start + word.size();
            if (end < s_.size() && s_[end] == '"' && s_.substr(start, word.size()) == word &&
                word.find_first_of("\"\\") == std::string_view::npos) {
                p_ = end + 1;
                return true;
            }
        }
        return string() == word;
    }

    // A number's text, checked against the grammar.
    std::string_view number() {
        blanks();
        const std::size_t start = p_;
        if (p_ < s_.size() && s_[p_] == '-') ++p_;
        if (p_ < s_.size() && s_[p_] == '0') {
            ++p_;
        } else if (!digits()) {
            throw NotPlain{};
        }
        if (p_ < s_.size() && s_[p_] == '.') {
            ++p_;
            if (!digits()) throw NotPlain{};
        }
        if (p_ < s_.size() && (s_[p_] == 'e' || s_[p_] == 'E')) {
            ++p_;
            if (p_ < s_.size() && (s_[p_] == '+' || s_[p_] == '-')) ++p_;
            if (!digits()) throw NotPlain{};
        }
        return s_.substr(start, p_ - start);
    }

    // One value of any kind as the tree the parser builds of it (the same kinds of
    // number, the last of a name given twice); `depth` is the nesting it sits in.
    json tree(std::size_t depth) {
        if (depth >= kMaxJsonDepth) throw NotPlain{};
        switch (peek()) {
            case '"':
                return string();
            case '{': {
                ++p_;
                json object = json::object();
                if (take('}')) return object;
                // The server writes an object's names in order, so each goes at the end
                // of the map at once; a name given twice keeps its last value.
                auto& members = object.get_ref<json::object_t&>();
                do {
                    if (peek() != '"') throw NotPlain{};
                    std::string key = string();
                    expect(':');
                    json value = tree(depth + 1);
                    members.emplace_hint(members.end(), std::move(key), nullptr)->second =
                        std::move(value);
                } while (take(','));
                expect('}');
                return object;
            }
            case '[': {
                ++p_;
                json array = json::array();
                if (take(']')) return array;
                do array.push_back(tree(depth + 1));
                while (take(','));
                expect(']');
                return array;
            }
            case 't': word("true"); return true;
            case 'f': word("false"); return false;
            case 'n': word("null"); return nullptr;
            default: return numberValue(number());
        }
    }

    // A number as the parser keeps it: a whole number without a sign unsigned, with one
    // signed, any other a double. What the parser would read otherwise (a whole number
    // past 64 bits, a double past its range either way) is left to it.
    static json numberValue(std::string_view token) {
        const char* first = token.data();
        const char* last = token.data() + token.size();
        if (token.find_first_of(".eE") == std::string_view::npos) {
            if (token.front() == '-') {
                std::int64_t value = 0;
                const auto [end, ec] = std::from_chars(first, last, value);
                if (ec != std::errc() || end != last) throw NotPlain{};
                return value;
            }
            std::uint64_t value = 0;
            const auto [end, ec] = std::from_chars(first, last, value);
            if (ec != std::errc() || end != last) throw NotPlain{};
            return value;
        }
        double value = 0;
        const auto [end, ec] = std::from_chars(first, last, value);
        if (ec != std::errc() || end != last || !std::isfinite(value)) throw NotPlain{};
        return value;
    }

    void word(std::string_view w) {
        blanks();
        if (s_.substr(p_, w.size()) != w) throw NotPlain{};
        p_ += w.size();
    }

    // An integer that reads back as the same text: no sign on zero, under 19 digits.
    static bool plainInteger(std::string_view token) {
        const std::size_t digits = token.size() - (token.front() == '-' ? 1 : 0);
        return digits < 19 && token != "-0" && token.find_first_of(".eE") == std::string_view::npos;
    }

private:
    bool digits() {
        const std::size_t start = p_;
        while (p_ < s_.size() && s_[p_] >= '0' && s_[p_] <= '9') ++p_;
        return p_ > start;
    }

    unsigned hex4() {
        if (p_ + 4 > s_.size()) throw NotPlain{};
        unsigned v = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = s_[p_++];
            v <<= 4;
            if (c >= '0' && c <= '9') v |= static_cast<unsigned>(c - '0');
            else if (c >= 'a' && c <= 'f') v |= static_cast<unsigned>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F') v |= static_cast<unsigned>(c - 'A' + 10);
            else throw NotPlain{};
        }
        return v;
    }

    static void appendUtf8(std::string& out, unsigned cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }

    // The length of the well-formed UTF-8 sequence at p_ (RFC 3629, as the parser checks
    // it), or 0.
    std::size_t utf8Length() const {
        auto at = [&](std::size_t i) -> unsigned {
            return p_ + i < s_.size() ? static_cast<unsigned char>(s_[p_ + i]) : 0u;
        };
        auto cont = [&](std::size_t i, unsigned lo = 0x80, unsigned hi = 0xBF) {
            const unsigned b = at(i);
            return b >= lo && b <= hi;
        };
        const unsigned b = at(0);
        if (b >= 0xC2 && b <= 0xDF) return cont(1) ? 2 : 0;
        if (b == 0xE0) return cont(1, 0xA0) && cont(2) ? 3 : 0;
        if ((b >= 0xE1 && b <= 0xEC) || b == 0xEE || b == 0xEF) return cont(1) && cont(2) ? 3 : 0;
        if (b == 0xED) return cont(1, 0x80, 0x9F) && cont(2) ? 3 : 0;
        if (b == 0xF0) return cont(1, 0x90) && cont(2) && cont(3) ? 4 : 0;
        if (b >= 0xF1 && b <= 0xF3) return cont(1) && cont(2) && cont(3) ? 4 : 0;
        if (b == 0xF4) return cont(1, 0x80, 0x8F) && cont(2) && cont(3) ? 4 : 0;
        return 0;
    }

    // Reads a string into *out (or only checks it when out is null).
    void readString(std::string* out) {
        expect('"');
        for (;;) {
            const std::size_t run = p_;
            while (p_ < s_.size()) {
                const auto c = static_cast<unsigned char>(s_[p_]);
                if (c == '"' || c == '\\' || c < 0x20 || c >= 0x80) break;
                ++p_;
            }
            if (out != nullptr) out->append(s_.data() + run, p_ - run);
            if (p_ >= s_.size()) throw NotPlain{};
            const auto c = static_cast<unsigned char>(s_[p_]);
            if (c == '"') {
                ++p_;
                return;
            }
            if (c < 0x20) throw NotPlain{};
            if (c >= 0x80) {
                const std::size_t n = utf8Length();
                if (n == 0) throw NotPlain{};
                if (out != nullptr) out->append(s_.data() + p_, n);
                p_ += n;
                continue;
            }
            ++p_;  // the backslash
            if (p_ >= s_.size()) throw NotPlain{};
            const char e = s_[p_++];
            char plain = 0;
            switch (e) {
                case '"': plain = '"'; break;
                case '\\': plain = '\\'; break;
                case '/': plain = '/'; break;
                case 'b': plain = '\b'; break;
                case 'f': plain = '\f'; break;
                case 'n': plain = '\n'; break;
                case 'r': plain = '\r'; break;
                case 't': plain = '\t'; break;
                case 'u': {
                    unsigned cp = hex4();
                    if (cp >= 0xDC00 && cp <= 0xDFFF) throw NotPlain{};
                    if (cp >= 0xD800 && cp <= 0xDBFF) {
                        if (p_ + 2 > s_.size() || s_[p_] != '\\' || s_[p_ + 1] != 'u') throw NotPlain{};
                        p_ += 2;
                        const unsigned low = hex4();
                        if (low < 0xDC00 || low > 0xDFFF) throw NotPlain{};
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    }
                    if (out != nullptr) appendUtf8(*out, cp);
                    continue;
                }
                default: throw NotPlain{};
            }
            if (out != nullptr) *out += plain;
        }
    }

    std::string_view s_;
    std::size_t p_ = 0;
};

// Names seen in one object: a name given twice is left to the parser (the last one wins
// there), so the reading never has to decide which counts. The plain form's objects have
// a few members; one with more is left to the parser too.
class Names {
public:
    void add(std::string_view name) {
        if (count_ == seen_.size()) throw NotPlain{};
        for (std::size_t i = 0; i < count_; ++i)
            if (seen_[i] == name) throw NotPlain{};
        seen_[count_++] = name;
    }

private:
    std::array<std::string_view, 16> seen_;
    std::size_t count_ = 0;
};

// The value of a plain integer's text (Scanner::plainInteger).
long long integerOf(std::string_view token) {
    long long value = 0;
    std::from_chars(token.data(), token.data() + token.size(), value);
    return value;
}

// Reads an object's members, handing each name to `each` with the cursor on its value;
// a name given twice is left to the parser.
template <class Each>
void members(Scanner& in, Each&& each) {
    Names names;
    in.expect('{');
    if (in.take('}')) return;
    do {
        const std::string_view name = in.name();
        names.add(name);
        in.expect(':');
        each(name);
    } while (in.take(','));
    in.expect('}');
}

// Reads an array's elements, `each` reading one at the cursor.
template <class Each>
void elements(Scanner& in, Each&& each) {
    in.expect('[');
    if (in.take(']')) return;
    do each();
    while (in.take(','));
    in.expect(']');
}

// Steps over a member nobody reads, checked all the same.
void ignore(Scanner& in, std::size_t depth) { in.tree(depth); }

enum class CellKind { Text, Number, Date };

CellKind kindOf(const std::string& type) {
    if (type == "integer" || type == "number") return CellKind::Number;
    if (type == "date") return CellKind::Date;
    return CellKind::Text;
}

// One field object: its name, type and size, checked as packetError checks them.
FieldDesc readField(Scanner& in) {
    FieldDesc field;
    bool named = false;
    members(in, [&](std::string_view name) {
        if (name == "name") {
            if (in.peek() != '"') throw NotPlain{};
            field.name = in.string();
            named = true;
        } else if (name == "type") {
            if (in.peek() != '"') throw NotPlain{};
            field.type = in.string();
        } else if (name == "size") {
            const std::string_view size = in.number();
            if (!Scanner::plainInteger(size) || size.front() == '-' || size.size() > 10) throw NotPlain{};
            const long long value = integerOf(size);
            if (value > std::numeric_limits<int>::max()) throw NotPlain{};
            field.size = static_cast<int>(value);
        } else {
            ignore(in, 5);
        }
    });
    if (!named) throw NotPlain{};
    return field;
}

// One cell of a row under a field of the given kind, as packetFromJson keeps it.
Cell readCell(Scanner& in, CellKind kind) {
    switch (in.peek()) {
        case 'n':
            in.word("null");
            return std::nullopt;
        case '"':
            return in.string();
        case '{': {
            if (kind != CellKind::Date) throw NotPlain{};
            in.expect('{');
            if (!in.stringIs("$date")) throw NotPlain{};
            in.expect(':');
            if (in.peek() != '"') throw NotPlain{};
            const std::optional<Date> date = Date::fromIso(in.string());
            in.expect('}');
            if (!date) throw NotPlain{};
            return date->iso();
        }
        default: {
            if (kind != CellKind::Number) throw NotPlain{};
            const std::string_view token = in.number();
            // The packet keeps a number as the parser writes it back: whole numbers as
            // they came, the others through the parser's own writing.
            if (Scanner::plainInteger(token)) return std::string(token);
            json number = json::parse(token, nullptr, false);
            if (number.is_discarded()) throw NotPlain{};
            return dumpJson(number);
        }
    }
}

// The body of a {"$packet":...} object, from its opening brace.
DataPacket readPacketBody(Scanner& in) {
    DataPacket packet;
    std::vector<CellKind> kinds;
    bool hasFields = false;
    members(in, [&](std::string_view name) {
        if (name == "fields") {
            elements(in, [&] { packet.fields.push_back(readField(in)); });
            for (const FieldDesc& f : packet.fields) kinds.push_back(kindOf(f.type));
            hasFields = true;
        } else if (name == "rows") {
            // Rows that come before the fields are left to the parser.
            if (!hasFields) throw NotPlain{};
            elements(in, [&] {
                Row row;
                row.reserve(kinds.size());
                elements(in, [&] {
                    if (row.size() == kinds.size()) throw NotPlain{};
                    row.push_back(readCell(in, kinds[row.size()]));
                });
                if (row.size() != kinds.size()) throw NotPlain{};
                packet.rows.push_back(std::move(row));
            });
        } else {
            ignore(in, 3);
        }
    });
    if (!hasFields) throw NotPlain{};
    return packet;
}

// A result object whose first name is "$packet": the packet, when that is its only member.
DataPacket readPacketObject(Scanner& in) {
    in.expect('{');
    if (!in.stringIs("$packet")) throw NotPlain{};
    in.expect(':');
    DataPacket packet = readPacketBody(in);
    in.expect('}');
    return packet;
}

// Whether the object at the cursor starts with the name "$packet", without moving.
bool startsPacket(std::string_view line, std::size_t at) {
    const std::size_t open = line.find_first_not_of(" \t\n\r", at);
    if (open == std::string_view::npos || line[open] != '{') return false;
    const std::size_t name = line.find_first_not_of(" \t\n\r", open + 1);
    return name != std::string_view::npos && line.substr(name, 9) == "\"$packet\"";
}

// A page's result object: the well-formed packet under "rows" into *rows, every other
// member into the object.
json readPageObject(Scanner& in, std::string_view line, std::optional<DataPacket>& rows) {
    json object = json::object();
    members(in, [&](std::string_view name) {
        in.blanks();
        if (name == "rows" && startsPacket(line, in.pos())) {
            rows = readPacketObject(in);
        } else {
            object[std::string(name)] = in.tree(2);
        }
    });
    return object;
}

// The result value, as fromJson gives it.
Value readResult(Scanner& in, std::string_view line, std::optional<DataPacket>* rows) {
    in.blanks();
    if (startsPacket(line, in.pos())) return readPacketObject(in);
    if (rows != nullptr && in.peek() == '{') {
        std::optional<DataPacket> page;
        json object = readPageObject(in, line, page);
        // Without a packet under "rows" the object is what the parser gives; with one, it
        // has two members or a "rows" member, so it is no date or packet either way.
        if (!page) return fromJson(std::move(object));
        *rows = std::move(page);
        return object;
    }
    return fromJson(in.tree(1));
}

CallResult readPlain(std::string_view line, long long expectedId, std::optional<DataPacket>* rows) {
    Scanner in(line);
    bool version = false;
    bool idMatches = false;
    std::optional<Value> result;
    members(in, [&](std::string_view name) {
        if (name == "jsonrpc") {
            if (in.peek() != '"' || !in.stringIs("2.0")) throw NotPlain{};
            version = true;
        } else if (name == "id") {
            const std::string_view id = in.number();
            if (!Scanner::plainInteger(id) || integerOf(id) != expectedId) throw NotPlain{};
            idMatches = true;
        } else if (name == "result") {
            result = readResult(in, line, rows);
        } else if (name == "error") {
            throw NotPlain{};
        } else {
            ignore(in, 1);
        }
    });
    if (!in.atEnd() || !version || !idMatches || !result) throw NotPlain{};
    return CallResult::success(std::move(*result));
}

}  // namespace

CallResult readAnswer(std::string_view line, long long expectedId, std::optional<DataPacket>* rows) {
    try {
        return readPlain(line, expectedId, rows);
    } catch (const NotPlain&) {
    } catch (const CodecError&) {
    }
    if (rows != nullptr) rows->reset();
    return parseResponse(line, expectedId);
}

}  // namespace wire
