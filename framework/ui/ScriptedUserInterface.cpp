#include "ui/ScriptedUserInterface.h"

#include <algorithm>

#include "data/DataSet.h"

namespace vol {

void ScriptedUserInterface::queuePick(std::optional<std::vector<std::string>> texts) {
    picks_.push_back(std::move(texts));
}

void ScriptedUserInterface::queueAnswer(bool yes) { answers_.push_back(yes); }

std::vector<std::string> ScriptedUserInterface::takeErrors() {
    std::vector<std::string> out;
    out.swap(errors_);
    return out;
}

std::vector<std::string> ScriptedUserInterface::takeNotices() {
    std::vector<std::string> out;
    out.swap(notices_);
    return out;
}

std::vector<std::string> ScriptedUserInterface::takeFaults() {
    std::vector<std::string> out;
    out.swap(faults_);
    return out;
}

void ScriptedUserInterface::showError(const std::string& text) {
    errors_.push_back(text);
    // The animation would cover the box the person has to read and close.
    if (progressVisible_) faults_.push_back("the message \"" + text + "\" was shown under the progress animation");
}

void ScriptedUserInterface::queueSaveFile(std::optional<std::string> path) { saveFiles_.push_back(std::move(path)); }

std::optional<std::string> ScriptedUserInterface::askSaveFile(const std::string& title, const std::string&,
                                                              const std::string&) {
    lastSaveQuestion_ = title;
    if (saveFiles_.empty()) {
        faults_.push_back("a save-file question was asked with no answer queued: " + title);
        return std::nullopt;
    }
    std::optional<std::string> path = std::move(saveFiles_.front());
    saveFiles_.pop_front();
    return path;
}

bool ScriptedUserInterface::askYesNo(const std::string& text, DefaultAnswer) {
    lastQuestion_ = text;
    if (answers_.empty()) {
        faults_.push_back("a question was asked with no answer queued: " + text);
        return false;
    }
    bool yes = answers_.front();
    answers_.pop_front();
    return yes;
}

ScriptedUserInterface::ListShown ScriptedUserInterface::record(const std::string& title,
                                                               const DataSet& data) {
    ++listsShown_;
    ListShown shown;
    shown.title = title;
    std::vector<int> visible;
    const auto& fields = data.fieldDefs();
    for (std::size_t f = 0; f < fields.size(); ++f) {
        if (!fields[f].visible) continue;
        visible.push_back(static_cast<int>(f));
        shown.columns.push_back(fields[f].title());
    }
    shown.rows.reserve(static_cast<std::size_t>(data.recordCount()));
    for (int r = 0; r < data.recordCount(); ++r) {
        std::vector<std::string> cells;
        cells.reserve(visible.size());
        for (int f : visible) cells.push_back(data.displayText(r, f));
        shown.rows.push_back(std::move(cells));
    }
    return shown;
}

std::vector<int> ScriptedUserInterface::matching(const ListShown& shown,
                                                 const std::vector<std::string>& texts) const {
    std::vector<int> rows;
    for (std::size_t r = 0; r < shown.rows.size(); ++r) {
        const auto& cells = shown.rows[r];
        bool hit = std::any_of(cells.begin(), cells.end(), [&](const std::string& cell) {
            return std::find(texts.begin(), texts.end(), cell) != texts.end();
        });
        if (hit) rows.push_back(static_cast<int>(r));
    }
    return rows;
}

std::optional<int> ScriptedUserInterface::lookup(const std::string& title, const DataSet& data, int startRow) {
    lastList_ = record(title, data);
    lastList_->startRow = startRow >= 0 && startRow < data.recordCount() ? startRow : 0;
    if (picks_.empty()) {
        faults_.push_back("the lookup \"" + title + "\" opened with no pick queued");
        return std::nullopt;
    }
    auto pick = std::move(picks_.front());
    picks_.pop_front();
    if (!pick) return std::nullopt;
    std::vector<int> rows = matching(*lastList_, *pick);
    if (rows.empty()) {
        faults_.push_back("the lookup \"" + title + "\" shows no row to pick");
        return std::nullopt;
    }
    return rows.front();
}

std::optional<std::vector<int>> ScriptedUserInterface::pickMany(const std::string& title, const DataSet& data,
                                                                 const std::vector<int>& ticked) {
    lastList_ = record(title, data);
    lastList_->ticked = ticked;
    if (picks_.empty()) {
        faults_.push_back("the list \"" + title + "\" opened with no pick queued");
        return std::nullopt;
    }
    auto pick = std::move(picks_.front());
    picks_.pop_front();
    if (!pick) return std::vector<int>{};
    std::vector<int> rows = matching(*lastList_, *pick);
    if (rows.empty()) faults_.push_back("the list \"" + title + "\" shows no row to pick");
    return rows;
}

void ScriptedUserInterface::showListEmpty(const std::string& text) {
    ++listsShown_;
    ListShown shown;
    shown.empty = true;
    shown.emptyText = text;
    lastList_ = std::move(shown);
}

void ScriptedUserInterface::showProgress(ProgressKind kind, const std::string& caption) {
    progressVisible_ = true;
    std::string entry = "show " + std::to_string(static_cast<int>(kind));
    if (!caption.empty()) entry += " " + caption;
    progressLog_.push_back(std::move(entry));
}

void ScriptedUserInterface::hideProgress() {
    progressVisible_ = false;
    progressLog_.push_back("hide");
}

}  // namespace vol
