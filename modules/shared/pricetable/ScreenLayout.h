#pragma once
// How the price screens lay out and declare their controls and fields.

#include <string>

#include "controls/Control.h"

namespace vol {
class DataSet;
class DataSource;
class Edit;
class Label;
class TBtnPesquisa;
}  // namespace vol

namespace vnd::layout {

// Heights the toolkit gives each kind of control at the screens' font.
inline constexpr int kEditHeight = 21;
inline constexpr int kLabelHeight = 13;
inline constexpr int kBoxHeight = 17;
inline constexpr int kLookupSize = 21;

/// An entry the user types into: info background, a tab stop at its place in the order.
void entry(vol::Control& c, vol::Rect r, int tabOrder);
/// A name shown beside a code: disabled, out of the tab order, button face.
void nameField(vol::Edit& e, vol::Rect r, int tabOrder);
/// A lookup button beside its associate, listing the source under the title.
void lookup(vol::TBtnPesquisa& b, int left, int top, vol::Control* associate, std::string title,
            vol::DataSource* source, std::string emptyError, int height = kLookupSize);
/// A header label in the bold caption font.
void boldLabel(vol::Label& l, std::string caption, vol::Rect r);
/// A text field of a dataset, shown in lookups under the title when visible.
void stringField(vol::DataSet& d, std::string name, int size, std::string title, bool visible);

}  // namespace vnd::layout
