#pragma once
// A CSV file as the spreadsheets of Brazilian offices open it.

#include <fstream>
#include <string>
#include <vector>

namespace vnd {

/// Writes a CSV file: UTF-8 with a byte-order mark (so the spreadsheet reads the accents),
/// ";" between fields, CR LF line ends. Lines are written as they come, so a file of a
/// million lines needs no more memory than one line. A file not committed (a failure, an
/// exception on the way) is removed by the destructor: no half export is left looking
/// complete. Throws std::runtime_error with a Portuguese text when the file cannot be
/// created or written.
class CsvFile {
public:
    explicit CsvFile(std::string path);
    ~CsvFile();
    CsvFile(const CsvFile&) = delete;
    CsvFile& operator=(const CsvFile&) = delete;

    /// Writes one line of fields.
    void write(const std::vector<std::string>& fields);
    /// Flushes and closes the file; it stays.
    void commit();
    /// Lines written so far.
    long lines() const { return lines_; }

    /// One line's text without its line end: each field quoted when it holds ";", a
    /// quote, a line break or blanks at its ends (quotes doubled inside), and a text that
    /// starts with "=", "+", "-" or "@" written with a leading apostrophe, so that the
    /// spreadsheet shows it instead of running it as a formula.
    static std::string line(const std::vector<std::string>& fields);

private:
    std::string path_;
    std::ofstream out_;
    long lines_ = 0;
    bool committed_ = false;
};

}  // namespace vnd
