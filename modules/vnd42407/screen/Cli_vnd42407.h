#pragma once
// The differentiated-price screen: its controls, components and handlers.

#include <memory>
#include <string>
#include <vector>

#include "controls/CheckBox.h"
#include "controls/Edit.h"
#include "controls/GroupBox.h"
#include "controls/Label.h"
#include "controls/MaskEdit.h"
#include "controls/Panel.h"
#include "controls/RadioButton.h"
#include "controls/RadioGroup.h"
#include "controls/TBtnPesquisa.h"
#include "controls/TDateEditPlus.h"
#include "controls/TNumberEdit.h"
#include "data/ClientDataSet.h"
#include "data/DataSource.h"
#include "data/TADOIBQuery.h"
#include "forms/TfrmRotiGeral.h"
#include "net/TNetConnection.h"
#include "pricetable/ConsumerTypeQueries.h"
#include "pricetable/PriceTableHeader.h"
#include "protocol/Value.h"

namespace vnd {

/// "Cadastro Automático de Preços Diferenciados": registers one differentiated price rule
/// (discount or surcharge, by value or percentage, for all products, a picked list or a
/// code range, for one consumer type or all, on chosen days and a time window, inside a
/// validity period of a branch's price table) and sends it whole to the application
/// server. Its methods live by subsystem: lifecycle in module/, the definition here, the
/// header in pricetable/ (shared with the other price screens), products and consumer type in selection/, the rule
/// checks in checks/, the confirm action in submit/.
class TfrmCadAutPrecoDeferenciado : public vol::TfrmRotiGeral {
public:
    explicit TfrmCadAutPrecoDeferenciado(vol::Application& app);
    ~TfrmCadAutPrecoDeferenciado() override;

    // Header: branch, price table, validity period (the header's own controls).
    vol::Panel* panTabela;
    vol::Label* lblFilial;
    vol::MaskEdit* medCdFilial;
    vol::TBtnPesquisa* btnFilial;
    vol::Edit* edtNmFilial;
    vol::Label* lblTabela;
    vol::MaskEdit* medCdTabePrec;
    vol::TBtnPesquisa* btnTabePrec;
    vol::Edit* edtNmTabePrec;
    vol::Label* lblVigencia;
    vol::TDateEditPlus* depDtIniVig;
    vol::Label* lblDtFinVig;
    vol::TDateEditPlus* depDtFinVig;
    vol::TBtnPesquisa* btnDtIniVig;

    // Products.
    vol::GroupBox* grbProduto;
    vol::RadioButton* rbtTodos;
    vol::RadioButton* rbtLista;
    vol::TBtnPesquisa* btnListaProd;
    vol::RadioButton* rbtIntervalo;
    vol::MaskEdit* medProdIni;
    vol::TBtnPesquisa* btnProdutoIni;
    vol::Edit* edtNomeIni;
    vol::MaskEdit* medProdFim;
    vol::TBtnPesquisa* btnProdutoFim;
    vol::Edit* edtNomeFim;

    // Consumer type.
    vol::GroupBox* grbTipoConsumidor;
    vol::Edit* edtCdTipoConsumidor;
    vol::TBtnPesquisa* btnListaTipoConsumidor;
    vol::Edit* edtNmTipoConsumidor;

    // Days.
    vol::GroupBox* grbDia;
    vol::CheckBox* chbTodosDias;
    vol::CheckBox* chbFeriado;
    vol::CheckBox* chbVesperaFeriado;
    vol::CheckBox* chbDomingo;
    vol::CheckBox* chbSegunda;
    vol::CheckBox* chbTerca;
    vol::CheckBox* chbQuarta;
    vol::CheckBox* chbQuinta;
    vol::CheckBox* chbSexta;
    vol::CheckBox* chbSabado;

    // Kind of rule and amount.
    vol::RadioGroup* rdgDesAcr;
    vol::RadioGroup* rdgValPer;
    vol::TNumberEdit* numValPer;

    // Time window and validity.
    vol::GroupBox* grbHorario;
    vol::Label* lblHorarioDe;
    vol::Label* lblHorarioAte;
    vol::MaskEdit* medHorarioDe;
    vol::MaskEdit* medHorarioAte;
    vol::GroupBox* grbValidade;
    vol::Label* lblValidadeDe;
    vol::Label* lblValidadeAte;
    vol::TDateEditPlus* depValidadeDe;
    vol::TDateEditPlus* depValidadeAte;
    vol::RadioGroup* rdgVisualiza;

    // Non-visual components.
    vol::TNetConnection* netTabePreco;
    vol::ClientDataSet* cdsFilial;
    vol::DataSource* dtsFilial;
    vol::ClientDataSet* cdsTabePrec;
    vol::DataSource* dtsTabePrec;
    vol::ClientDataSet* cdsTabeVend;
    vol::DataSource* dtsTabeVend;
    vol::ClientDataSet* cdsProduto;
    vol::DataSource* dtsProduto;
    vol::ClientDataSet* cdsProdAux;
    vol::TADOIBQuery* qryTipoCons;
    vol::TADOIBQuery* qryTipoConsFili;
    vol::DataSource* dtsTipoCons;

    // Lifecycle.
    void FormCreate(vol::Component& sender) override;
    void FormActivate(vol::Component& sender);
    void FormClose(vol::Component& sender, vol::CloseAction& action) override;
    void FormDestroy(vol::Component& sender) override;
    void netTabePrecoBeforeConnect(vol::Component& sender);

    // Branch, price table and validity period: the header's checks.
    void Vd_Filial(bool required) { header_->Vd_Filial(required); }
    void Vd_TabePrec(bool required) { header_->Vd_TabePrec(required); }
    void Vd_DtIniVig(bool required) { header_->Vd_DtIniVig(required); }

    // Products.
    void rbtTodosClick(vol::Component& sender);
    void rbtListaClick(vol::Component& sender);
    void rbtIntervaloClick(vol::Component& sender);
    void btnListaProdClick(vol::Component& sender);
    void btnProdutoIniBeforePesq(vol::Component& sender, bool& goOn);
    void btnProdutoFimBeforePesq(vol::Component& sender, bool& goOn);
    void btnProdutoIniAfterPesq(vol::Component& sender);
    void btnProdutoFimAfterPesq(vol::Component& sender);
    void medProdIniChange(vol::Component& sender);
    void medProdFimChange(vol::Component& sender);
    void medProdIniExit(vol::Component& sender);
    void medProdFimExit(vol::Component& sender);
    void vd_ProdIni(bool required);
    void vd_ProdFin(bool required);

    // Consumer type.
    void Vd_TipoCons();
    void edtCdTipoConsumidorExit(vol::Component& sender);
    void edtCdTipoConsumidorChange(vol::Component& sender);
    void btnListaTipoConsumidorBeforePesq(vol::Component& sender, bool& goOn);
    void btnListaTipoConsumidorAfterPesq(vol::Component& sender);

    // Days, time window, validity and amount.
    void chbTodosDiasClick(vol::Component& sender);
    void Vd_Dia();
    void depValidadeDeExit(vol::Component& sender);
    void depValidadeAteExit(vol::Component& sender);
    void Vd_DiaChecked();
    void vd_ValorouPercentual();
    void vd_HoraDe();
    void vd_HoraAte();
    void vd_Horario();
    void Vd_Validade();
    void vd_Valor();

    // Confirm.
    void sbtConfirmaClick(vol::Component& sender);

private:
    /// The catalogue's text of a key.
    std::string Msg(const std::string& key) const { return msgPadrao->Msg(key); }
    /// The enabled states of the product controls after a mode was chosen.
    void setProductModeControls(bool rangeEditsEnabled);
    /// Fills cdsProduto with the branch's products and keeps the search's answer.
    void loadProducts();
    /// The range check shared by both ends of the range.
    void checkRangeEnd(vol::MaskEdit& code, vol::Edit& name, const char* emptyKey, bool required);
    /// Copies the picked product into a range end.
    void pickRangeEnd(vol::MaskEdit& code, vol::Edit& name);
    /// The check shared by both time edits.
    void checkTime(vol::MaskEdit& edit, const char* emptyKey);
    /// The confirmed rule sent to the server; the screen closes when it is stored.
    void submitRule(const std::string& timeFrom, const std::string& timeTo);

    void defineHeader();
    void defineProducts();
    void defineConsumerType();
    void defineDays();
    void defineRuleInputs();
    void defineDataSets();
    void defineCatalogue();
    void wireEvents();

    std::unique_ptr<PriceTableHeader> header_;
    std::unique_ptr<ConsumerTypeQueries> consumerTypes_;
};

}  // namespace vnd

// The module-wide state, published by name beside the module's entries. It outlives
// each screen: a screen comes and goes, these stay until the module is unloaded.
extern "C" {
extern vnd::TfrmCadAutPrecoDeferenciado* frmCadAutPrecoDeferenciado;
extern bool boStCriado;   ///< a screen exists
extern bool boPrimVez;    ///< the screen's next activation is its first
extern std::string stErro;      ///< what the latest product search answered
extern std::string stPesqProd;  ///< the picked products, "_" + 10-character code each, then "_"
extern std::string stTipoCons;  ///< the consumer type sent with the rule, or "T" for all
}

namespace vnd {
/// Opens the screen, creating it only when none exists.
void CriaCadAutPrecoDeferenciado();
}  // namespace vnd
