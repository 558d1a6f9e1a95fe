#pragma once
// Passwords in database URLs: found, masked in messages, kept off the command line.

#include <string>
#include <string_view>

namespace server {

/// The URL with every password it carries replaced by "***", for messages and the log:
/// the password of the user part ("postgresql://vnd:***@db/vnd"), the value of every
/// parameter of the URI's query ("?sslmode=***&password=***": a key may be spelt in ways
/// libpq decodes, such as "%70assword") and a `password=` key of libpq's key/value form.
/// Any other text comes back as it stands (a SQLite path is never changed).
std::string redactUrl(const std::string& url);

/// Whether the text carries a non-empty password: in the user part, in a query parameter
/// whose key, percent-decoded, is `password`, or as a `password=` key.
bool hasPassword(std::string_view text);

/// The message with the URL and every password of it masked: libpq repeats parts of a
/// URI it cannot parse (the whole URI, or just the password) in its own messages.
std::string maskPasswords(std::string message, const std::string& url);

}  // namespace server
