#include "till/TillReplica.h"

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <ostream>
#include <stdexcept>
#include <thread>
#include <unistd.h>

#include "protocol/JsonRpc.h"
#include "server/pricing/PriceBookWriter.h"
#include "server/pricing/PriceMoment.h"
#include "server/pricing/RuleText.h"
#include "till/LinkDown.h"
#include "till/TillConnection.h"

namespace till {

namespace {

namespace fs = std::filesystem;

// A change row a till cannot tell apart from "every product".
bool everyProduct(const Change& c) {
    return !c.product || c.product->empty();
}

// The date and the time ("HH:MM", not yet checked) asked for, read as the server's
// command line reads them.
std::pair<wire::Date, std::string> momentOf(const std::string& at) {
    const auto moment = server::splitMoment(at);
    if (!moment) {
        throw std::invalid_argument("--at deve ser \"AAAA-MM-DD HH:MM\": " + at);
    }
    return *moment;
}

// The new file reaches the disk, and its name the folder, before the old one is gone.
void syncFolderOf(const std::string& path) {
    const fs::path folder = fs::absolute(path).parent_path();
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Pauses up to `pause`, looking at stop now and then.
void pauseUnlessStopped(std::chrono::seconds pause, const std::atomic<bool>& stop) {
    const auto end = std::chrono::steady_clock::now() + pause;
    while (!stop && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

}  // namespace

TillReplica::TillReplica(std::string path) : path_(std::move(path)) {
    file();
}

TillReplica::TillReplica(std::string path, TillSource source)
    : path_(std::move(path)), source_(std::move(source)) {}

TillReplica::~TillReplica() = default;

TillFile& TillReplica::file() {
    if (!file_) {
        file_ = std::make_unique<TillFile>(path_, false);
    }
    return *file_;
}

TillConnection& TillReplica::link() {
    if (!source_) {
        throw std::logic_error("réplica aberta só para leitura");
    }
    if (!link_) {
        link_ = std::make_unique<TillConnection>(source_->host, source_->port, source_->settings);
    }
    return *link_;
}

void TillReplica::ensureLoaded() {
    if (!file_ && !fs::exists(path_)) {
        loadEverything();
        return;
    }
    const auto state = file().state();
    if (!state) {
        loadEverything();
        return;
    }
    if (source_ && (state->branch != source_->branch || state->table != source_->table)) {
        throw std::runtime_error("o arquivo " + path_ + " guarda a filial " + state->branch +
                                 ", tabela " + state->table + ", e não a filial " +
                                 source_->branch + ", tabela " + source_->table);
    }
}

long long TillReplica::loadRange(TillFile& into, const std::string& first,
                                 const std::string& last, long limit) {
    long long lowest = 0;
    std::optional<std::string> from = first;
    while (from) {
        const auto answer = link().call(
            "GetDadosPreco", {source_->branch, source_->table, *from, last, limit});
        PriceDataPage page = readPriceDataPage(*answer);
        into.applyPage(page, ProductRange{*from, last, page.next});
        lowest = lowest == 0 ? page.ate : std::min(lowest, page.ate);
        referenceLoadedAt_ = std::max(referenceLoadedAt_, page.ate);
        for (const auto& p : page.products) {
            loadedAt_[p.code] = std::max(loadedAt_[p.code], page.ate);
        }
        from = page.next;
        if (limit == 1) {
            break;  // a product alone, or only the periods and holidays
        }
    }
    return lowest;
}

void TillReplica::loadEverything() {
    // Into a new file beside the old one, swapped in whole: a till that dies while it
    // loads keeps selling from the file it had.
    const std::string fresh = path_ + ".novo";
    fs::remove(fresh);
    fs::remove(fresh + "-journal");
    loadedAt_.clear();
    referenceLoadedAt_ = 0;
    {
        TillFile into(fresh, true);
        into.inTransaction([&] {
            // Each page is its own snapshot; the file stands at the oldest, and the
            // changes after it are applied again.
            const long long ate = loadRange(into, "", "", kPage);
            into.setState({source_->branch, source_->table, ate, utcNow()});
            allLoadedAt_ = ate;
        });
    }
    file_.reset();
    if (std::rename(fresh.c_str(), path_.c_str()) != 0) {
        throw std::runtime_error("não foi possível trocar " + path_ + " pelo arquivo novo");
    }
    syncFolderOf(path_);
}

long long TillReplica::loadedFor(const Change& c) const {
    long long loaded = allLoadedAt_;
    if (c.kind == 'F' || c.kind == 'V') {
        loaded = std::max(loaded, referenceLoadedAt_);
    } else if (!everyProduct(c)) {
        const auto it = loadedAt_.find(*c.product);
        loaded = std::max(loaded, it == loadedAt_.end() ? 0 : it->second);
    }
    return loaded;
}

void TillReplica::applyChange(const Change& c) {
    if (c.number <= loadedFor(c)) {
        return;  // what was loaded for an earlier change already holds this one
    }
    TillFile& f = file();
    f.inTransaction([&] {
        if (c.kind == 'F' || c.kind == 'V') {
            // Every page brings the periods and holidays: one product's page is enough.
            loadRange(f, "", "", 1);
        } else if (everyProduct(c)) {
            allLoadedAt_ = loadRange(f, "", "", kPage);
        } else {
            loadRange(f, *c.product, *c.product, 1);
        }
        TillState state = *f.state();
        state.ate = std::max(state.ate, c.number);
        f.setState(state);
    });
}

void TillReplica::applyProducts(const std::vector<Change>& changes) {
    std::vector<std::string> codes;
    long long highest = 0;
    for (const Change& c : changes) {
        highest = std::max(highest, c.number);
        if (c.number > loadedFor(c)) {
            codes.push_back(*c.product);
        }
    }
    std::sort(codes.begin(), codes.end());
    codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
    TillFile& f = file();
    f.inTransaction([&] {
        for (std::size_t first = 0; first < codes.size();) {
            std::size_t last = first;
            while (last + 1 < codes.size() &&
                   f.productsBetween(codes[last], codes[last + 1]) <= kRangeGap) {
                ++last;
            }
            if (first == last) {
                loadRange(f, codes[first], codes[first], 1);
            } else {
                loadRange(f, codes[first], codes[last], kPage);
            }
            first = last + 1;
        }
        TillState state = *f.state();
        state.ate = std::max(state.ate, highest);
        f.setState(state);
    });
}

bool TillReplica::applyBatch(const ChangeBatch& batch, const std::atomic<bool>* stop) {
    if (batch.resynchronize) {
        loadEverything();
        return true;
    }
    // A change of every product (an import names each product it changed, then every
    // one) loads the whole range once, first: the changes of single products before it
    // are then held already and not loaded one by one.
    const auto every = std::find_if(batch.changes.rbegin(), batch.changes.rend(), [](const Change& c) {
        return c.kind != 'F' && c.kind != 'V' && everyProduct(c);
    });
    if (every != batch.changes.rend()) {
        applyChange(*every);
    }
    const auto& changes = batch.changes;
    for (std::size_t i = 0; i < changes.size();) {
        if (stop != nullptr && *stop) {
            return false;
        }
        // A run of changes that each name one product is applied together.
        std::size_t end = i;
        while (end < changes.size() && changes[end].kind != 'F' && changes[end].kind != 'V' &&
               !everyProduct(changes[end])) {
            ++end;
        }
        if (end - i > 1) {
            applyProducts({changes.begin() + static_cast<std::ptrdiff_t>(i),
                           changes.begin() + static_cast<std::ptrdiff_t>(end)});
            i = end;
        } else {
            applyChange(changes[i++]);
        }
    }
    TillFile& f = file();
    f.inTransaction([&] {
        TillState state = *f.state();
        state.ate = std::max(state.ate, batch.ate);
        state.updatedAt = utcNow();
        f.setState(state);
    });
    return true;
}

std::optional<ChangeBatch> TillReplica::askChanges(long waitMs, const std::atomic<bool>* stop) {
    const auto answer = link().call(
        "GetAlteracoes",
        {source_->branch, source_->table, changeNumber(), kChangeBatch, waitMs},
        std::chrono::milliseconds(waitMs), stop);
    if (!answer) {
        return std::nullopt;
    }
    return readChangeBatch(*answer);
}

long long TillReplica::syncOnce() {
    ensureLoaded();
    bool reloaded = false;
    for (;;) {
        const ChangeBatch batch = *askChanges(0, nullptr);
        if (batch.resynchronize && reloaded) {
            throw std::runtime_error("o servidor pede nova carga completa logo depois de uma");
        }
        reloaded = batch.resynchronize;
        applyBatch(batch, nullptr);
        if (!batch.resynchronize && static_cast<long>(batch.changes.size()) < kChangeBatch) {
            return changeNumber();
        }
    }
}

void TillReplica::follow(const std::atomic<bool>& stop, std::ostream& log) {
    std::chrono::seconds pause{1};
    bool down = false;
    while (!stop) {
        std::string failure;
        try {
            ensureLoaded();
            const auto batch = askChanges(kWaitMs, &stop);
            if (!batch) {
                break;
            }
            if (down) {
                log << "vnd-till: conexão com o servidor " << link().where()
                    << " restabelecida" << std::endl;
                down = false;
                pause = std::chrono::seconds(1);
            }
            if (!applyBatch(*batch, &stop)) {
                break;
            }
            continue;
        } catch (const LinkDown& e) {
            failure = e.what();
        } catch (const wire::RpcError& e) {
            // The server's database away is the link away a little further on.
            if (e.code() != wire::rpc::kInternalError) {
                throw;
            }
            failure = std::string("o servidor ") + link().where() + " falhou: " + e.what();
        }
        down = true;
        link().close();
        log << "vnd-till: " << failure << " Nova tentativa em " << pause.count() << " s."
            << std::endl;
        pauseUnlessStopped(pause, stop);
        pause = std::min(pause * 2, std::chrono::seconds(30));
    }
}

server::PriceMoment TillReplica::momentInFile(const std::string& consumerType,
                                              const wire::Date& date, const std::string& time) {
    TillFile& f = file();
    const auto state = f.state();
    if (!state) {
        throw std::runtime_error(path_ + " ainda não recebeu dados do servidor");
    }
    // Checked in the server's order: the consumer type, then the time.
    if (const auto why = server::consumerTypeRefusal(
            consumerType, [&](const std::string& code) { return f.consumerTypeStored(code); })) {
        throw std::invalid_argument(*why);
    }
    const auto hhmm = server::clockToHhmm(time);
    if (!hhmm) {
        throw std::invalid_argument("Hora '" + time + "' não é uma hora válida (HH:MM).");
    }
    const auto periods = f.periods();
    const auto holidays =
        f.holidays(date, wire::Date::fromDaysSinceEpoch(date.daysSinceEpoch() + 1));
    return server::momentAt(state->branch, state->table, consumerType, date, *hhmm, periods,
                            holidays);
}

server::PriceExplanation TillReplica::price(const std::string& code,
                                            const std::string& consumerType,
                                            const std::string& at) {
    const auto [date, time] = momentOf(at);
    server::PriceExplanation e;
    TillFile& f = file();
    f.readTogether([&] {
        const server::PriceMoment moment = momentInFile(consumerType, date, time);
        const std::string start = moment.period ? moment.period->start : date.iso();
        auto product = f.product(code, start);
        if (!product) {
            throw std::invalid_argument("Produto " + code + " não é vendido pela filial " +
                                        moment.branch + ".");
        }
        e = server::explainProduct(moment, std::move(*product),
                                   moment.period ? f.productRules(code, start)
                                                 : std::vector<server::RuleRow>{});
    });
    return e;
}

void TillReplica::writePrices(const std::string& consumerType, const std::string& at, bool csv,
                              std::ostream& out) {
    const auto [date, time] = momentOf(at);
    TillFile& f = file();
    f.readTogether([&] {
        const server::PriceMoment moment = momentInFile(consumerType, date, time);
        server::PriceBookWriter book(out, moment, csv);
        if (!moment.period) {
            return;
        }
        f.forEachPricedProduct(moment.period->start, [&](const server::PricedProduct& p,
                                                         const std::vector<server::RuleRow>& rules) {
            const server::RuleRow* applied = server::appliedRule(moment.moment, rules);
            book.add(p, applied, server::computePrice(p.base, applied));
        });
    });
}

void TillReplica::checkQuestion(const std::string& consumerType, const std::string& at) {
    const auto [date, time] = momentOf(at);
    file().readTogether([&] { momentInFile(consumerType, date, time); });
}

long long TillReplica::changeNumber() {
    const auto state = file().state();
    return state ? state->ate : 0;
}

TillStatus TillReplica::status() {
    TillStatus s;
    TillFile& f = file();
    f.readTogether([&] {
        const auto state = f.state();
        if (!state) {
            throw std::runtime_error(path_ + " ainda não recebeu dados do servidor");
        }
        s.state = *state;
        s.products = f.productCount();
        s.rules = f.ruleCount();
    });
    return s;
}

}  // namespace till
