#pragma once
// The small pictures of the framework's buttons, drawn in code so no image files ship.

#include <QIcon>

#include "controls/TButtonFlat.h"

namespace vol {

/// Button glyphs; each icon has a normal and a disabled (greyed) state.
class Glyphs {
public:
    /// The magnifying glass of lookup buttons.
    static QIcon search();
    /// The little calendar sheet of date edits.
    static QIcon calendar();
    /// The green tick of the confirm button.
    static QIcon confirm();
    /// The picture of a flat button (24 pixels): the tick, a magnifying glass, a price
    /// tag, a red cross, a clock turning back, a sheet with an arrow leaving it.
    static QIcon button(ButtonGlyph glyph);
    /// The application's icon: a price tag with the currency sign, at the sizes window
    /// frames, task bars and menus ask for.
    static QIcon application();
};

}  // namespace vol
