#include "screen/Cli_vnd42407.h"

#include "forms/Application.h"
#include "pricetable/ScreenLayout.h"

namespace vnd {

using vol::Bevel;
using vol::ColorRole;
using vol::FontRole;
using vol::Rect;
using namespace layout;


TfrmCadAutPrecoDeferenciado::TfrmCadAutPrecoDeferenciado(vol::Application& app)
    : TfrmRotiGeral(app, "frmCadAutPrecoDeferenciado") {
    setCaption("Cadastro Automático de Preços Diferenciados");
    setClientSize(476, 574);
    setBorderStyle(vol::BorderStyle::Single);
    setPosition(635, 90);

    lblCodTela->setCaption("VND42407");
    lblCodTela->setGeometry({2, 556, 51, kLabelHeight});
    grbDadosRel->setGeometry({0, 0, 421, 574});
    panMenu->setGeometry({421, 0, 55, 574});
    panBotoes->setGeometry({0, 0, 55, 60});
    sbtConfirma->setGeometry({3, 4, 49, 49});

    defineDataSets();
    defineHeader();
    defineProducts();
    defineConsumerType();
    defineDays();
    defineRuleInputs();
    defineCatalogue();
    wireEvents();
}

TfrmCadAutPrecoDeferenciado::~TfrmCadAutPrecoDeferenciado() = default;

void TfrmCadAutPrecoDeferenciado::defineHeader() {
    header_->define(grbDadosRel, {4, 8, 413, 84}, 0);
    panTabela = header_->panTabela;
    lblFilial = header_->lblFilial;
    medCdFilial = header_->medCdFilial;
    btnFilial = header_->btnFilial;
    edtNmFilial = header_->edtNmFilial;
    lblTabela = header_->lblTabela;
    medCdTabePrec = header_->medCdTabePrec;
    btnTabePrec = header_->btnTabePrec;
    edtNmTabePrec = header_->edtNmTabePrec;
    lblVigencia = header_->lblVigencia;
    depDtIniVig = header_->depDtIniVig;
    lblDtFinVig = header_->lblDtFinVig;
    depDtFinVig = header_->depDtFinVig;
    btnDtIniVig = header_->btnDtIniVig;
}

void TfrmCadAutPrecoDeferenciado::defineProducts() {
    grbProduto = &make<vol::GroupBox>(grbDadosRel, "grbProduto");
    grbProduto->setCaption("Produto");
    grbProduto->setGeometry({4, 92, 413, 142});
    grbProduto->setFontRole(FontRole::Bold);
    grbProduto->setTabOrder(1);

    auto radio = [this](const char* name, const char* caption, int top, int tabOrder) {
        vol::RadioButton& r = make<vol::RadioButton>(grbProduto, name);
        r.setCaption(caption);
        r.setGeometry({7, top, 70, kBoxHeight});
        r.setFontRole(FontRole::Bold);
        r.setTabOrder(tabOrder);
        return &r;
    };
    rbtTodos = radio("rbtTodos", "Todos", 21, 0);
    rbtLista = radio("rbtLista", "Lista", 42, 1);
    btnListaProd = &make<vol::TBtnPesquisa>(grbProduto, "btnListaProd");
    lookup(*btnListaProd, 81, 41, rbtLista, "", dtsProduto, "");
    btnListaProd->setEnabled(false);
    btnListaProd->setTabOrder(5);
    rbtIntervalo = radio("rbtIntervalo", "Intervalo", 65, 2);
    rbtTodos->setChecked(true);

    auto rangeEdit = [this](const char* name, int top, int tabOrder) {
        vol::MaskEdit& e = make<vol::MaskEdit>(grbProduto, name);
        entry(e, {8, top, 101, kEditHeight}, tabOrder);
        e.setFontRole(FontRole::Regular);
        e.setEnabled(false);
        return &e;
    };
    auto rangeName = [this](const char* name, int top, int tabOrder) {
        vol::Edit& e = make<vol::Edit>(grbProduto, name);
        nameField(e, {139, top, 269, kEditHeight}, tabOrder);
        e.setFontRole(FontRole::Regular);
        return &e;
    };
    medProdIni = rangeEdit("medProdIni", 88, 3);
    btnProdutoIni = &make<vol::TBtnPesquisa>(grbProduto, "btnProdutoIni");
    lookup(*btnProdutoIni, 114, 89, medProdIni, "Produto", dtsProduto, "");
    btnProdutoIni->setEnabled(false);
    btnProdutoIni->setTabOrder(6);
    edtNomeIni = rangeName("edtNomeIni", 89, 8);
    medProdFim = rangeEdit("medProdFim", 113, 4);
    btnProdutoFim = &make<vol::TBtnPesquisa>(grbProduto, "btnProdutoFim");
    lookup(*btnProdutoFim, 114, 113, medProdFim, "Produto", dtsProduto, "");
    btnProdutoFim->setEnabled(false);
    btnProdutoFim->setTabOrder(7);
    edtNomeFim = rangeName("edtNomeFim", 113, 9);
}

void TfrmCadAutPrecoDeferenciado::defineConsumerType() {
    grbTipoConsumidor = &make<vol::GroupBox>(grbDadosRel, "grbTipoConsumidor");
    grbTipoConsumidor->setCaption("Tipo de Consumidor");
    grbTipoConsumidor->setGeometry({4, 235, 413, 46});
    grbTipoConsumidor->setFontRole(FontRole::Bold);
    grbTipoConsumidor->setTabOrder(2);

    edtCdTipoConsumidor = &make<vol::Edit>(grbTipoConsumidor, "edtCdTipoConsumidor");
    edtCdTipoConsumidor->setMaxLength(2);
    edtCdTipoConsumidor->setGeometry({9, 18, 41, kEditHeight});
    edtCdTipoConsumidor->setTabStop(true);
    edtCdTipoConsumidor->setTabOrder(0);
    edtCdTipoConsumidor->setFontRole(FontRole::Regular);
    btnListaTipoConsumidor = &make<vol::TBtnPesquisa>(grbTipoConsumidor, "btnListaTipoConsumidor");
    lookup(*btnListaTipoConsumidor, 56, 19, edtCdTipoConsumidor, "Tipo de Consumidor", dtsTipoCons,
           "Não há tipo de consumidores registrados!", 20);
    btnListaTipoConsumidor->setTabOrder(1);
    edtNmTipoConsumidor = &make<vol::Edit>(grbTipoConsumidor, "edtNmTipoConsumidor");
    nameField(*edtNmTipoConsumidor, {82, 18, 326, kEditHeight}, 2);
    edtNmTipoConsumidor->setFontRole(FontRole::Bold);
}

void TfrmCadAutPrecoDeferenciado::defineDays() {
    grbDia = &make<vol::GroupBox>(grbDadosRel, "grbDia");
    grbDia->setCaption("Dia");
    grbDia->setGeometry({4, 281, 413, 90});
    grbDia->setFontRole(FontRole::Bold);
    grbDia->setTabOrder(3);

    struct Day {
        vol::CheckBox** box;
        const char* name;
        const char* caption;
        int left;
        int top;
        int width;
    };
    const Day days[] = {
        {&chbTodosDias, "chbTodosDias", "Todos os Dias", 8, 17, 150},
        {&chbFeriado, "chbFeriado", "Feriado", 8, 42, 150},
        {&chbVesperaFeriado, "chbVesperaFeriado", "Véspera de Feriado", 8, 64, 150},
        {&chbDomingo, "chbDomingo", "Domingo", 173, 17, 110},
        {&chbSegunda, "chbSegunda", "Segunda", 173, 36, 110},
        {&chbTerca, "chbTerca", "Terça", 173, 53, 110},
        {&chbQuarta, "chbQuarta", "Quarta", 173, 71, 110},
        {&chbQuinta, "chbQuinta", "Quinta", 302, 17, 100},
        {&chbSexta, "chbSexta", "Sexta", 302, 36, 100},
        {&chbSabado, "chbSabado", "Sábado", 302, 56, 100},
    };
    int tab = 0;
    for (const Day& d : days) {
        vol::CheckBox& box = make<vol::CheckBox>(grbDia, d.name);
        box.setCaption(d.caption);
        box.setGeometry({d.left, d.top, d.width, kBoxHeight});
        box.setFontRole(FontRole::Bold);
        box.setTabOrder(tab++);
        *d.box = &box;
    }
}

void TfrmCadAutPrecoDeferenciado::defineRuleInputs() {
    auto group = [this](const char* name, Rect r, int tabOrder, std::vector<std::string> items, int index) {
        vol::RadioGroup& g = make<vol::RadioGroup>(grbDadosRel, name);
        g.setGeometry(r);
        g.setFontRole(FontRole::Bold);
        g.setTabOrder(tabOrder);
        g.setItems(std::move(items));
        g.setItemIndex(index);
        return &g;
    };
    rdgDesAcr = group("rdgDesAcr", {4, 369, 167, 66}, 4, {"Desconto", "Acréscimo"}, 0);
    rdgValPer = group("rdgValPer", {177, 369, 240, 66}, 5, {"Valor", "Percentual"}, 0);
    numValPer = &make<vol::TNumberEdit>(grbDadosRel, "numValPer");
    entry(*numValPer, {296, 404, 92, kEditHeight}, 6);
    numValPer->setDecimals(2);

    grbHorario = &make<vol::GroupBox>(grbDadosRel, "grbHorario");
    grbHorario->setCaption("Horário");
    grbHorario->setGeometry({4, 435, 167, 67});
    grbHorario->setFontRole(FontRole::Bold);
    grbHorario->setTabOrder(7);
    lblHorarioDe = &make<vol::Label>(grbHorario, "lblHorarioDe");
    boldLabel(*lblHorarioDe, "De", {4, 16, 20, kLabelHeight});
    lblHorarioAte = &make<vol::Label>(grbHorario, "lblHorarioAte");
    boldLabel(*lblHorarioAte, "Até", {4, 40, 24, kLabelHeight});
    auto time = [this](const char* name, int top, int tabOrder) {
        vol::MaskEdit& e = make<vol::MaskEdit>(grbHorario, name);
        e.setEditMask("!99:99;1; ");
        e.setMaxLength(5);
        e.setText("  :  ");
        entry(e, {44, top, 41, kEditHeight}, tabOrder);
        e.setFontRole(FontRole::Regular);
        return &e;
    };
    medHorarioDe = time("medHorarioDe", 14, 0);
    medHorarioAte = time("medHorarioAte", 37, 1);

    grbValidade = &make<vol::GroupBox>(grbDadosRel, "grbValidade");
    grbValidade->setCaption("Validade");
    grbValidade->setGeometry({177, 435, 240, 66});
    grbValidade->setFontRole(FontRole::Bold);
    grbValidade->setTabOrder(8);
    lblValidadeDe = &make<vol::Label>(grbValidade, "lblValidadeDe");
    boldLabel(*lblValidadeDe, "De", {4, 16, 20, kLabelHeight});
    lblValidadeAte = &make<vol::Label>(grbValidade, "lblValidadeAte");
    boldLabel(*lblValidadeAte, "Até", {4, 40, 24, kLabelHeight});
    auto date = [this](const char* name, int top, int tabOrder) {
        vol::TDateEditPlus& d = make<vol::TDateEditPlus>(grbValidade, name);
        entry(d, {48, top, 121, kEditHeight}, tabOrder);
        d.setFontRole(FontRole::Regular);
        d.setValidDateBlue(true);
        return &d;
    };
    depValidadeDe = date("depValidadeDe", 13, 0);
    depValidadeAte = date("depValidadeAte", 37, 1);
    depDtIniVig->setFontRole(FontRole::Inherited);

    rdgVisualiza = group("rdgVisualiza", {4, 502, 167, 66}, 9, {"Sim", "Não"}, 1);
    rdgVisualiza->setCaption("Visualiza");
}

void TfrmCadAutPrecoDeferenciado::defineDataSets() {
    netTabePreco = &makeComponent<vol::TNetConnection>("netTabePreco");
    netTabePreco->ServerName = "Vnd42400.rdmTabePreco";
    netTabePreco->ThrowException = false;

    header_ = std::make_unique<PriceTableHeader>(*this, *netTabePreco);
    cdsFilial = header_->cdsFilial;
    dtsFilial = header_->dtsFilial;
    cdsTabePrec = header_->cdsTabePrec;
    dtsTabePrec = header_->dtsTabePrec;
    cdsTabeVend = header_->cdsTabeVend;
    dtsTabeVend = header_->dtsTabeVend;

    // The product list and the picked products share their four fields.
    cdsProduto = &makeComponent<vol::ClientDataSet>("cdsProduto");
    cdsProdAux = &makeComponent<vol::ClientDataSet>("cdsProdAux");
    for (vol::ClientDataSet* d : {cdsProduto, cdsProdAux}) {
        stringField(*d, "IDMARCADO", 1, "", true);
        stringField(*d, "CDPRODUTO", 10, "Código", false);
        stringField(*d, "CDARVPROD", 20, "Produto", true);
        stringField(*d, "NMPRODUTO", 50, "Nome", true);
    }
    dtsProduto = &makeComponent<vol::DataSource>("dtsProduto");
    dtsProduto->setDataSet(cdsProduto);

    consumerTypes_ = std::make_unique<ConsumerTypeQueries>(*this);
    qryTipoCons = consumerTypes_->qryTipoCons;
    qryTipoConsFili = consumerTypes_->qryTipoConsFili;
    dtsTipoCons = consumerTypes_->dtsTipoCons;
}

void TfrmCadAutPrecoDeferenciado::defineCatalogue() {
    msgPadrao->Messages = {
        "ValDe|Validade Inicial deve ser menor ou igual a Validade Final.",
        "PROD|Produto",
        "PRODINV|Não há produto cadastrado.",
        "PRODNINF|Produto Inicial deve ser informado.",
        "PRODNFIM|Produto Final deve ser informado.",
        "PRODNCAD|Produto não cadastrado.",
        "DIAINF|Dia da Semana deve ser informado.",
        "CONF|Confirma operação? Caso já exista um preço diferenciado cadastrado para os produtos "
        "selecionados, com mesmo dia, tipo de consumidor, horário e validade, este será substituído.",
        "VALINF|Valor informado deve ser maior do que zero.",
        "HORINIINF|Horário Inicial deve ser informado.",
        "HORFININF|Horário final deve ser informado.",
        "HORARIO|Horário Inicial deve ser menor ou igual ao Horário Final",
        "PRODINF|Produto deve ser informado.",
        "HORAINV|não é uma Hora Válida.",
        "DTVALIDADEINI|Data Inicial de Validade deve ser maior ou igual a Data Inicial de Vigência .",
        "DTVALIDADEFIN|Data Final de Validade deve ser menor ou igual a Data Final de Vigência. ",
        "Prec_Inf|Cadastrando preços diferenciados no servidor...",
        "VRDESC|O percentual de desconto deve estar entre 0 e 100.",
        "VRACRE|O percentual de acréscimo deve estar entre 0 e 100.",
        "Cons_n_Cad|Tipo de consumidor não cadastrado!",
    };
    const auto& header = PriceTableHeader::catalogue();
    msgPadrao->Messages.insert(msgPadrao->Messages.end(), header.begin(), header.end());
}

void TfrmCadAutPrecoDeferenciado::wireEvents() {
    // Each event calls the handler of the same name; a handler's failure unwinds to the
    // action boundary.
    auto notify = [this](void (TfrmCadAutPrecoDeferenciado::*handler)(vol::Component&)) {
        return [this, handler](vol::Component& s) { (this->*handler)(s); };
    };
    auto before = [this](void (TfrmCadAutPrecoDeferenciado::*handler)(vol::Component&, bool&)) {
        return [this, handler](vol::Component& s, bool& goOn) { (this->*handler)(s, goOn); };
    };
    using T = TfrmCadAutPrecoDeferenciado;

    OnActivate = notify(&T::FormActivate);
    netTabePreco->OnBeforeConnect = notify(&T::netTabePrecoBeforeConnect);

    // The header wires its own fields.
    rbtTodos->OnClick = notify(&T::rbtTodosClick);
    rbtLista->OnClick = notify(&T::rbtListaClick);
    rbtIntervalo->OnClick = notify(&T::rbtIntervaloClick);
    btnListaProd->OnClick = notify(&T::btnListaProdClick);
    btnProdutoIni->OnBeforePesq = before(&T::btnProdutoIniBeforePesq);
    btnProdutoIni->OnAfterPesq = notify(&T::btnProdutoIniAfterPesq);
    btnProdutoFim->OnBeforePesq = before(&T::btnProdutoFimBeforePesq);
    btnProdutoFim->OnAfterPesq = notify(&T::btnProdutoFimAfterPesq);
    medProdIni->OnChange = notify(&T::medProdIniChange);
    medProdIni->OnExit = notify(&T::medProdIniExit);
    medProdFim->OnChange = notify(&T::medProdFimChange);
    medProdFim->OnExit = notify(&T::medProdFimExit);

    edtCdTipoConsumidor->OnChange = notify(&T::edtCdTipoConsumidorChange);
    edtCdTipoConsumidor->OnExit = notify(&T::edtCdTipoConsumidorExit);
    btnListaTipoConsumidor->OnBeforePesq = before(&T::btnListaTipoConsumidorBeforePesq);
    btnListaTipoConsumidor->OnAfterPesq = notify(&T::btnListaTipoConsumidorAfterPesq);

    chbTodosDias->OnClick = notify(&T::chbTodosDiasClick);
    depValidadeDe->OnExit = notify(&T::depValidadeDeExit);
    depValidadeAte->OnExit = notify(&T::depValidadeAteExit);

    sbtConfirma->OnClick = notify(&T::sbtConfirmaClick);
}

}  // namespace vnd
