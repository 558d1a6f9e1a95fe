#include "server/rpc/BatchAnswer.h"

#include "protocol/JsonRpc.h"

namespace server {

BatchAnswer::BatchAnswer(std::size_t limit, std::string answered)
    : limit_(limit), elements_(std::move(answered)) {
    open_ = elements_.size() < limit_;
}

void BatchAnswer::append(std::string_view answer) {
    if (!elements_.empty()) {
        elements_ += ',';
    }
    elements_ += answer;
}

void BatchAnswer::add(const nlohmann::json& id, std::string_view answer, bool store) {
    if (store || elements_.size() + 1 + answer.size() <= limit_) {
        append(answer);
        open_ = open_ && elements_.size() < limit_;
        return;
    }
    refuse(id);
}

void BatchAnswer::refuse(const nlohmann::json& id) {
    open_ = false;
    append(wire::encodeError(id, wire::rpc::kRefused, refusal()));
}

std::string BatchAnswer::refusal() const {
    return "Chamada não atendida: as respostas do lote passariam do limite de " +
           std::to_string(limit_) + " bytes; envie-a em outra mensagem.";
}

std::optional<std::string> BatchAnswer::take() {
    if (elements_.empty()) {
        return std::nullopt;
    }
    // Bracketed in place: a batch's answers may be large, and are not copied.
    elements_.insert(elements_.begin(), '[');
    elements_ += ']';
    return std::move(elements_);
}

}  // namespace server
