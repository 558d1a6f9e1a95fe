#pragma once
// What a PostgreSQL role lacks for the server to store rules.

#include <optional>
#include <string>

namespace server {

/// For a postgresql:// URL: a Portuguese sentence naming a privilege on the database
/// that the URL's role lacks and every store needs (TEMPORARY: a store stages its rows
/// in a temporary table), or nullopt when it has them, when the URL is no PostgreSQL
/// one, or when the database cannot be asked (the server's own start says why then).
std::optional<std::string> missingStorePrivilege(const std::string& url);

}  // namespace server
