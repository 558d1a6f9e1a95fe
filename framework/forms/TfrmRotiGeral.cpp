#include "forms/TfrmRotiGeral.h"

#include "forms/Application.h"

namespace vol {

TfrmRotiGeral::TfrmRotiGeral(Application& app, std::string name) : Form(app, std::move(name)) {
    setBorderStyle(BorderStyle::Single);
    grbDadosRel = &make<GroupBox>(nullptr, "grbDadosRel");
    grbDadosRel->setTabOrder(0);
    panMenu = &make<Panel>(nullptr, "panMenu");
    panMenu->setTabOrder(1);
    panBotoes = &make<Panel>(panMenu, "panBotoes");
    sbtConfirma = &make<TButtonFlat>(panBotoes, "sbtConfirma");
    sbtConfirma->setCaption("Confirmar");
    sbtConfirma->setShortcut("F10");
    sbtConfirma->setHint("Confirmar (F10)");
    lblCodTela = &make<Label>(panMenu, "lblCodTela");
    msgPadrao = &makeComponent<TMessages>("msgPadrao");

    OnCreate = [this](Component& s) { FormCreate(s); };
    OnClose = [this](Component& s, CloseAction& a) { FormClose(s, a); };
    OnDestroy = [this](Component& s) { FormDestroy(s); };
}

void TfrmRotiGeral::FormCreate(Component&) {}

void TfrmRotiGeral::FormClose(Component&, CloseAction& action) { action = CloseAction::Free; }

void TfrmRotiGeral::FormDestroy(Component&) {}

}  // namespace vol
