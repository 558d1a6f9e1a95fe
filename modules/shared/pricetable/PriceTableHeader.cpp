// The header's datasets, controls, catalogue and events.

#include "pricetable/PriceTableHeader.h"

#include "pricetable/ScreenLayout.h"
#include "units/Volpari.h"

namespace vnd {

using namespace layout;
using vol::Bevel;
using vol::ColorRole;

PriceTableHeader::PriceTableHeader(vol::TfrmRotiGeral& form, vol::TNetConnection& net) : form_(form), net_(net) {
    cdsFilial = &form.makeComponent<vol::ClientDataSet>("cdsFilial");
    stringField(*cdsFilial, "CDFILIAL", 4, "Código", true);
    stringField(*cdsFilial, "NMFILIAL", 30, "Nome", true);
    stringField(*cdsFilial, "CDSEGMER", 5, "", false);
    stringField(*cdsFilial, "SEGMENTO", 48, "", false);
    cdsFilial->fieldDef("SEGMENTO").readOnly = true;
    stringField(*cdsFilial, "IDPRECDIFCOM", 1, "", false);
    stringField(*cdsFilial, "CDGRPRODPDV", 10, "", false);
    stringField(*cdsFilial, "GRUPOPROD", 53, "", false);
    cdsFilial->fieldDef("GRUPOPROD").readOnly = true;
    stringField(*cdsFilial, "IDUTMODPRODFIL", 1, "Módulo de Produtos", false);
    dtsFilial = &form.makeComponent<vol::DataSource>("dtsFilial");
    dtsFilial->setDataSet(cdsFilial);

    cdsTabePrec = &form.makeComponent<vol::ClientDataSet>("cdsTabePrec");
    stringField(*cdsTabePrec, "CDFILIAL", 4, "", false);
    stringField(*cdsTabePrec, "CDTABEPREC", 3, "Código", true);
    stringField(*cdsTabePrec, "NMTABEPREC", 20, "Nome", true);
    dtsTabePrec = &form.makeComponent<vol::DataSource>("dtsTabePrec");
    dtsTabePrec->setDataSet(cdsTabePrec);

    cdsTabeVend = &form.makeComponent<vol::ClientDataSet>("cdsTabeVend");
    for (const char* name : {"DTINIVGPREC", "DTFINVGPREC"}) {
        vol::FieldDef f;
        f.name = name;
        f.size = 30;
        f.displayLabel = std::string(name) == "DTINIVGPREC" ? "Data Inicial" : "Data Final";
        f.displayWidth = 18;
        f.readOnly = true;
        cdsTabeVend->addField(std::move(f));
    }
    vol::FieldDef situacao;
    situacao.name = "SITUACAO";
    situacao.size = 10;
    situacao.displayLabel = "Situação";
    situacao.kind = vol::FieldKind::Calculated;
    cdsTabeVend->addField(std::move(situacao));
    dtsTabeVend = &form.makeComponent<vol::DataSource>("dtsTabeVend");
    dtsTabeVend->setDataSet(cdsTabeVend);
}

void PriceTableHeader::define(vol::Control* parent, vol::Rect where, int tabOrder) {
    panTabela = &form_.make<vol::Panel>(parent, "panTabela");
    panTabela->setGeometry(where);
    panTabela->setBevels(Bevel::Raised, Bevel::Lowered);
    panTabela->setTabOrder(tabOrder);

    lblFilial = &form_.make<vol::Label>(panTabela, "lblFilial");
    boldLabel(*lblFilial, "Filial", {6, 8, 30, kLabelHeight});
    medCdFilial = &form_.make<vol::MaskEdit>(panTabela, "medCdFilial");
    medCdFilial->setEditMask(">aaaa;0; ");
    medCdFilial->setMaxLength(4);
    entry(*medCdFilial, {90, 5, 40, kEditHeight}, 0);
    btnFilial = &form_.make<vol::TBtnPesquisa>(panTabela, "btnFilial");
    lookup(*btnFilial, 134, 5, medCdFilial, "Filial", dtsFilial, "Não há filial cadastrada.");
    btnFilial->setTabOrder(1);
    edtNmFilial = &form_.make<vol::Edit>(panTabela, "edtNmFilial");
    nameField(*edtNmFilial, {159, 5, 248, kEditHeight}, 2);

    lblTabela = &form_.make<vol::Label>(panTabela, "lblTabela");
    boldLabel(*lblTabela, "Tabela Preço", {6, 34, 80, kLabelHeight});
    medCdTabePrec = &form_.make<vol::MaskEdit>(panTabela, "medCdTabePrec");
    medCdTabePrec->setEditMask("999;1; ");
    medCdTabePrec->setMaxLength(3);
    medCdTabePrec->setText("   ");
    entry(*medCdTabePrec, {90, 31, 40, kEditHeight}, 3);
    btnTabePrec = &form_.make<vol::TBtnPesquisa>(panTabela, "btnTabePrec");
    lookup(*btnTabePrec, 134, 31, medCdTabePrec, "Tabela de Preço", dtsTabePrec, "Não há tabela de preço cadastrada.");
    btnTabePrec->setTabOrder(4);
    edtNmTabePrec = &form_.make<vol::Edit>(panTabela, "edtNmTabePrec");
    nameField(*edtNmTabePrec, {159, 31, 248, kEditHeight}, 5);

    lblVigencia = &form_.make<vol::Label>(panTabela, "lblVigencia");
    boldLabel(*lblVigencia, "Vigência", {6, 60, 52, kLabelHeight});
    depDtIniVig = &form_.make<vol::TDateEditPlus>(panTabela, "depDtIniVig");
    entry(*depDtIniVig, {90, 57, 100, kEditHeight}, 6);
    lblDtFinVig = &form_.make<vol::Label>(panTabela, "lblDtFinVig");
    boldLabel(*lblDtFinVig, "a", {197, 60, 10, kLabelHeight});
    lblDtFinVig->setAlignment(vol::Alignment::Center);
    depDtFinVig = &form_.make<vol::TDateEditPlus>(panTabela, "depDtFinVig");
    depDtFinVig->setGeometry({214, 57, 100, kEditHeight});
    depDtFinVig->setEnabled(false);
    depDtFinVig->setTabStop(false);
    depDtFinVig->setTabOrder(7);
    depDtFinVig->setColorRole(ColorRole::ButtonFace);
    btnDtIniVig = &form_.make<vol::TBtnPesquisa>(panTabela, "btnDtIniVig");
    lookup(*btnDtIniVig, 318, 57, depDtIniVig, "Vigência", dtsTabeVend, "Não há vigência cadastrada.");
    btnDtIniVig->setTabOrder(8);
    for (vol::TDateEditPlus* d : {depDtIniVig, depDtFinVig}) d->setValidDateBlue(true);
    wireEvents();
}

const std::vector<std::string>& PriceTableHeader::catalogue() {
    static const std::vector<std::string> entries = {
        "Fili_Inf|Filial deve ser informada.",
        "Fili_N_Cad|Filial não cadastrada.",
        "TabePrec_Inf|Tabela de preço deve ser informada.",
        "TabePrec_N_Cad|Tabela de preço não cadastrada.",
        "Vig_Inf|Vigência deve ser informada.",
        "Vig_N_Cad|Vigência não cadastrada.",
        "Ativa|Ativa",
        "Inativa|Inativa",
    };
    return entries;
}

bool PriceTableHeader::presetBranch() {
    medCdFilial->setText(vol::FiliProc());
    edtNmFilial->setText(vol::NomeFiliProc());
    medCdFilial->setEnabled(!vol::ModuFili());
    btnFilial->setEnabled(medCdFilial->enabled());
    return medCdFilial->enabled();
}

void PriceTableHeader::changed() {
    if (OnChanged) OnChanged();
}

void PriceTableHeader::wireEvents() {
    // A check's failure unwinds to the action boundary.
    medCdFilial->OnChange = [this](vol::Component&) { medCdFilialChange(); };
    medCdFilial->OnExit = [this](vol::Component&) { Vd_Filial(false); };
    medCdTabePrec->OnChange = [this](vol::Component&) { medCdTabePrecChange(); };
    medCdTabePrec->OnExit = [this](vol::Component&) { Vd_TabePrec(false); };
    btnFilial->OnBeforePesq = [this](vol::Component&, bool&) { btnFilialBeforePesq(); };
    btnFilial->OnAfterPesq = [this](vol::Component&) { btnFilialAfterPesq(); };
    btnTabePrec->OnBeforePesq = [this](vol::Component&, bool&) { btnTabePrecBeforePesq(); };
    btnTabePrec->OnAfterPesq = [this](vol::Component&) { btnTabePrecAfterPesq(); };

    depDtIniVig->OnChange = [this](vol::Component&) { depDtIniVigChange(); };
    depDtIniVig->OnExit = [this](vol::Component&) { Vd_DtIniVig(false); };
    btnDtIniVig->OnBeforePesq = [this](vol::Component&, bool&) { btnDtIniVigBeforePesq(); };
    btnDtIniVig->OnAfterPesq = [this](vol::Component&) { btnDtIniVigAfterPesq(); };
    cdsTabeVend->OnCalcFields = [this](vol::DataSet& d) { cdsTabeVendCalcFields(d); };
}

}  // namespace vnd
