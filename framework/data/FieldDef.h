#pragma once
// The definition of one dataset field.

#include <string>

namespace vol {

/// A stored field, or one computed for every record by the dataset's calculate event.
enum class FieldKind { Data, Calculated };

/// What a dataset knows of one of its fields. All fields hold text.
struct FieldDef {
    std::string name;
    int size = 0;               ///< width in characters
    std::string displayLabel;   ///< the column title of lookups; the name when empty
    bool visible = true;        ///< shown as a column of lookups and lists
    int displayWidth = 0;       ///< the column's width in characters, 0 = the size
    std::string editMask;       ///< the picture a value is shown through
    bool readOnly = false;
    FieldKind kind = FieldKind::Data;

    /// The column title: the display label, or the name when there is none.
    const std::string& title() const { return displayLabel.empty() ? name : displayLabel; }
};

}  // namespace vol
