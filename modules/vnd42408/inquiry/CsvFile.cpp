#include "inquiry/CsvFile.h"

#include <cstdio>
#include <stdexcept>

namespace vnd {

namespace {

std::string field(const std::string& text) {
    std::string value;
    if (!text.empty() && (text[0] == '=' || text[0] == '+' || text[0] == '-' || text[0] == '@')) {
        // A negative number is a number, not a formula.
        const bool number = text.size() > 1 && text[0] == '-' &&
                            text.find_first_not_of("0123456789,", 1) == std::string::npos;
        if (!number) value += '\'';
    }
    value += text;
    const bool quote = value.find_first_of(";\"\r\n") != std::string::npos ||
                       (!value.empty() && (value.front() == ' ' || value.back() == ' '));
    if (!quote) return value;
    std::string out = "\"";
    for (char c : value) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

}  // namespace

CsvFile::CsvFile(std::string path) : path_(std::move(path)) {
    out_.open(path_, std::ios::binary | std::ios::trunc);
    if (!out_) throw std::runtime_error("Não foi possível criar o arquivo " + path_ + ".");
    out_ << "\xEF\xBB\xBF";
}

CsvFile::~CsvFile() {
    if (committed_) return;
    out_.close();
    std::remove(path_.c_str());
}

void CsvFile::write(const std::vector<std::string>& fields) {
    out_ << line(fields) << "\r\n";
    if (!out_) throw std::runtime_error("Não foi possível gravar o arquivo " + path_ + ".");
    ++lines_;
}

void CsvFile::commit() {
    out_.flush();
    out_.close();
    if (out_.fail()) throw std::runtime_error("Não foi possível gravar o arquivo " + path_ + ".");
    committed_ = true;
}

std::string CsvFile::line(const std::vector<std::string>& fields) {
    std::string out;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) out += ';';
        out += field(fields[i]);
    }
    return out;
}

}  // namespace vnd
