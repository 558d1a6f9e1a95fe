#pragma once
// The command line's price questions and holiday upkeep: `price`, `prices`, `holidays`.

#include <iosfwd>
#include <optional>
#include <string>

#include "protocol/Date.h"

namespace server {

/// Where and when a price is asked for on the command line.
struct PriceQuestion {
    std::string url;
    std::string branch;
    std::string table;
    std::string consumerType;  ///< "" for none
    std::string at;            ///< "YYYY-MM-DD HH:MM"
};

/// `price`: the explanation of one product's price, one line per rule, the applied first.
/// Throws std::invalid_argument for a moment that is not "YYYY-MM-DD HH:MM", and the
/// server's own refusals (wire::RpcError) for codes that are not stored.
void printPrice(const PriceQuestion& question, const std::string& product, std::ostream& out);
/// `prices`: the price book, as aligned text or, with csv, `;`-separated values with `,`
/// decimals and a header line.
void printPrices(const PriceQuestion& question, bool csv, std::ostream& out);

/// `holidays list`: the holidays of a branch (and of every branch) or of all, by year.
void listHolidays(const std::string& url, const std::optional<std::string>& branch,
                  std::optional<int> year, std::ostream& out);
/// `holidays add`: adds (or renames) one holiday of a branch or of "T"; the name is UTF-8
/// of 1 to 60 characters.
void addHoliday(const std::string& url, const std::string& branch, const std::string& date,
                const std::string& name, std::ostream& out);
/// `holidays remove`: removes one; throws std::runtime_error when there is none.
void removeHoliday(const std::string& url, const std::string& branch, const std::string& date,
                   std::ostream& out);
/// `holidays import`: lines "filial;dd/mm/aaaa;nome" (UTF-8, a byte-order mark allowed),
/// the whole file or nothing: a bad line (a line that is not UTF-8 among them) stops it,
/// naming the line, before anything is written.
void importHolidays(const std::string& url, const std::string& file, std::ostream& out);

}  // namespace server
