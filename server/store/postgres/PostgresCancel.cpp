#include "server/store/postgres/PostgresCancel.h"

#include <atomic>
#include <system_error>
#include <thread>

namespace server {

void cancelInBackground(PGconn* conn) {
    static std::atomic<int> underWay{0};
    if (underWay.fetch_add(1) >= 4) {
        --underWay;
        return;
    }
    PGcancel* cancel = PQgetCancel(conn);
    if (cancel == nullptr) {
        --underWay;
        return;
    }
    try {
        std::thread([cancel] {
            char error[256];
            PQcancel(cancel, error, sizeof error);
            PQfreeCancel(cancel);
            --underWay;
        }).detach();
    } catch (const std::system_error&) {
        PQfreeCancel(cancel);  // no thread to be had: the server's own bound ends it
        --underWay;
    }
}

}  // namespace server
