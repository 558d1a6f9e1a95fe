#include "screen/Cli_vnd42408.h"

#include "forms/Application.h"
#include "inquiry/RuleText.h"
#include "pricetable/ScreenLayout.h"

namespace vnd {

using namespace layout;
using vol::ColorRole;
using vol::FontRole;
using vol::Rect;

namespace {

constexpr int kButtonSize = 49;

void calculated(vol::DataSet& d, std::string name, std::string title, int width) {
    vol::FieldDef f;
    f.name = std::move(name);
    f.size = width;
    f.displayLabel = std::move(title);
    f.kind = vol::FieldKind::Calculated;
    d.addField(std::move(f));
}

void hidden(vol::DataSet& d, std::initializer_list<const char*> names) {
    for (const char* n : names) stringField(d, n, 0, "", false);
}

}  // namespace

TfrmConPrecoDiferenciado::TfrmConPrecoDiferenciado(vol::Application& app)
    : TfrmRotiGeral(app, "frmConPrecoDiferenciado") {
    setCaption("Consulta de Preços Diferenciados");
    setClientSize(1000, 600);
    setBorderStyle(vol::BorderStyle::Single);
    setPosition(20, 20);

    lblCodTela->setCaption("VND42408");
    lblCodTela->setGeometry({2, 584, 51, kLabelHeight});
    grbDadosRel->setGeometry({0, 0, 945, 600});
    panMenu->setGeometry({945, 0, 55, 600});
    panBotoes->setGeometry({0, 0, 55, 280});
    // A query screen confirms nothing: its actions are the buttons below.
    sbtConfirma->setVisible(false);

    defineDataSets();
    defineHeader();
    defineFilter();
    defineGrid();
    definePriceQuestion();
    defineButtons();
    defineCatalogue();
    wireEvents();
}

TfrmConPrecoDiferenciado::~TfrmConPrecoDiferenciado() = default;

void TfrmConPrecoDiferenciado::defineHeader() {
    header_->define(grbDadosRel, {4, 8, 413, 84}, 0);
    panTabela = header_->panTabela;
    medCdFilial = header_->medCdFilial;
    btnFilial = header_->btnFilial;
    edtNmFilial = header_->edtNmFilial;
    medCdTabePrec = header_->medCdTabePrec;
    btnTabePrec = header_->btnTabePrec;
    edtNmTabePrec = header_->edtNmTabePrec;
    depDtIniVig = header_->depDtIniVig;
    depDtFinVig = header_->depDtFinVig;
    btnDtIniVig = header_->btnDtIniVig;
}

void TfrmConPrecoDiferenciado::defineFilter() {
    grbFiltro = &make<vol::GroupBox>(grbDadosRel, "grbFiltro");
    grbFiltro->setCaption("Filtro");
    grbFiltro->setGeometry({421, 2, 520, 92});
    grbFiltro->setFontRole(FontRole::Bold);
    grbFiltro->setTabOrder(1);

    auto label = [this](const char* name, const char* caption, Rect r) {
        vol::Label& l = make<vol::Label>(grbFiltro, name);
        boldLabel(l, caption, r);
        return &l;
    };
    auto code = [this](vol::Edit& e, Rect r, int tabOrder) {
        entry(e, r, tabOrder);
        e.setFontRole(FontRole::Regular);
    };
    lblProduto = label("lblProduto", "Produto", {8, 19, 50, kLabelHeight});
    medProdIni = &make<vol::MaskEdit>(grbFiltro, "medProdIni");
    code(*medProdIni, {70, 15, 80, kEditHeight}, 0);
    btnProdutoIni = &make<vol::TBtnPesquisa>(grbFiltro, "btnProdutoIni");
    lookup(*btnProdutoIni, 153, 15, medProdIni, "Produto", dtsProduto, "Não há produto cadastrado.");
    lblProdutoAte = label("lblProdutoAte", "a", {178, 19, 10, kLabelHeight});
    medProdFim = &make<vol::MaskEdit>(grbFiltro, "medProdFim");
    code(*medProdFim, {192, 15, 80, kEditHeight}, 1);
    btnProdutoFim = &make<vol::TBtnPesquisa>(grbFiltro, "btnProdutoFim");
    lookup(*btnProdutoFim, 275, 15, medProdFim, "Produto", dtsProduto, "Não há produto cadastrado.");

    lblTipoConsumidor = label("lblTipoConsumidor", "Tipo", {8, 45, 50, kLabelHeight});
    edtCdTipoConsumidor = &make<vol::Edit>(grbFiltro, "edtCdTipoConsumidor");
    edtCdTipoConsumidor->setMaxLength(2);
    code(*edtCdTipoConsumidor, {70, 41, 30, kEditHeight}, 2);
    btnListaTipoConsumidor = &make<vol::TBtnPesquisa>(grbFiltro, "btnListaTipoConsumidor");
    lookup(*btnListaTipoConsumidor, 103, 41, edtCdTipoConsumidor, "Tipo de Consumidor", consumerTypes_->dtsTipoCons,
           "Não há tipo de consumidores registrados!");
    edtNmTipoConsumidor = &make<vol::Edit>(grbFiltro, "edtNmTipoConsumidor");
    nameField(*edtNmTipoConsumidor, {128, 41, 144, kEditHeight}, 6);
    edtNmTipoConsumidor->setFontRole(FontRole::Regular);

    lblDia = label("lblDia", "Dia", {8, 71, 50, kLabelHeight});
    edtDia = &make<vol::Edit>(grbFiltro, "edtDia");
    edtDia->setMaxLength(1);
    code(*edtDia, {70, 67, 30, kEditHeight}, 3);
    btnDia = &make<vol::TBtnPesquisa>(grbFiltro, "btnDia");
    lookup(*btnDia, 103, 67, edtDia, "Dia", dtsDia, "");
    edtNmDia = &make<vol::Edit>(grbFiltro, "edtNmDia");
    nameField(*edtNmDia, {128, 67, 144, kEditHeight}, 7);
    edtNmDia->setFontRole(FontRole::Regular);

    lblValidaEm = label("lblValidaEm", "Válida em", {300, 19, 70, kLabelHeight});
    depValidaEm = &make<vol::TDateEditPlus>(grbFiltro, "depValidaEm");
    code(*depValidaEm, {372, 15, 104, kEditHeight}, 4);
    depValidaEm->setValidDateBlue(true);
}

void TfrmConPrecoDiferenciado::defineGrid() {
    grdRegras = &make<vol::DBGrid>(grbDadosRel, "grdRegras");
    grdRegras->setGeometry({4, 98, 937, 290});
    grdRegras->setTabStop(true);
    grdRegras->setTabOrder(2);
    grdRegras->DataSet = cdsRegras;
    grdRegras->PageSize = 200;
    lblTotal = &make<vol::Label>(grbDadosRel, "lblTotal");
    boldLabel(*lblTotal, "", {6, 392, 300, kLabelHeight});
}

void TfrmConPrecoDiferenciado::definePriceQuestion() {
    grbPrecoVigente = &make<vol::GroupBox>(grbDadosRel, "grbPrecoVigente");
    grbPrecoVigente->setCaption("Por que este preço (F6)");
    grbPrecoVigente->setGeometry({4, 408, 937, 172});
    grbPrecoVigente->setFontRole(FontRole::Bold);
    grbPrecoVigente->setTabOrder(3);

    auto label = [this](const char* name, const char* caption, Rect r) {
        vol::Label& l = make<vol::Label>(grbPrecoVigente, name);
        boldLabel(l, caption, r);
        return &l;
    };
    lblDataPreco = label("lblDataPreco", "Data", {8, 21, 35, kLabelHeight});
    depDataPreco = &make<vol::TDateEditPlus>(grbPrecoVigente, "depDataPreco");
    entry(*depDataPreco, {46, 17, 104, kEditHeight}, 0);
    depDataPreco->setFontRole(FontRole::Regular);
    lblHoraPreco = label("lblHoraPreco", "Hora", {160, 21, 35, kLabelHeight});
    medHoraPreco = &make<vol::MaskEdit>(grbPrecoVigente, "medHoraPreco");
    medHoraPreco->setEditMask("!99:99;1; ");
    medHoraPreco->setMaxLength(5);
    medHoraPreco->setText("  :  ");
    entry(*medHoraPreco, {196, 17, 41, kEditHeight}, 1);
    medHoraPreco->setFontRole(FontRole::Regular);
    lblTipoPreco = label("lblTipoPreco", "Tipo de consumidor", {250, 21, 120, kLabelHeight});
    edtTipoPreco = &make<vol::Edit>(grbPrecoVigente, "edtTipoPreco");
    edtTipoPreco->setMaxLength(2);
    entry(*edtTipoPreco, {372, 17, 30, kEditHeight}, 2);
    edtTipoPreco->setFontRole(FontRole::Regular);
    btnTipoPreco = &make<vol::TBtnPesquisa>(grbPrecoVigente, "btnTipoPreco");
    lookup(*btnTipoPreco, 405, 17, edtTipoPreco, "Tipo de Consumidor", consumerTypes_->dtsTipoCons,
           "Não há tipo de consumidores registrados!");

    memExplicacao = &make<vol::Memo>(grbPrecoVigente, "memExplicacao");
    memExplicacao->setGeometry({8, 44, 921, 120});
    memExplicacao->setTabStop(true);
    memExplicacao->setTabOrder(3);
    memExplicacao->setFontRole(FontRole::Regular);
    memExplicacao->setColorRole(ColorRole::ButtonFace);
}

void TfrmConPrecoDiferenciado::defineButtons() {
    struct Button {
        vol::TButtonFlat** button;
        const char* name;
        const char* caption;
        const char* shortcut;
        const char* key;  // the key shown on the button
        vol::ButtonGlyph glyph;
        const char* hint;
    };
    // Removing has no key of its own: Del in the list does it, and the button says so.
    const Button buttons[] = {
        {&sbtPesquisar, "sbtPesquisar", "Pesquisar", "F5", "F5", vol::ButtonGlyph::Search, "Pesquisar (F5)"},
        {&sbtPrecoVigente, "sbtPrecoVigente", "Vigente", "F6", "F6", vol::ButtonGlyph::Price, "Preço vigente (F6)"},
        {&sbtExcluir, "sbtExcluir", "Excluir", "", "Del", vol::ButtonGlyph::Remove,
         "Excluir as regras selecionadas (Del na lista)"},
        {&sbtHistorico, "sbtHistorico", "Histórico", "F7", "F7", vol::ButtonGlyph::History,
         "Histórico do produto (F7)"},
        {&sbtExportar, "sbtExportar", "Exportar", "F9", "F9", vol::ButtonGlyph::Export, "Exportar para CSV (F9)"},
    };
    int top = 4;
    for (const Button& b : buttons) {
        vol::TButtonFlat& button = make<vol::TButtonFlat>(panBotoes, b.name);
        button.setCaption(b.caption);
        button.setGeometry({3, top, kButtonSize, kButtonSize});
        button.setShortcut(b.shortcut);
        button.setKeyLabel(b.key);
        button.setGlyph(b.glyph);
        button.setHint(b.hint);
        *b.button = &button;
        top += kButtonSize + 5;
    }
}

void TfrmConPrecoDiferenciado::defineDataSets() {
    netTabePreco = &makeComponent<vol::TNetConnection>("netTabePreco");
    netTabePreco->ServerName = "Vnd42400.rdmTabePreco";
    netTabePreco->ThrowException = false;
    header_ = std::make_unique<PriceTableHeader>(*this, *netTabePreco);
    consumerTypes_ = std::make_unique<ConsumerTypeQueries>(*this);

    cdsProduto = &makeComponent<vol::ClientDataSet>("cdsProduto");
    stringField(*cdsProduto, "IDMARCADO", 1, "", false);
    stringField(*cdsProduto, "CDPRODUTO", 10, "Código", false);
    stringField(*cdsProduto, "CDARVPROD", 20, "Produto", true);
    stringField(*cdsProduto, "NMPRODUTO", 50, "Nome", true);
    dtsProduto = &makeComponent<vol::DataSource>("dtsProduto");
    dtsProduto->setDataSet(cdsProduto);

    cdsDia = &makeComponent<vol::ClientDataSet>("cdsDia");
    stringField(*cdsDia, "IDDIA", 1, "Código", true);
    stringField(*cdsDia, "NMDIA", 20, "Dia", true);
    wire::DataPacket days;
    days.fields = {{"IDDIA", "string", 1}, {"NMDIA", "string", 20}};
    for (const char* d : {"T", "F", "V", "1", "2", "3", "4", "5", "6", "7"}) {
        days.rows.push_back({std::string(d), RuleText::day(d)});
    }
    cdsDia->loadPacket(days);
    dtsDia = &makeComponent<vol::DataSource>("dtsDia");
    dtsDia->setDataSet(cdsDia);

    // The grid's columns first, in the order they are shown; the stored columns after.
    cdsRegras = &makeComponent<vol::ClientDataSet>("cdsRegras");
    stringField(*cdsRegras, "CDARVPROD", 9, "Produto", true);
    stringField(*cdsRegras, "NMPRODUTO", 24, "Nome", true);
    calculated(*cdsRegras, "DIA", "Dia", 13);
    calculated(*cdsRegras, "TIPO", "Tipo", 5);
    calculated(*cdsRegras, "HORARIO", "Horário", 13);
    calculated(*cdsRegras, "VALIDADE", "Validade", 22);
    calculated(*cdsRegras, "AJUSTE", "Tipo de ajuste", 12);
    calculated(*cdsRegras, "VALOR", "Valor", 10);
    calculated(*cdsRegras, "VISUALIZA", "Visualiza", 9);
    calculated(*cdsRegras, "ATUALIZADO", "Atualizado em", 16);
    hidden(*cdsRegras, {"CDFILIAL", "CDTABEPREC", "DTINIVGPREC", "CDPRODUTO", "IDDIA", "CDTIPOCONS", "HRINI",
                        "HRFIN", "DTINIVALID", "DTFINVALID", "IDDESCACRE", "IDVALPERC", "VRPRECDIF", "IDVISUALIZA",
                        "DTULTATU"});
    cdsRegras->createDataSet();

    cdsHistorico = &makeComponent<vol::ClientDataSet>("cdsHistorico");
    calculated(*cdsHistorico, "QUANDO", "Quando", 16);
    stringField(*cdsHistorico, "NMUSUARIO", 16, "Usuário", true);
    stringField(*cdsHistorico, "NMESTACAO", 16, "Estação", true);
    calculated(*cdsHistorico, "OPERACAO", "Operação", 11);
    calculated(*cdsHistorico, "REGRA", "Regra", 48);
    calculated(*cdsHistorico, "ANTERIOR", "Valor anterior", 20);
    calculated(*cdsHistorico, "NOVO", "Valor novo", 20);
    hidden(*cdsHistorico, {"IDDIA", "CDTIPOCONS", "HRINI", "HRFIN", "DTINIVALID", "DTFINVALID", "IDOPERACAO",
                           "DTOPERACAO", "IDDESCACRE_ANT", "IDVALPERC_ANT", "VRPRECDIF_ANT", "IDDESCACRE",
                           "IDVALPERC", "VRPRECDIF"});
}

void TfrmConPrecoDiferenciado::defineCatalogue() {
    msgPadrao->Messages = {
        "PRODNCAD|Produto não cadastrado.",
        "PRODORDEM|Produto Inicial deve ser menor ou igual ao Produto Final.",
        "Cons_n_Cad|Tipo de consumidor não cadastrado!",
        "DIAINV|Dia inválido: informe T, F, V ou de 1 (Domingo) a 7 (Sábado).",
        "SELINF|Selecione uma regra na lista.",
        "UMAREGRA|Selecione uma só regra na lista.",
        "DATAINF|Data deve ser informada.",
        "HORAINV|não é uma Hora Válida.",
        "EXCLUIR|Confirma a exclusão de %d regra(s) de preço diferenciado?",
        "Pesq_Inf|Pesquisando regras de preço diferenciado...",
        "Excl_Inf|Excluindo regras de preço diferenciado...",
        "Exp_Inf|Exportando regras de preço diferenciado...",
        "Exp_Tit|Exportar regras de preço diferenciado",
    };
    const auto& header = PriceTableHeader::catalogue();
    msgPadrao->Messages.insert(msgPadrao->Messages.end(), header.begin(), header.end());
}

}  // namespace vnd
