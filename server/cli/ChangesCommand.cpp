// vnd-server changes: the highest change number of the change log, the number a till that
// has caught up holds (vnd-till status).

#include <CLI/CLI.hpp>
#include <memory>
#include <ostream>

#include "server/cli/Command.h"
#include "server/store/ChangeLogQueries.h"
#include "server/store/StoreFactory.h"

namespace server {

Command addChangesCommand(CLI::App& program) {
    auto db = std::make_shared<std::string>();
    CLI::App& command = newCommand(
        program, "changes",
        "o número da última alteração de preços gravada, o que um caixa em dia guarda");
    addDatabaseOption(command, *db);
    return {&command, [db](std::ostream& out, std::ostream&) {
                requireDatabase(*db);
                auto store = openStoreToRead(*db);
                out << "alteracao: " << ChangeLogQueries(*store).span().highest << '\n';
                return 0;
            }};
}

}  // namespace server
