#include "WaitingTills.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#include "protocol/JsonRpc.h"
#include "till/ChangeBatch.h"

namespace bench {

namespace {

// A blocking connection made at once, then used without blocking.
int connectTo(unsigned short port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        throw std::runtime_error("socket failed");
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        throw std::runtime_error("connect to the server failed");
    }
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    return fd;
}

}  // namespace

struct WaitingTills::Till {
    int fd = -1;
    long long since = 0;
    long id = 0;
    std::string received;
    // Products still to fetch for the batch being applied, and its `ate`.
    std::vector<std::string> toFetch;
    std::vector<long long> numbers;
    long long batchAte = 0;
    ~Till() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

WaitingTills::WaitingTills(unsigned short port, int count, long long since, TillMode mode,
                           long waitMs)
    : port_(port), since_(since), mode_(mode), waitMs_(waitMs) {
    for (int i = 0; i < count; ++i) {
        auto till = std::make_unique<Till>();
        till->fd = connectTo(port_);
        till->since = since_;
        send(*till);
        tills_.push_back(std::move(till));
    }
    thread_ = std::thread([this] { run(); });
}

WaitingTills::~WaitingTills() {
    stop_ = true;
    thread_.join();
}

std::vector<WaitingTills::Arrival> WaitingTills::arrivals() {
    std::lock_guard lock(mutex_);
    return arrivals_;
}

std::string WaitingTills::firstFailure() {
    std::lock_guard lock(mutex_);
    return firstFailure_;
}

void WaitingTills::send(Till& till) {
    std::string line;
    ++till.id;
    if (!till.toFetch.empty()) {
        const std::string& product = till.toFetch.back();
        line = wire::encodeRequest(till.id, "Vnd42400.rdmTabePreco.GetDadosPreco",
                                   {"0001", "001", product, product, 1});
    } else {
        line = wire::encodeRequest(till.id, "Vnd42400.rdmTabePreco.GetAlteracoes",
                                   {"0001", "001", till.since, 1000, waitMs_});
    }
    line += '\n';
    // Request lines are small: the socket's buffer takes them whole.
    if (::write(till.fd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
        throw std::runtime_error("a till's request could not be sent");
    }
}

void WaitingTills::answered(Till& till, const std::string& line) {
    const wire::CallResult result = wire::parseResponse(line, till.id);
    const auto* json = std::get_if<nlohmann::json>(&result.value);
    if (!result.ok || json == nullptr) {
        ++failures_;
        std::lock_guard lock(mutex_);
        if (firstFailure_.empty()) {
            firstFailure_ = result.ok ? line.substr(0, 200) : result.errorMessage;
        }
        send(till);  // the same request again
        return;
    }
    if (!till.toFetch.empty()) {
        till.toFetch.pop_back();
    } else {
        const till::ChangeBatch batch = till::readChangeBatch(*json);
        till.batchAte = batch.ate;
        till.numbers.clear();
        for (const till::Change& c : batch.changes) {
            till.numbers.push_back(c.number);
            if (mode_ == TillMode::Follow && c.product) {
                till.toFetch.push_back(*c.product);
            }
        }
    }
    if (till.toFetch.empty()) {
        const auto now = std::chrono::steady_clock::now();
        {
            std::lock_guard lock(mutex_);
            for (long long n : till.numbers) {
                arrivals_.push_back({n, now});
            }
        }
        till.numbers.clear();
        till.since = std::max(till.since, till.batchAte);
    }
    send(till);
}

void WaitingTills::run() {
    std::vector<pollfd> fds(tills_.size());
    char buffer[65536];
    while (!stop_) {
        for (std::size_t i = 0; i < tills_.size(); ++i) {
            fds[i] = {tills_[i]->fd, POLLIN, 0};
        }
        if (::poll(fds.data(), fds.size(), 50) <= 0) {
            continue;
        }
        for (std::size_t i = 0; i < tills_.size(); ++i) {
            if (fds[i].revents == 0) {
                continue;
            }
            Till& till = *tills_[i];
            const ssize_t n = ::read(till.fd, buffer, sizeof buffer);
            if (n <= 0) {
                if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                    continue;
                }
                ++failures_;
                std::lock_guard lock(mutex_);
                if (firstFailure_.empty()) {
                    firstFailure_ = "the server closed a till's connection";
                }
                ::close(till.fd);
                till.fd = -1;
                continue;
            }
            till.received.append(buffer, static_cast<std::size_t>(n));
            std::size_t end;
            while ((end = till.received.find('\n')) != std::string::npos) {
                const std::string line = till.received.substr(0, end);
                till.received.erase(0, end + 1);
                answered(till, line);
            }
        }
    }
}

}  // namespace bench
