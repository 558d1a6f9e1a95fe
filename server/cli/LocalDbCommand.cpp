// vnd-server localdb: a station's local database for its branch, from the server's data.

#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <ostream>
#include <stdexcept>

#include <sys/stat.h>
#include <unistd.h>

#include "demodata/LocalDatabase.h"
#include "server/cli/Command.h"
#include "server/cli/UsageError.h"
#include "server/service/StationData.h"
#include "server/store/StoreFactory.h"

namespace server {

namespace {

// Writes the rows into a file of its own beside `file` and then puts it in file's place:
// a run that fails leaves no half-written database, and a station never reads one.
void writeInPlace(const std::string& file, const demo::DataSet& rows) {
    std::string temporary = file + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) {
        throw std::runtime_error("não foi possível criar um arquivo ao lado de " + file);
    }
    // Readable by everyone, as a file the user made: it holds no secret and is copied to
    // the stations.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    close(fd);
    try {
        demo::writeLocalDatabase(temporary, rows);
        std::filesystem::rename(temporary, file);
    } catch (...) {
        std::remove(temporary.c_str());
        throw;
    }
}

std::string count(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

Command addLocalDbCommand(CLI::App& program) {
    struct Options {
        std::string db, branch, file;
    };
    auto o = std::make_shared<Options>();
    CLI::App& command = newCommand(
        program, "localdb",
        "grava o banco local de uma estação da filial (o de vnd-host --localdb) com os dados "
        "do servidor");
    addDatabaseOption(command, o->db);
    command.add_option("--branch", o->branch, "a filial da estação")->type_name("FILIAL");
    command.add_option("file", o->file, "o arquivo SQLite a gravar (substituído se existir)")
        ->type_name("ARQUIVO");
    return {&command, [o](std::ostream& out, std::ostream&) {
                requireDatabase(o->db);
                if (o->branch.empty()) {
                    throw UsageError("localdb: informe a filial com --branch");
                }
                if (o->file.empty()) {
                    throw UsageError("localdb: informe o arquivo");
                }
                auto store = openStoreToRead(o->db);
                const demo::DataSet rows = stationData(*store, o->branch);
                writeInPlace(o->file, rows);
                out << "vnd-server: banco local da filial " << o->branch << " gravado em "
                    << o->file << " ("
                    << count(rows.products.size(), "produto", "produtos") << ", "
                    << count(rows.consumerTypes.size(), "tipo de consumidor",
                             "tipos de consumidor")
                    << ", " << count(rows.consumerTypeBranches.size(), "usado", "usados")
                    << " pela filial)\n";
                return 0;
            }};
}

}  // namespace server
