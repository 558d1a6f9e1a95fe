#pragma once
// Lines sent through COPY ... FROM STDIN as they are made.

#include <string>
#include <string_view>

namespace server {

struct PostgresConnection;

/// Appends value to a COPY line in COPY's text format: backslash escapes for the few
/// characters it gives a meaning to.
void appendCopyField(std::string& line, std::string_view value);

/// Sends its lines in chunks, so that a large set of rows never sits in memory as text. A
/// COPY cut short by a failure is left to the transaction, which drops the connection.
/// Every method throws StoreError.
class PostgresCopyStream {
public:
    /// Starts copySql ("COPY ... FROM STDIN").
    PostgresCopyStream(PostgresConnection& c, std::string_view copySql);
    PostgresCopyStream(const PostgresCopyStream&) = delete;
    PostgresCopyStream& operator=(const PostgresCopyStream&) = delete;
    /// The text the current line is appended to.
    std::string& text() { return chunk_; }
    /// Called after each complete line.
    void lineDone();
    /// Sends what is left and ends the COPY.
    void finish();

private:
    static constexpr std::size_t kChunk = 256 * 1024;
    void flush();
    PostgresConnection& c_;
    std::string what_;
    std::string chunk_;
};

}  // namespace server
