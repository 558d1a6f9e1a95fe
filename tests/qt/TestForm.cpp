#include "TestForm.h"

#include "forms/Abort.h"

TestForm::TestForm(vol::Application& app) : vol::TfrmRotiGeral(app, "frmTeste") {
    setCaption("Tela de Teste");
    setClientSize(300, 200);
    setPosition(10, 10);
    grbDadosRel->setGeometry({0, 0, 240, 200});
    panMenu->setGeometry({240, 0, 60, 200});
    panBotoes->setGeometry({0, 0, 60, 60});
    sbtConfirma->setGeometry({3, 4, 52, 49});
    lblCodTela->setCaption("TST00001");
    lblCodTela->setGeometry({2, 180, 50, 13});

    lblCodigo = &make<vol::Label>(grbDadosRel, "lblCodigo");
    lblCodigo->setCaption("Código");
    lblCodigo->setFontRole(vol::FontRole::Bold);
    lblCodigo->setGeometry({6, 12, 40, 13});

    medCodigo = &make<vol::MaskEdit>(grbDadosRel, "medCodigo");
    medCodigo->setEditMask("999;1; ");
    medCodigo->setGeometry({60, 10, 40, 21});
    medCodigo->setColorRole(vol::ColorRole::InfoBackground);
    medCodigo->setTabOrder(0);

    btnCodigo = &make<vol::TBtnPesquisa>(grbDadosRel, "btnCodigo");
    btnCodigo->setGeometry({104, 10, 21, 21});
    btnCodigo->Associate = medCodigo;
    btnCodigo->Title = "Códigos";

    edtNome = &make<vol::Edit>(grbDadosRel, "edtNome");
    edtNome->setGeometry({60, 36, 150, 21});
    edtNome->setMaxLength(10);
    edtNome->setTabOrder(1);
    edtNome->OnExit = [this](vol::Component&) {
        if (edtNome->text() == "x") throw vol::Abort();
    };

    chbAtivo = &make<vol::CheckBox>(grbDadosRel, "chbAtivo");
    chbAtivo->setCaption("Ativo");
    chbAtivo->setGeometry({8, 64, 80, 17});
    chbAtivo->setTabStop(true);
    chbAtivo->setTabOrder(2);

    rdgTipo = &make<vol::RadioGroup>(grbDadosRel, "rdgTipo");
    rdgTipo->setCaption("Tipo");
    rdgTipo->setItems({"Um", "Dois"});
    rdgTipo->setItemIndex(0);
    rdgTipo->setGeometry({8, 90, 120, 60});
    rdgTipo->setTabOrder(3);

    cdsCodigo = &makeComponent<vol::ClientDataSet>("cdsCodigo");
    cdsCodigo->loadPacket({{{"CODIGO", "string", 3}, {"NOME", "string", 20}},
                           {{"001", "Arroz"}, {"002", "Feijão"}, {"003", "Farinha"}}});
    dtsCodigo = &makeComponent<vol::DataSource>("dtsCodigo");
    dtsCodigo->setDataSet(cdsCodigo);
    btnCodigo->DataSource = dtsCodigo;
    btnCodigo->OnAfterPesq = [this](vol::Component&) {
        medCodigo->setText(cdsCodigo->fieldByName("CODIGO").asString());
    };

    sbtConfirma->OnClick = [this](vol::Component&) {
        ++confirmClicks;
        if (closeOnConfirm) close();
    };
}
