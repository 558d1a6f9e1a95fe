#pragma once
// A small routine screen for the view's tests, built from the framework's controls.

#include "controls/CheckBox.h"
#include "controls/Edit.h"
#include "controls/MaskEdit.h"
#include "controls/RadioGroup.h"
#include "controls/TBtnPesquisa.h"
#include "data/ClientDataSet.h"
#include "data/DataSource.h"
#include "forms/TfrmRotiGeral.h"

/// A code with a lookup, a name whose exit refuses "x", a check box and a radio group,
/// plus the base screen's confirm button, which counts its clicks (or closes the screen).
class TestForm : public vol::TfrmRotiGeral {
public:
    explicit TestForm(vol::Application& app);

    vol::Label* lblCodigo;
    vol::MaskEdit* medCodigo;
    vol::TBtnPesquisa* btnCodigo;
    vol::Edit* edtNome;
    vol::CheckBox* chbAtivo;
    vol::RadioGroup* rdgTipo;
    vol::ClientDataSet* cdsCodigo;
    vol::DataSource* dtsCodigo;

    int confirmClicks = 0;
    bool closeOnConfirm = false;
};
