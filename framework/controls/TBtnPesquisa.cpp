#include "controls/TBtnPesquisa.h"

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
    std::optional<int> row = ui.lookup(Title, *data);
    if (!row) return;
    data->setRecNo(*row);
    if (OnAfterPesq) OnAfterPesq(*this);
    // The person picked a value for the associated field: the caret goes there.
    if (Associate != nullptr && Associate->canFocus()) Associate->setFocus();
}

}  // namespace vol
