#pragma once
// An edit whose input goes through an edit mask.

#include <string>

#include "controls/Edit.h"
#include "text/MaskEngine.h"

namespace vol {

/// A masked edit. The edit text holds one character per mask position (literals and
/// blanks included); text() reads it as the mask says (with or without literals), and
/// rawText() reads it with the mask removed. Without a mask it behaves as a plain edit.
class MaskEdit : public Edit {
public:
    MaskEdit(Form& owner, Control* parent, std::string name,
             ControlKind kind = ControlKind::MaskEdit);

    const std::string& editMask() const { return engine_.mask(); }
    /// Sets a new mask; the current text is written again under the new mask.
    void setEditMask(const std::string& mask);
    const MaskEngine& engine() const { return engine_; }

    std::string text() const override;
    void setText(const std::string& text) override;
    std::string editText() const override;
    /// The text with the mask removed: only what was typed in the places.
    std::string rawText() const;

    bool typeChar(char32_t ch) override;
    void backspace() override;
    void deleteForward() override;
    void clearByUser() override;

private:
    void apply(const MaskEngine::Edit& e);

    MaskEngine engine_;
};

}  // namespace vol
