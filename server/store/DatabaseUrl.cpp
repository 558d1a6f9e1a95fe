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

// The values of `password=` among the parameters of a URI's query, which starts at from.
void queryPasswords(std::string_view url, std::size_t from, std::vector<Span>& spans) {
    std::size_t start = from;
    while (start < url.size()) {
        std::size_t end = url.find('&', start);
        if (end == std::string_view::npos) {
            end = url.size();
        }
        const std::string_view parameter = url.substr(start, end - start);
        constexpr std::string_view kKey = "password=";
        if (parameter.starts_with(kKey)) {
            spans.emplace_back(start + kKey.size(), parameter.size() - kKey.size());
        }
        start = end + 1;
    }
}

void uriPasswords(std::string_view url, std::size_t authority, std::vector<Span>& spans) {
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
            spans.emplace_back(colon + 1, at - colon - 1);
        }
    }
    const std::size_t afterUser = at != std::string_view::npos && at >= authority ? at : authority;
    const std::size_t queryStart = url.find('?', afterUser);
    if (queryStart != std::string_view::npos) {
        queryPasswords(url, queryStart + 1, spans);
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

// Every non-empty password of the text, in text order.
std::vector<Span> passwords(std::string_view text) {
    std::vector<Span> spans;
    if (text.starts_with("sqlite:")) {
        return spans;
    }
    const std::size_t scheme = text.find("://");
    if (scheme != std::string_view::npos) {
        uriPasswords(text, scheme + 3, spans);
    } else {
        keywordPasswords(text, spans);
    }
    std::erase_if(spans, [](const Span& s) { return s.second == 0; });
    return spans;
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
    std::string out = url;
    const std::vector<Span> spans = passwords(url);
    // From the end, so that the earlier spans keep their places.
    for (auto it = spans.rbegin(); it != spans.rend(); ++it) {
        out.replace(it->first, it->second, "***");
    }
    return out;
}

bool hasPassword(std::string_view text) {
    return !passwords(text).empty();
}

std::string maskPasswords(std::string message, const std::string& url) {
    replaceAll(message, url, redactUrl(url));
    for (const auto& [start, length] : passwords(url)) {
        replaceAll(message, url.substr(start, length), "***");
    }
    return message;
}

}  // namespace server
