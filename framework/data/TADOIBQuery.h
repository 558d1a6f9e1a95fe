#pragma once
// A read query on the host's local database.

#include <map>
#include <string>
#include <vector>

#include "data/DataSet.h"

namespace vol {

/// A named parameter of a query; values are set as strings.
class QueryParam {
public:
    void setAsString(const std::string& value) { value_ = value; }
    const std::string& asString() const { return value_; }

private:
    std::string value_;
};

/// A query over the local database of the host's data module (the application's). Its
/// SQL holds named parameters written ":NAME"; Open runs it and holds every row it yields
/// as a dataset. Declared fields take the result columns of the same name.
class TADOIBQuery : public DataSet {
public:
    TADOIBQuery(Form& owner, std::string name);

    /// The SQL text, line by line.
    std::vector<std::string> SQL;

    /// The parameter of that name (created on first use).
    QueryParam& ParamByName(const std::string& name);
    /// Runs the SQL with the parameters' values and opens the result; a database error
    /// throws std::runtime_error with the database's text.
    void Open();
    void Close() { close(); }
    bool IsEmpty() const { return isEmpty(); }
    /// The SQL as one text, lines joined by line breaks.
    std::string sqlText() const;

private:
    std::map<std::string, QueryParam> params_;
};

}  // namespace vol
