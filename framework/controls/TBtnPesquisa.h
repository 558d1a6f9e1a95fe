#pragma once
// The lookup button: lists a dataset and copies the picked record.

#include <functional>
#include <string>

#include "controls/Control.h"

namespace vol {

class DataSet;
class DataSource;

/// A small square lookup button beside the control it serves (Associate). A click runs
/// OnClick when the screen wired one; otherwise it looks up: it raises OnBeforePesq
/// (where the screen fills the dataset; the flag, true on entry, may be cleared to cancel;
/// a failure ends the lookup), shows EmptyError as a notice when the dataset is empty,
/// else lists the dataset's visible fields under Title; for a picked record it positions
/// the dataset on it, raises OnAfterPesq and puts the focus into the associate. It takes
/// no focus and no tab stop itself.
class TBtnPesquisa : public Control {
public:
    TBtnPesquisa(Form& owner, Control* parent, std::string name);

    Control* Associate = nullptr;
    std::string Title;
    vol::DataSource* DataSource = nullptr;
    std::string EmptyError;
    /// A text the lookup carries beside its list: the notice of the search that filled
    /// the dataset (the product search's answer).
    std::string SearchNotice;

    std::function<void(Component& sender, bool& goOn)> OnBeforePesq;
    NotifyEvent OnAfterPesq;

    void click() override;
    /// The lookup itself, also reached by F2 in the associate.
    void Pesquisar();

    /// The row the lookup list opens on: the first whose visible cell equals the
    /// associated edit's text (blanks around it ignored), else the dataset's current row,
    /// where the before-lookup event may have put it.
    int startRow(const DataSet& data) const;
};

}  // namespace vol
