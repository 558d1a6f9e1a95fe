#pragma once
// Reading the picked-codes text that the product list leaves behind.

#include <string>
#include <string_view>
#include <vector>

namespace vnd {

/// The product codes of a picked-codes text, in text order. Every "_" that is not the
/// text's last character opens one entry whose code is the 10 characters after it (fewer
/// when the text ends sooner); reading resumes after those 10 characters, and characters
/// before a "_" are skipped. "_0000000001_0000000002_" gives two codes; "_12_0000000002_"
/// gives the one code "12_0000000". Runs in time linear in the text's length.
std::vector<std::string> parsePickedCodes(std::string_view text);

}  // namespace vnd
