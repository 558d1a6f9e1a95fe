#include "server/store/DatabaseUrl.h"

#include <algorithm>
#include <cctype>
#include <utility>
#include <vector>

namespace server {

namespace {

// Where a password is written in the text: start and length, as typed (still
// percent-encoded or quoted), so that masking keeps everything around it.
using Span = std::pair<std::size_t, std::size_t>;

// What a text must not show: its passwords, and every value of a URI's query (whatever
// its key, spelt in any way libpq accepts, a value may be a secret).
struct Secrets {
    std::vector<Span> passwords;
    std::vector<Span> queryValues;
};

// A query key as libpq reads it: percent-encoded bytes decoded ("%70assword" is
// "password"). A malformed escape is kept as typed; libpq refuses such a URI anyway.
std::string decodedKey(std::string_view key) {
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string out;
    for (std::size_t i = 0; i < key.size(); ++i) {
        if (key[i] == '%' && i + 2 < key.size() && hex(key[i + 1]) >= 0 && hex(key[i + 2]) >= 0) {
            out += static_cast<char>(hex(key[i + 1]) * 16 + hex(key[i + 2]));
            i += 2;
        } else {
            out += key[i];
        }
    }
    return out;
}

// The values of the parameters of a URI's query, which starts at from; those whose key,
// decoded, is "password" are passwords too.
void queryValues(std::string_view url, std::size_t from, Secrets& secrets) {
    std::size_t start = from;
    while (start < url.size()) {
        std::size_t end = url.find('&', start);
        if (end == std::string_view::npos) {
            end = url.size();
        }
        const std::string_view parameter = url.substr(start, end - start);
        const std::size_t equals = parameter.find('=');
        if (equals != std::string_view::npos && equals + 1 < parameter.size()) {
            const Span value(start + equals + 1, parameter.size() - equals - 1);
            secrets.queryValues.push_back(value);
            if (decodedKey(parameter.substr(0, equals)) == "password") {
                secrets.passwords.push_back(value);
            }
        }
        start = end + 1;
    }
}

void uriSecrets(std::string_view url, std::size_t authority, Secrets& secrets) {
    // The user part ends at an '@' before the query; a password holding a bare '?' (not
    // percent-encoded) leaves the '@' after it, so the last '@' of all is taken then: a
    // message may mask too much, never too little.
    const std::size_t query = url.find('?', authority);
    std::size_t at = url.substr(0, query).rfind('@');
    if (at == std::string_view::npos || at < authority) {
        at = url.rfind('@');
    }
    if (at != std::string_view::npos && at >= authority) {
        const std::size_t colon = url.find(':', authority);
        if (colon < at) {
            secrets.passwords.emplace_back(colon + 1, at - colon - 1);
        }
    }
    const std::size_t afterUser = at != std::string_view::npos && at >= authority ? at : authority;
    const std::size_t queryStart = url.find('?', afterUser);
    if (queryStart != std::string_view::npos) {
        queryValues(url, queryStart + 1, secrets);
    }
}

// libpq's key/value form: "host=db password=segredo" or "password = 'a b\'c'".
void keywordPasswords(std::string_view text, std::vector<Span>& spans) {
    constexpr std::string_view kKey = "password";
    auto blank = [&](std::size_t i) {
        return i < text.size() && std::isspace(static_cast<unsigned char>(text[i]));
    };
    for (std::size_t found = text.find(kKey); found != std::string_view::npos;
         found = text.find(kKey, found + 1)) {
        if (found > 0 && !blank(found - 1)) {
            continue;
        }
        std::size_t i = found + kKey.size();
        while (blank(i)) {
            ++i;
        }
        if (i >= text.size() || text[i] != '=') {
            continue;
        }
        ++i;
        while (blank(i)) {
            ++i;
        }
        if (i < text.size() && text[i] == '\'') {
            const std::size_t start = ++i;
            while (i < text.size() && text[i] != '\'') {
                i += text[i] == '\\' ? 2 : 1;
            }
            spans.emplace_back(start, std::min(i, text.size()) - start);
        } else {
            const std::size_t start = i;
            while (i < text.size() && !blank(i)) {
                ++i;
            }
            spans.emplace_back(start, i - start);
        }
    }
}

// Every non-empty secret of the text, each list in text order.
Secrets secrets(std::string_view text) {
    Secrets found;
    if (text.starts_with("sqlite:")) {
        return found;
    }
    const std::size_t scheme = text.find("://");
    if (scheme != std::string_view::npos) {
        uriSecrets(text, scheme + 3, found);
    } else {
        keywordPasswords(text, found.passwords);
    }
    std::erase_if(found.passwords, [](const Span& s) { return s.second == 0; });
    return found;
}

void replaceAll(std::string& text, const std::string& what, const std::string& with) {
    if (what.empty()) {
        return;
    }
    for (std::size_t at = text.find(what); at != std::string::npos;
         at = text.find(what, at + with.size())) {
        text.replace(at, what.size(), with);
    }
}

}  // namespace

std::string redactUrl(const std::string& url) {
    const Secrets found = secrets(url);
    std::vector<Span> spans = found.passwords;
    spans.insert(spans.end(), found.queryValues.begin(), found.queryValues.end());
    std::sort(spans.begin(), spans.end());
    spans.erase(std::unique(spans.begin(), spans.end()), spans.end());
    std::string out = url;
    // From the end, so that the earlier spans keep their places.
    for (auto it = spans.rbegin(); it != spans.rend(); ++it) {
        out.replace(it->first, it->second, "***");
    }
    return out;
}

bool hasPassword(std::string_view text) {
    return !secrets(text).passwords.empty();
}

std::string maskPasswords(std::string message, const std::string& url) {
    replaceAll(message, url, redactUrl(url));
    for (const auto& [start, length] : secrets(url).passwords) {
        replaceAll(message, url.substr(start, length), "***");
    }
    return message;
}

}  // namespace server
