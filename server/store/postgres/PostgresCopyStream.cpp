#include "server/store/postgres/PostgresCopyStream.h"

#include "server/store/postgres/PostgresConnection.h"

namespace server {

void appendCopyField(std::string& line, std::string_view value) {
    for (char c : value) {
        switch (c) {
            case '\\': line += "\\\\"; break;
            case '\t': line += "\\t"; break;
            case '\n': line += "\\n"; break;
            case '\r': line += "\\r"; break;
            default: line += c;
        }
    }
}

PostgresCopyStream::PostgresCopyStream(PostgresConnection& c, std::string_view copySql)
    : c_(c), what_(copySql.substr(0, 40)) {
    if (!PQsendQuery(c_.h(), std::string(copySql).c_str())) {
        c_.fail(what_);
    }
    c_.flushOut(what_);
    PostgresResult start = c_.collect(what_);
    if (PQresultStatus(start.get()) != PGRES_COPY_IN) {
        c_.fail(what_, start.get());
    }
    chunk_.reserve(kChunk + 4096);
}

void PostgresCopyStream::lineDone() {
    if (chunk_.size() >= kChunk) {
        flush();
    }
}

void PostgresCopyStream::finish() {
    flush();
    c_.queue([&] { return PQputCopyEnd(c_.h(), nullptr); }, "COPY");
    c_.flushOut("COPY");
    c_.collect("COPY");
}

void PostgresCopyStream::flush() {
    if (chunk_.empty()) {
        return;
    }
    c_.queue(
        [&] { return PQputCopyData(c_.h(), chunk_.data(), static_cast<int>(chunk_.size())); },
        "COPY");
    c_.flushOut("COPY");
    chunk_.clear();
}

}  // namespace server
