// The edit-mask engine with any mask, any text and any keystrokes: no crash, and every
// edit text it gives keeps the mask's length.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "text/MaskEngine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    // First line the mask, second the text written by code, the rest keystrokes.
    const auto nl = input.find('\n');
    const std::string_view mask = input.substr(0, nl);
    const std::string_view rest = nl == std::string_view::npos ? "" : input.substr(nl + 1);
    const auto nl2 = rest.find('\n');
    const std::string_view text = rest.substr(0, nl2);
    const std::string_view keys = nl2 == std::string_view::npos ? "" : rest.substr(nl2 + 1);

    const vol::MaskEngine engine(mask);
    std::string edit = engine.empty() ? std::string(text) : engine.editTextFromText(text);
    if (!engine.empty() && static_cast<int>(edit.size()) != engine.length()) {
        std::abort();
    }
    int caret = 0;
    for (std::size_t i = 0; i < keys.size() && i < 256; ++i) {
        const char key = keys[i];
        vol::MaskEngine::Edit next;
        switch (static_cast<unsigned char>(key) % 8) {
            case 0: next = engine.backspace(edit, caret); break;
            case 1: next = engine.deleteForward(edit, caret); break;
            case 2: next = engine.clearRange(edit, caret - 2, caret + 1); break;
            default: next = engine.typeChar(edit, caret, key); break;
        }
        edit = next.editText;
        caret = next.caret;
        if (!engine.empty() && static_cast<int>(edit.size()) != engine.length()) {
            std::abort();
        }
    }
    (void)engine.text(edit);
    (void)engine.rawText(edit);
    (void)engine.isComplete(edit);
    return 0;
}
