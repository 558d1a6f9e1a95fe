// The filter, the search and the grid's pages.

#include <algorithm>

#include "Lib00210.h"
#include "forms/Application.h"
#include "inquiry/RuleText.h"
#include "protocol/DatePattern.h"
#include "protocol/ValueCodec.h"
#include "screen/Cli_vnd42408.h"
#include "units/Consiste.h"
#include "units/ProgressAnimation.h"
#include "units/ServerCall.h"
#include "units/Volpari.h"

namespace vnd {

using vol::EmptyString;
using vol::MensErro;

namespace {

// The GetPrecDif answer {"total": N, "rows": packet}: the packet read beside the object
// when it was well formed, else still inside it (and refused here in its own words).
wire::DataPacket pageOf(const wire::Value& answer, std::optional<wire::DataPacket>& rows, long& total) {
    const auto* object = std::get_if<nlohmann::json>(&answer);
    if (object == nullptr || !object->is_object() || (!rows && !object->contains("rows"))) {
        throw std::runtime_error("O servidor respondeu uma página de regras inválida.");
    }
    total = object->value("total", 0L);
    if (rows) return std::move(*rows);
    return wire::packetFromJson((*object)["rows"]);
}

wire::Value dateOrNull(const vol::TDateEditPlus& edit) {
    std::optional<wire::Date> d = edit.date();
    return d ? wire::Value(*d) : wire::Value();
}

}  // namespace

std::string TfrmConPrecoDiferenciado::datePattern() const {
    return vol::Application::instance().settings().shortDateFormat;
}

void TfrmConPrecoDiferenciado::loadProducts() {
    if (cdsProduto->active() && productsBranch_ == medCdFilial->text()) return;
    lib::SQL_Pesquisa_Produto_CDS(medCdFilial->text(), *cdsProduto);
    productsBranch_ = medCdFilial->text();
}

std::string TfrmConPrecoDiferenciado::productOf(vol::MaskEdit& edit, const char* emptyKey, bool required) {
    try {
        const std::string text = edit.text();
        if (EmptyString(text)) {
            if (required) MensErro(Msg(emptyKey));
            return {};
        }
        {
            vol::ProgressAnimation animation(vol::ProgressKind::Search);
            loadProducts();
        }
        if (!cdsProduto->locate("CDARVPROD", text, true)) MensErro(Msg("PRODNCAD"));
        edit.setHint(cdsProduto->fieldByName("NMPRODUTO").asString());
        return cdsProduto->fieldByName("CDPRODUTO").asString();
    } catch (...) {
        edit.setFocus();
        throw;
    }
}

void TfrmConPrecoDiferenciado::Vd_ProdIni(bool required) { productOf(*medProdIni, "PRODNCAD", required); }

void TfrmConPrecoDiferenciado::Vd_ProdFim(bool required) { productOf(*medProdFim, "PRODNCAD", required); }

void TfrmConPrecoDiferenciado::Vd_TipoCons(vol::Edit& code, vol::Edit* name) {
    try {
        if (EmptyString(code.text())) return;
        code.setText(vol::Ajusta(code.text(), 2));
        if (!consumerTypes_->find(code.text())) MensErro(Msg("Cons_n_Cad"));
        if (name != nullptr) name->setText(consumerTypes_->qryTipoCons->fieldByName("NMTIPOCONS").asString());
    } catch (...) {
        code.setFocus();
        throw;
    }
}

void TfrmConPrecoDiferenciado::Vd_Dia() {
    try {
        std::string day = edtDia->text();
        if (EmptyString(day)) return;
        std::transform(day.begin(), day.end(), day.begin(), [](unsigned char c) { return std::toupper(c); });
        if (!cdsDia->locate("IDDIA", day, false)) MensErro(Msg("DIAINV"));
        edtDia->setText(day);
        edtNmDia->setText(cdsDia->fieldByName("NMDIA").asString());
    } catch (...) {
        edtDia->setFocus();
        throw;
    }
}

void TfrmConPrecoDiferenciado::clearResults() {
    filter_.reset();
    grdRegras->clear();
    lblTotal->setCaption({});
    memExplicacao->clear();
}

void TfrmConPrecoDiferenciado::sbtPesquisarClick(vol::Component&) {
    header_->Vd_Filial(true);
    header_->Vd_TabePrec(true);
    header_->Vd_DtIniVig(false);
    RuleFilter f;
    f.branch = medCdFilial->text();
    f.table = medCdTabePrec->text();
    f.periodStart = dateOrNull(*depDtIniVig);
    f.firstProduct = productOf(*medProdIni, "PRODNCAD", false);
    f.lastProduct = productOf(*medProdFim, "PRODNCAD", false);
    if (!f.firstProduct.empty() && !f.lastProduct.empty() && f.lastProduct < f.firstProduct) {
        medProdIni->setFocus();
        MensErro(Msg("PRODORDEM"));
    }
    Vd_TipoCons(*edtCdTipoConsumidor, edtNmTipoConsumidor);
    f.consumerType = EmptyString(edtCdTipoConsumidor->text()) ? std::string() : edtCdTipoConsumidor->text();
    Vd_Dia();
    f.day = EmptyString(edtDia->text()) ? std::string() : edtDia->text();
    try {
        depValidaEm->CheckValidDate();
    } catch (...) {
        depValidaEm->setFocus();
        throw;
    }
    f.validOn = dateOrNull(*depValidaEm);

    clearResults();
    filter_ = std::move(f);
    grdRegras->fetchMore();
    lblTotal->setCaption(RuleText::ruleCount(grdRegras->totalRows()));
    if (grdRegras->loadedRows() > 0) grdRegras->setSelectedRows({0});
}

void TfrmConPrecoDiferenciado::refresh() {
    if (!filter_) return;
    RuleFilter kept = *filter_;
    clearResults();
    filter_ = std::move(kept);
    grdRegras->fetchMore();
    lblTotal->setCaption(RuleText::ruleCount(grdRegras->totalRows()));
}

wire::DataPacket TfrmConPrecoDiferenciado::fetchRules(const RuleFilter& f, int offset, int limit, long& total,
                                                      const std::string& caption) {
    std::optional<wire::DataPacket> rows;
    wire::Value answer = vol::ServerCallValue(
        *netTabePreco, "GetPrecDif",
        {f.branch, f.table, f.periodStart, f.firstProduct, f.lastProduct, f.consumerType, f.day, f.validOn,
         std::int64_t{offset}, std::int64_t{limit}},
        vol::ProgressKind::Search, caption, &rows);
    return pageOf(answer, rows, total);
}

void TfrmConPrecoDiferenciado::grdRegrasFetchPage(int offset, int limit) {
    if (!filter_) return;
    long total = 0;
    wire::DataPacket page = fetchRules(*filter_, offset, limit, total, Msg("Pesq_Inf"));
    cdsRegras->appendPacket(std::move(page));
    grdRegras->setTotalRows(static_cast<int>(total));
    lblTotal->setCaption(RuleText::ruleCount(total));
}

void TfrmConPrecoDiferenciado::cdsRegrasCalcFields(vol::DataSet& d) {
    wire::DatePattern pattern(datePattern());
    auto get = [&d](const char* field) { return d.fieldByName(field).asString(); };
    d.fieldByName("DIA").setAsString(RuleText::day(get("IDDIA")));
    d.fieldByName("TIPO").setAsString(RuleText::consumerType(get("CDTIPOCONS")));
    d.fieldByName("HORARIO").setAsString(RuleText::window(get("HRINI"), get("HRFIN")));
    d.fieldByName("VALIDADE").setAsString(RuleText::validity(get("DTINIVALID"), get("DTFINVALID"), pattern));
    d.fieldByName("AJUSTE").setAsString(RuleText::adjustment(get("IDDESCACRE")));
    d.fieldByName("VALOR").setAsString(RuleText::amount(get("IDVALPERC"), get("VRPRECDIF")));
    d.fieldByName("VISUALIZA").setAsString(RuleText::display(get("IDVISUALIZA")));
    d.fieldByName("ATUALIZADO").setAsString(RuleText::timestampText(get("DTULTATU"), pattern));
}

void TfrmConPrecoDiferenciado::wireEvents() {
    using T = TfrmConPrecoDiferenciado;
    auto notify = [this](void (T::*handler)(vol::Component&)) {
        return [this, handler](vol::Component& s) { (this->*handler)(s); };
    };
    OnActivate = notify(&T::FormActivate);
    netTabePreco->OnBeforeConnect = [this](vol::Component&) {
        netTabePreco->Host = vol::WebURL();
        netTabePreco->Port = vol::WebPort();
    };
    // What the grid and the explanation show belongs to the header they were asked with.
    header_->OnChanged = [this] { clearResults(); };

    auto productLookup = [this](vol::Component&, bool&) {
        header_->Vd_Filial(true);
        loadProducts();
    };
    btnProdutoIni->OnBeforePesq = productLookup;
    btnProdutoFim->OnBeforePesq = productLookup;
    btnProdutoIni->OnAfterPesq = [this](vol::Component&) {
        medProdIni->setText(cdsProduto->fieldByName("CDARVPROD").asString());
    };
    btnProdutoFim->OnAfterPesq = [this](vol::Component&) {
        medProdFim->setText(cdsProduto->fieldByName("CDARVPROD").asString());
    };
    medProdIni->OnChange = [this](vol::Component&) { medProdIni->setHint({}); };
    medProdFim->OnChange = [this](vol::Component&) { medProdFim->setHint({}); };
    medProdIni->OnExit = [this](vol::Component&) { Vd_ProdIni(false); };
    medProdFim->OnExit = [this](vol::Component&) { Vd_ProdFim(false); };

    auto typeLookup = [this](vol::Component&, bool&) {
        header_->Vd_Filial(true);
        consumerTypes_->openForBranch(medCdFilial->text());
    };
    btnListaTipoConsumidor->OnBeforePesq = typeLookup;
    btnTipoPreco->OnBeforePesq = typeLookup;
    btnListaTipoConsumidor->OnAfterPesq = [this](vol::Component&) {
        edtCdTipoConsumidor->setText(consumerTypes_->listed().fieldByName("CDTIPOCONS").asString());
        edtNmTipoConsumidor->setText(consumerTypes_->listed().fieldByName("NMTIPOCONS").asString());
    };
    btnTipoPreco->OnAfterPesq = [this](vol::Component&) {
        edtTipoPreco->setText(consumerTypes_->listed().fieldByName("CDTIPOCONS").asString());
    };
    edtCdTipoConsumidor->OnChange = [this](vol::Component&) { edtNmTipoConsumidor->setText({}); };
    edtCdTipoConsumidor->OnExit = [this](vol::Component&) { Vd_TipoCons(*edtCdTipoConsumidor, edtNmTipoConsumidor); };
    edtTipoPreco->OnExit = [this](vol::Component&) { Vd_TipoCons(*edtTipoPreco, nullptr); };

    btnDia->OnAfterPesq = [this](vol::Component&) {
        edtDia->setText(cdsDia->fieldByName("IDDIA").asString());
        edtNmDia->setText(cdsDia->fieldByName("NMDIA").asString());
    };
    edtDia->OnChange = [this](vol::Component&) { edtNmDia->setText({}); };
    edtDia->OnExit = [this](vol::Component&) { Vd_Dia(); };

    cdsRegras->OnCalcFields = [this](vol::DataSet& d) { cdsRegrasCalcFields(d); };
    cdsHistorico->OnCalcFields = [this](vol::DataSet& d) { cdsHistoricoCalcFields(d); };
    grdRegras->OnFetchPage = [this](vol::DBGrid&, int offset, int limit) { grdRegrasFetchPage(offset, limit); };
    grdRegras->OnDeleteKey = notify(&T::sbtExcluirClick);
    // The explanation belongs to the row it was asked for.
    grdRegras->OnSelectionChanged = [this](vol::Component&) { memExplicacao->clear(); };

    sbtPesquisar->OnClick = notify(&T::sbtPesquisarClick);
    sbtPrecoVigente->OnClick = notify(&T::sbtPrecoVigenteClick);
    sbtExcluir->OnClick = notify(&T::sbtExcluirClick);
    sbtHistorico->OnClick = notify(&T::sbtHistoricoClick);
    sbtExportar->OnClick = notify(&T::sbtExportarClick);
}

}  // namespace vnd
