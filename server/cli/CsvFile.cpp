#include "server/cli/CsvFile.h"

#include <fstream>
#include <stdexcept>

#include "server/ops/Utf8Text.h"

namespace server {

void readTextLines(const std::string& file, const std::string& nothingDone,
                   const std::function<void(int number, const std::string& line)>& fn) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw std::runtime_error("não foi possível ler " + file);
    }
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (number == 1 && line.starts_with("\xEF\xBB\xBF")) {
            line.erase(0, 3);
        }
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty()) {
            continue;
        }
        try {
            // Checked before any of it is repeated in a message: Latin-1 bytes would
            // reach the screens as replacement marks.
            if (!utf8Characters(line)) {
                throw std::invalid_argument(
                    "a linha não está em UTF-8 (salve o arquivo como UTF-8)");
            }
            fn(number, line);
        } catch (const std::invalid_argument& e) {
            throw std::runtime_error(lineRefusal(file, number, e.what(), nothingDone));
        }
    }
}

std::string lineRefusal(const std::string& file, int number, const std::string& why,
                        const std::string& nothingDone) {
    return file + (number > 0 ? ", linha " + std::to_string(number) : std::string()) + ": " +
           why + "; " + nothingDone;
}

std::vector<std::string> csvCells(std::string_view line) {
    std::vector<std::string> cells(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == ';') {
            cells.emplace_back();
        } else if (c == '"' && cells.back().empty() && (i == 0 || line[i - 1] == ';')) {
            // A quoted cell: up to the quote that is not doubled.
            std::string& cell = cells.back();
            for (++i;; ++i) {
                if (i >= line.size()) {
                    throw std::invalid_argument("aspas abertas e não fechadas na coluna " +
                                                std::to_string(cells.size()));
                }
                if (line[i] == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                    cell += '"';
                    ++i;
                } else if (line[i] == '"') {
                    break;
                } else {
                    cell += line[i];
                }
            }
            if (i + 1 < line.size() && line[i + 1] != ';') {
                throw std::invalid_argument("texto depois das aspas que fecham a coluna " +
                                            std::to_string(cells.size()));
            }
        } else {
            cells.back() += c;
        }
    }
    return cells;
}

std::string csvLine(const std::vector<std::string>& cells) {
    std::string out;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        out.append(i ? ";" : "").append(csvCell(cells[i]));
    }
    return out;
}

}  // namespace server
