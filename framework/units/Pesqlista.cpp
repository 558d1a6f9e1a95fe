#include "units/Pesqlista.h"

#include <stdexcept>

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
    std::vector<int> picked = ui.pickMany(caption, *data);
    if (singlePick && picked.size() > 1) picked.resize(1);
    std::vector<std::string> keys;
    keys.reserve(picked.size());
    for (int row : picked) keys.push_back(data->cell(row, key));
    result = PickedCodesText(keys);
}

}  // namespace vol
