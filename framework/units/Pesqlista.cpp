#include "units/Pesqlista.h"

#include <stdexcept>
#include <unordered_set>

#include "data/DataSet.h"
#include "data/DataSource.h"
#include "forms/Application.h"
#include "ui/UserInterface.h"

namespace vol {

namespace {
constexpr std::size_t kKeyWidth = 10;
}

std::string PickedCodesText(const std::vector<std::string>& keys) {
    if (keys.empty()) return {};
    std::string text;
    text.reserve(keys.size() * (kKeyWidth + 1) + 1);
    for (const std::string& key : keys) {
        text += '_';
        std::string k = key.substr(0, kKeyWidth);
        k.resize(kKeyWidth, ' ');
        text += k;
    }
    text += '_';
    return text;
}

namespace {

// The keys of a picked-codes text, the padding of each taken off.
std::unordered_set<std::string> pickedKeys(const std::string& text) {
    std::unordered_set<std::string> keys;
    for (std::size_t at = 0; at + kKeyWidth + 1 < text.size(); at += kKeyWidth + 1) {
        if (text[at] != '_' || text[at + kKeyWidth + 1] != '_') break;
        std::string k = text.substr(at + 1, kKeyWidth);
        k.erase(k.find_last_not_of(' ') + 1);
        keys.insert(std::move(k));
    }
    return keys;
}

}  // namespace

void PesquisaLista(DataSource& source, const std::string& keyField, const std::string& title,
                   bool singlePick, std::string& result) {
    DataSet* data = source.dataSet();
    if (data == nullptr) throw std::logic_error(source.name() + " não tem conjunto de dados.");
    std::string caption = title;
    std::string emptyText;
    if (auto bar = title.find('|'); bar != std::string::npos) {
        caption = title.substr(0, bar);
        emptyText = title.substr(bar + 1);
    }
    UserInterface& ui = Application::instance().ui();
    if (!data->active() || data->isEmpty()) {
        ui.showListEmpty(emptyText);
        result.clear();
        return;
    }
    int key = data->fieldIndex(keyField);
    if (key < 0) throw std::out_of_range(data->name() + ": Campo " + keyField + " não encontrado.");
    // The list opens with the products picked before ticked; cancelling keeps them.
    // One pass over the rows: a branch may list a hundred thousand products.
    std::vector<int> before;
    const std::unordered_set<std::string> keysBefore = pickedKeys(result);
    for (int r = 0; !keysBefore.empty() && r < data->recordCount(); ++r) {
        if (keysBefore.count(data->cell(r, key)) != 0) before.push_back(r);
    }
    std::optional<std::vector<int>> answer = ui.pickMany(caption, *data, before);
    if (!answer) return;
    std::vector<int> picked = std::move(*answer);
    if (singlePick && picked.size() > 1) picked.erase(picked.begin() + 1, picked.end());
    std::vector<std::string> keys;
    keys.reserve(picked.size());
    for (int row : picked) keys.push_back(data->cell(row, key));
    result = PickedCodesText(keys);
}

}  // namespace vol
