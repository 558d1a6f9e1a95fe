#pragma once
// Passwords in database URLs: found, masked in messages, kept off the command line.

#include <string>
#include <string_view>

namespace server {

/// The URL with every password it carries replaced by "***", for messages: the password
/// of the user part ("postgresql://vnd:***@db/vnd"), a `password=` query parameter of the
/// URI and a `password=` key of libpq's key/value form. Any other text comes back as it
/// stands (a SQLite path is never changed).
std::string redactUrl(const std::string& url);

/// Whether the text carries a non-empty password in one of the forms redactUrl masks.
bool hasPassword(std::string_view text);

/// The message with the URL and every password of it masked: libpq repeats parts of a
/// URI it cannot parse (the whole URI, or just the password) in its own messages.
std::string maskPasswords(std::string message, const std::string& url);

}  // namespace server
