#pragma once
// The inquiry screen of differentiated prices: its controls, components and handlers.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "controls/DBGrid.h"
#include "controls/Edit.h"
#include "controls/GroupBox.h"
#include "controls/Label.h"
#include "controls/MaskEdit.h"
#include "controls/Memo.h"
#include "controls/Panel.h"
#include "controls/TBtnPesquisa.h"
#include "controls/TButtonFlat.h"
#include "controls/TDateEditPlus.h"
#include "data/ClientDataSet.h"
#include "data/DataSource.h"
#include "forms/TfrmRotiGeral.h"
#include "net/TNetConnection.h"
#include "pricetable/ConsumerTypeQueries.h"
#include "pricetable/PriceTableHeader.h"
#include "protocol/DataPacket.h"
#include "protocol/Value.h"

namespace vnd {

/// The filter of the last search, as it went to the server: the grid's pages and the
/// export ask with it, whatever the person typed since.
struct RuleFilter {
    std::string branch;
    std::string table;
    wire::Value periodStart;  ///< a date, or null for every period
    std::string firstProduct;  ///< CDPRODUTO, "" from the first
    std::string lastProduct;   ///< CDPRODUTO, "" to the last
    std::string consumerType;  ///< "" any
    std::string day;           ///< "" any
    wire::Value validOn;       ///< a date, or null for any
};

/// "Consulta de Preços Diferenciados": lists the stored differentiated-price rules of a
/// branch's price table (all periods or one), filtered by product range, consumer type,
/// day and a date they are valid on; explains the price in force for the selected row's
/// product at a moment; removes the selected rows; shows a product's change history;
/// exports every filtered row to a CSV file. Its methods live by subsystem: lifecycle in
/// module/, the definition here, the filter, search and actions in actions/.
class TfrmConPrecoDiferenciado : public vol::TfrmRotiGeral {
public:
    explicit TfrmConPrecoDiferenciado(vol::Application& app);
    ~TfrmConPrecoDiferenciado() override;

    // Header: branch, price table, validity period (the header's own controls).
    vol::Panel* panTabela;
    vol::MaskEdit* medCdFilial;
    vol::TBtnPesquisa* btnFilial;
    vol::Edit* edtNmFilial;
    vol::MaskEdit* medCdTabePrec;
    vol::TBtnPesquisa* btnTabePrec;
    vol::Edit* edtNmTabePrec;
    vol::TDateEditPlus* depDtIniVig;
    vol::TDateEditPlus* depDtFinVig;
    vol::TBtnPesquisa* btnDtIniVig;

    // Filter.
    vol::GroupBox* grbFiltro;
    vol::Label* lblProduto;
    vol::MaskEdit* medProdIni;
    vol::TBtnPesquisa* btnProdutoIni;
    vol::Label* lblProdutoAte;
    vol::MaskEdit* medProdFim;
    vol::TBtnPesquisa* btnProdutoFim;
    vol::Label* lblTipoConsumidor;
    vol::Edit* edtCdTipoConsumidor;
    vol::TBtnPesquisa* btnListaTipoConsumidor;
    vol::Edit* edtNmTipoConsumidor;
    vol::Label* lblDia;
    vol::Edit* edtDia;
    vol::TBtnPesquisa* btnDia;
    vol::Edit* edtNmDia;
    vol::Label* lblValidaEm;
    vol::TDateEditPlus* depValidaEm;

    // Rules.
    vol::DBGrid* grdRegras;
    vol::Label* lblTotal;

    // Why this price.
    vol::GroupBox* grbPrecoVigente;
    vol::Label* lblDataPreco;
    vol::TDateEditPlus* depDataPreco;
    vol::Label* lblHoraPreco;
    vol::MaskEdit* medHoraPreco;
    vol::Label* lblTipoPreco;
    vol::Edit* edtTipoPreco;
    vol::TBtnPesquisa* btnTipoPreco;
    vol::Memo* memExplicacao;

    // Side panel buttons.
    vol::TButtonFlat* sbtPesquisar;
    vol::TButtonFlat* sbtPrecoVigente;
    vol::TButtonFlat* sbtExcluir;
    vol::TButtonFlat* sbtHistorico;
    vol::TButtonFlat* sbtExportar;

    // Non-visual components.
    vol::TNetConnection* netTabePreco;
    vol::ClientDataSet* cdsProduto;
    vol::DataSource* dtsProduto;
    vol::ClientDataSet* cdsDia;
    vol::DataSource* dtsDia;
    vol::ClientDataSet* cdsRegras;
    vol::ClientDataSet* cdsHistorico;

    // Lifecycle.
    void FormCreate(vol::Component& sender) override;
    void FormActivate(vol::Component& sender);
    void FormClose(vol::Component& sender, vol::CloseAction& action) override;
    void FormDestroy(vol::Component& sender) override;

    // Filter checks; each shows its message and puts the focus back on failure.
    void Vd_ProdIni(bool required);
    void Vd_ProdFim(bool required);
    void Vd_TipoCons(vol::Edit& code, vol::Edit* name);
    void Vd_Dia();

    // Actions.
    void sbtPesquisarClick(vol::Component& sender);
    void sbtPrecoVigenteClick(vol::Component& sender);
    void sbtExcluirClick(vol::Component& sender);
    void sbtHistoricoClick(vol::Component& sender);
    void sbtExportarClick(vol::Component& sender);

    /// The filter of the last search; nullopt before the first one and after the header
    /// changed.
    const std::optional<RuleFilter>& lastFilter() const { return filter_; }

private:
    std::string Msg(const std::string& key) const { return msgPadrao->Msg(key); }
    std::string datePattern() const;
    /// One page of GetPrecDif for the filter: the total and the rows.
    wire::DataPacket fetchRules(const RuleFilter& filter, int offset, int limit, long& total,
                                const std::string& caption);
    void grdRegrasFetchPage(int offset, int limit);
    void cdsRegrasCalcFields(vol::DataSet& sender);
    void cdsHistoricoCalcFields(vol::DataSet& sender);
    /// The grid, total and explanation emptied: what they showed no longer matches.
    void clearResults();
    /// Runs the last search again from its first page (after a removal).
    void refresh();
    /// The products of the branch, loaded once per branch.
    void loadProducts();
    /// The product code (CDPRODUTO) of a typed product tree code; MensErro when unknown.
    std::string productOf(vol::MaskEdit& edit, const char* emptyKey, bool required);
    /// The rows the person selected, or an error when there is none.
    std::vector<int> selectedRules();
    /// The question before removing the rows: how many, and the first few as the list
    /// shows them (product, day, consumer type, window, validity).
    std::string removalQuestion(const std::vector<int>& rows) const;
    /// The selected rows as DelPrecDif takes them: their ten key columns.
    wire::DataPacket keysOf(const std::vector<int>& rows) const;

    void defineHeader();
    void defineFilter();
    void defineGrid();
    void definePriceQuestion();
    void defineButtons();
    void defineDataSets();
    void defineCatalogue();
    void wireEvents();

    std::unique_ptr<PriceTableHeader> header_;
    std::unique_ptr<ConsumerTypeQueries> consumerTypes_;
    std::optional<RuleFilter> filter_;
    std::string productsBranch_;  ///< the branch cdsProduto was loaded for
};

}  // namespace vnd

// The module-wide state, published by name beside the module's entries.
extern "C" {
extern vnd::TfrmConPrecoDiferenciado* frmConPrecoDiferenciado;
extern bool boStCriado;  ///< a screen exists
extern bool boPrimVez;   ///< the screen's next activation is its first
}

namespace vnd {
/// Opens the screen, creating it only when none exists.
void CriaConPrecoDiferenciado();
}  // namespace vnd
