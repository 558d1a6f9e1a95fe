#include "controls/TBtnPesquisa.h"

#include "controls/Edit.h"
#include "data/DataSet.h"
#include "data/DataSource.h"
#include "forms/Application.h"
#include "forms/Form.h"
#include "ui/UserInterface.h"

namespace vol {

TBtnPesquisa::TBtnPesquisa(Form& owner, Control* parent, std::string name)
    : Control(owner, parent, std::move(name), ControlKind::LookupButton) {
    setHint("Pesquisar");
}

void TBtnPesquisa::click() {
    if (OnClick) {
        OnClick(*this);
        return;
    }
    Pesquisar();
}

int TBtnPesquisa::startRow(const DataSet& data) const {
    // The row the field already names is the one the person most likely wants again.
    if (auto* edit = dynamic_cast<const Edit*>(Associate)) {
        const std::string text = edit->text();
        const auto b = text.find_first_not_of(' ');
        if (b != std::string::npos) {
            const std::string wanted = text.substr(b, text.find_last_not_of(' ') - b + 1);
            const auto& defs = data.fieldDefs();
            for (int r = 0; r < data.recordCount(); ++r) {
                for (std::size_t f = 0; f < defs.size(); ++f) {
                    if (defs[f].visible && data.displayText(r, static_cast<int>(f)) == wanted) return r;
                }
            }
        }
    }
    // Else the row the screen put the dataset on before the lookup.
    return data.recNo();
}

void TBtnPesquisa::Pesquisar() {
    bool goOn = true;
    if (OnBeforePesq) OnBeforePesq(*this, goOn);
    if (!goOn) return;
    UserInterface& ui = Application::instance().ui();
    DataSet* data = DataSource != nullptr ? DataSource->dataSet() : nullptr;
    if (data == nullptr || !data->active() || data->isEmpty()) {
        ui.showListEmpty(EmptyError);
        return;
    }
    std::optional<int> row = ui.lookup(Title, *data, startRow(*data));
    if (!row) return;
    data->setRecNo(*row);
    if (OnAfterPesq) OnAfterPesq(*this);
    // The person picked a value for the associated field: the caret goes there.
    if (Associate != nullptr && Associate->canFocus()) Associate->setFocus();
}

}  // namespace vol
