#include "server/store/postgres/PostgresTransaction.h"

#include <algorithm>
#include <exception>

#include "server/store/postgres/PostgresConnection.h"

namespace server {

PostgresTransaction::PostgresTransaction(PostgresConnection& c, std::string_view begin,
                                         Access access)
    : c_(c), joined_(c.inTransaction), access_(access) {
    if (joined_) {
        return;
    }
    c_.exec(begin);
    c_.inTransaction = true;
}

PostgresTransaction::~PostgresTransaction() {
    if (done_ || joined_) {
        return;
    }
    c_.inTransaction = false;
    c_.committing = false;
    if (!c_.handle || PQtransactionStatus(c_.h()) == PQTRANS_ACTIVE || c_.interrupted.load()) {
        c_.drop();
        return;
    }
    // A short bound of its own: the call's deadline may be what ended it.
    const auto saved = c_.deadline;
    c_.deadline = std::min(saved, PostgresConnection::Clock::now() + std::chrono::seconds(5));
    try {
        c_.exec("ROLLBACK");
    } catch (const std::exception&) {
        c_.drop();
    }
    c_.deadline = saved;
}

void PostgresTransaction::commit() {
    if (joined_) {
        return;
    }
    // Only a write's outcome can be in doubt when its COMMIT goes unanswered.
    c_.committing = access_ == Access::Write;
    c_.exec("COMMIT");
    c_.committing = false;
    c_.inTransaction = false;
    done_ = true;
}

}  // namespace server
