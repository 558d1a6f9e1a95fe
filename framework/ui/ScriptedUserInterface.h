#pragma once
// The user interface of tests and of the scenario runner: answers queued in advance,
// everything shown recorded.

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "ui/UserInterface.h"

namespace vol {

/// A person following a script. Answers for lookups, lists and questions are queued
/// before the action that needs them; what the screen shows is recorded for the checks.
/// A dialog that opens with no answer queued is a fault of the script: it is cancelled
/// (or answered No) and recorded in faults().
class ScriptedUserInterface : public UserInterface {
public:
    /// What the last lookup or list showed.
    struct ListShown {
        bool empty = false;                          ///< nothing to list: only a notice
        std::string title;                           ///< the list's title
        std::string emptyText;                       ///< the notice of an empty list
        std::vector<std::string> columns;            ///< visible column titles
        std::vector<std::vector<std::string>> rows;  ///< visible cells as shown
        int startRow = -1;                           ///< the row a lookup opened on
        std::vector<int> ticked;                     ///< the rows a list opened with ticked
    };

    /// The rows to pick in the next lookup or list: those with a cell equal to one of the
    /// texts; nullopt cancels a lookup, and confirms a list with nothing ticked.
    void queuePick(std::optional<std::vector<std::string>> texts);
    /// The answer to the next question.
    void queueAnswer(bool yes);
    /// The answer to the next save-file question: a path, or nullopt to cancel it.
    void queueSaveFile(std::optional<std::string> path);
    /// The title of the last save-file question, if any.
    const std::optional<std::string>& lastSaveQuestion() const { return lastSaveQuestion_; }
    std::size_t pendingSaveFiles() const { return saveFiles_.size(); }

    /// The errors shown since the last call, oldest first; the call empties the record.
    std::vector<std::string> takeErrors();
    /// The information notices shown since the last call, oldest first; the call empties
    /// the record.
    std::vector<std::string> takeNotices();
    /// The last question shown, if any.
    const std::optional<std::string>& lastQuestion() const { return lastQuestion_; }
    const std::optional<ListShown>& lastList() const { return lastList_; }
    /// How many lookups and lists (empty ones included) were shown so far.
    std::size_t listsShown() const { return listsShown_; }
    bool progressVisible() const { return progressVisible_; }
    /// Every show and hide of the progress animation ("show 6", "show 1 <caption>", "hide").
    const std::vector<std::string>& progressLog() const { return progressLog_; }
    Cursor cursor() const { return cursor_; }
    /// Faults: dialogs that opened with nothing queued, picks that matched no row, an error
    /// shown while the progress animation was still on screen.
    std::vector<std::string> takeFaults();
    std::size_t pendingPicks() const { return picks_.size(); }
    std::size_t pendingAnswers() const { return answers_.size(); }

    void showError(const std::string& text) override;
    void showInfo(const std::string& text) override { notices_.push_back(text); }
    bool askYesNo(const std::string& text, DefaultAnswer byDefault) override;
    std::optional<int> lookup(const std::string& title, const DataSet& data, int startRow) override;
    std::optional<std::vector<int>> pickMany(const std::string& title, const DataSet& data,
                                             const std::vector<int>& ticked) override;
    std::optional<std::string> askSaveFile(const std::string& title, const std::string& suggestedName,
                                           const std::string& filter) override;
    /// Recorded as the last list, like a lookup; it needs no pick.
    void showList(const std::string& title, const DataSet& data) override { lastList_ = record(title, data); }
    void showListEmpty(const std::string& text) override;
    void showProgress(ProgressKind kind, const std::string& caption) override;
    void hideProgress() override;
    void setCursor(Cursor cursor) override { cursor_ = cursor; }

private:
    ListShown record(const std::string& title, const DataSet& data);
    std::vector<int> matching(const ListShown& shown, const std::vector<std::string>& texts) const;

    std::deque<std::optional<std::vector<std::string>>> picks_;
    std::deque<bool> answers_;
    std::deque<std::optional<std::string>> saveFiles_;
    std::optional<std::string> lastSaveQuestion_;
    std::vector<std::string> errors_;
    std::vector<std::string> notices_;
    std::vector<std::string> faults_;
    std::optional<std::string> lastQuestion_;
    std::optional<ListShown> lastList_;
    std::size_t listsShown_ = 0;
    bool progressVisible_ = false;
    std::vector<std::string> progressLog_;
    Cursor cursor_ = Cursor::Default;
};

}  // namespace vol
