#pragma once
// Everything the framework needs a person for, behind one interface.

#include <optional>
#include <string>
#include <vector>

#include "ui/Cursor.h"

namespace vol {

class DataSet;

/// The kinds of progress animation: 1 the store, 6 a lookup or search.
enum class ProgressKind { Store = 1, Search = 6 };

/// The answer of a question that Enter gives: "Sim" for a question that goes on with
/// what the person asked for, "Não" for one before something that cannot be undone.
enum class DefaultAnswer { Yes, No };

/// The person in front of the screen. Two implementations: the Qt dialogs and the
/// scripted one of tests and the scenario runner. Every call comes on the user-interface
/// thread; the dialogs are modal.
class UserInterface {
public:
    virtual ~UserInterface() = default;

    /// The error box: shows a text; returns when the person has read it.
    virtual void showError(const std::string& text) = 0;
    /// The information box: what an action did ("400 regras exportadas para …"); returns
    /// when the person has read it.
    virtual void showInfo(const std::string& text) = 0;
    /// A question with the buttons "Sim" and "Não" (S and N answer it too), the default
    /// one taking Enter; true for "Sim".
    virtual bool askYesNo(const std::string& text, DefaultAnswer byDefault) = 0;
    /// The lookup list of a non-empty dataset: its visible fields under their titles,
    /// opened with row `startRow` current (the first row when it is out of range).
    /// Returns the index of the picked row, or nullopt when cancelled.
    virtual std::optional<int> lookup(const std::string& title, const DataSet& data, int startRow) = 0;
    /// The multi-pick list: rows of a non-empty dataset with a tick column, the rows in
    /// `ticked` ticked when it opens. Returns the indexes of the ticked rows in list order
    /// (empty when none is ticked), or nullopt when the person cancelled: then nothing
    /// changes.
    virtual std::optional<std::vector<int>> pickMany(const std::string& title, const DataSet& data,
                                                     const std::vector<int>& ticked) = 0;
    /// The save-file question: where to write a file of the kind described by `filter`
    /// ("Arquivos CSV (*.csv)"), proposing `suggestedName`. Returns the path the person
    /// chose (an existing file's replacement already confirmed), or nullopt when cancelled.
    virtual std::optional<std::string> askSaveFile(const std::string& title, const std::string& suggestedName,
                                                   const std::string& filter) = 0;
    /// A list that only shows: the rows of a non-empty dataset under a title, its visible
    /// fields as columns wide enough for their contents, closed with "Fechar" (or Enter,
    /// or Esc); nothing is picked.
    virtual void showList(const std::string& title, const DataSet& data) = 0;
    /// The notice of a lookup or list with nothing to list.
    virtual void showListEmpty(const std::string& text) = 0;
    /// Shows the progress animation with its caption (may be empty) until hideProgress.
    virtual void showProgress(ProgressKind kind, const std::string& caption) = 0;
    virtual void hideProgress() = 0;
    virtual void setCursor(Cursor cursor) = 0;
};

}  // namespace vol
