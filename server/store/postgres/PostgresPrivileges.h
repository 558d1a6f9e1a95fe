#pragma once
// What a PostgreSQL role lacks of the privileges the server needs.

#include <string>
#include <vector>

namespace server {

class RuleStore;

/// For a store on PostgreSQL: each privilege its role lacks, as a Portuguese sentence
/// naming the GRANT that gives it: TEMPORARY on the database (a store stages its rows in
/// a temporary table), then, table by table in schema::kServerNeeds order, what the
/// server does to the tables that exist (a table an upgrade has yet to make is not
/// asked about). Empty when it lacks nothing. Throws StoreError when the database fails.
std::vector<std::string> missingPostgresPrivileges(RuleStore& store);

}  // namespace server
