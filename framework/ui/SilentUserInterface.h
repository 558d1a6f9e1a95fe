#pragma once
// The user interface of a process that has none.

#include "ui/UserInterface.h"

namespace vol {

/// Answers every question with No, every list and save-file question with nothing; errors go to the
/// standard error stream. Used until a host installs a real user interface.
class SilentUserInterface : public UserInterface {
public:
    void showError(const std::string& text) override;
    void showInfo(const std::string&) override {}
    bool askYesNo(const std::string&, DefaultAnswer) override { return false; }
    std::optional<int> lookup(const std::string&, const DataSet&, int) override { return std::nullopt; }
    std::optional<std::vector<int>> pickMany(const std::string&, const DataSet&, const std::vector<int>&) override {
        return std::nullopt;
    }
    std::optional<std::string> askSaveFile(const std::string&, const std::string&, const std::string&) override {
        return std::nullopt;
    }
    void showList(const std::string&, const DataSet&) override {}
    void showListEmpty(const std::string&) override {}
    void showProgress(ProgressKind, const std::string&) override {}
    void hideProgress() override {}
    void setCursor(Cursor) override {}
};

}  // namespace vol
