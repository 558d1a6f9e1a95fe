#include "units/Consiste.h"

#include "forms/Abort.h"
#include "forms/Application.h"
#include "ui/UserInterface.h"

namespace vol {

void MensErro(const std::string& text, bool abortAction) {
    Application::instance().ui().showError(text);
    if (abortAction) throw Abort();
}

wire::DataPacket CheckResultServ(const wire::CallResult& result, bool abortAction, int /*context*/) {
    if (!result.ok) {
        MensErro(result.errorMessage.empty() ? "O servidor de aplicação recusou a operação." : result.errorMessage,
                 abortAction);
        return {};
    }
    if (const auto* packet = std::get_if<wire::DataPacket>(&result.value)) return *packet;
    return {};
}

bool EmptyString(std::string_view text) { return text.find_first_not_of(' ') == std::string_view::npos; }

std::string Ajusta(std::string_view code, int width) {
    std::size_t b = code.find_first_not_of(' ');
    if (b == std::string_view::npos) return std::string(static_cast<std::size_t>(std::max(width, 0)), '0');
    std::size_t e = code.find_last_not_of(' ');
    std::string trimmed(code.substr(b, e - b + 1));
    if (static_cast<int>(trimmed.size()) >= width) return trimmed;
    return std::string(static_cast<std::size_t>(width) - trimmed.size(), '0') + trimmed;
}

}  // namespace vol
