// The confirm action: every check again in a fixed order, the question, and the rule sent
// whole to the server.

#include <optional>

#include "forms/Application.h"
#include "protocol/RuleArguments.h"
#include "screen/Cli_vnd42407.h"
#include "submit/PickedCodes.h"
#include "ui/UserInterface.h"
#include "units/Consiste.h"
#include "units/ProgressAnimation.h"

namespace vnd {

using vol::EmptyString;
using vol::MensErro;

void TfrmCadAutPrecoDeferenciado::sbtConfirmaClick(vol::Component&) {
    Vd_Filial(true);
    Vd_TabePrec(true);
    Vd_DtIniVig(true);

    // The time window goes as typed, digits only ("08:30" as "0830").
    std::string timeFrom = medHorarioDe->rawText();
    std::string timeTo = medHorarioAte->rawText();

    if (rbtIntervalo->checked()) {
        vd_ProdIni(true);
        vd_ProdFin(true);
    }
    if (rbtLista->checked() && EmptyString(stPesqProd)) MensErro(Msg("PRODINF"));

    Vd_DiaChecked();
    vd_ValorouPercentual();
    vd_HoraDe();
    vd_HoraAte();
    vd_Horario();
    Vd_Validade();
    vd_Valor();
    Vd_TipoCons();

    if (!vol::Application::instance().ui().askYesNo(Msg("CONF"), vol::DefaultAnswer::Yes)) return;
    submitRule(timeFrom, timeTo);
}

void TfrmCadAutPrecoDeferenciado::submitRule(const std::string& timeFrom, const std::string& timeTo) {
    // The picked list travels only in the data packet, so the by-reference string goes
    // empty; if the store fails the user's pick is given back for the next try.
    std::string picked;
    if (rbtLista->checked()) picked.swap(stPesqProd);
    try {
        // Every submission starts from an empty auxiliary dataset: rows of an earlier
        // failed try are never sent again, nor sent with another mode's flags.
        if (cdsProdAux->active() || (rbtLista->checked() && !EmptyString(picked))) {
            cdsProdAux->createDataSet();
        }
        if (rbtLista->checked() && !EmptyString(picked)) {
            for (const std::string& code : parsePickedCodes(picked)) {
                cdsProdAux->insert();
                cdsProdAux->fieldByName("CDPRODUTO").setAsString(code);
                cdsProdAux->post();
            }
        }

        std::optional<vol::ProgressAnimation> animation;
        animation.emplace(vol::ProgressKind::Store, Msg("Prec_Inf"));
        using wire::DayBox;
        wire::RuleArguments rule;
        rule.tick(DayBox::EveryDay, chbTodosDias->checked());
        rule.tick(DayBox::HolidayEve, chbVesperaFeriado->checked());
        rule.tick(DayBox::Holiday, chbFeriado->checked());
        rule.tick(DayBox::Sunday, chbDomingo->checked());
        rule.tick(DayBox::Monday, chbSegunda->checked());
        rule.tick(DayBox::Tuesday, chbTerca->checked());
        rule.tick(DayBox::Wednesday, chbQuarta->checked());
        rule.tick(DayBox::Thursday, chbQuinta->checked());
        rule.tick(DayBox::Friday, chbSexta->checked());
        rule.tick(DayBox::Saturday, chbSabado->checked());
        if (rbtLista->checked()) rule.mode = wire::ProductMode::List;
        if (rbtTodos->checked()) rule.mode = wire::ProductMode::All;
        if (rbtIntervalo->checked()) rule.mode = wire::ProductMode::Range;
        // The groups have two items each; none picked goes as the group's -1.
        if (rdgDesAcr->itemIndex() >= 0) rule.adjustment = wire::Adjustment(rdgDesAcr->itemIndex());
        if (rdgValPer->itemIndex() >= 0) rule.amountKind = wire::AmountKind(rdgValPer->itemIndex());
        if (rdgVisualiza->itemIndex() >= 0) rule.display = wire::Display(rdgVisualiza->itemIndex());
        rule.branch = medCdFilial->text();
        rule.table = medCdTabePrec->text();
        rule.rangeEnd = medProdFim->text();
        rule.rangeStart = medProdIni->text();
        rule.timeStart = timeFrom;
        rule.timeEnd = timeTo;
        rule.validFrom = depValidadeDe->GetDate();
        rule.validTo = depValidadeAte->GetDate();
        rule.periodStart = depDtIniVig->GetDate();
        rule.amount = numValPer->GetNumber();
        rule.pickedCodes = stPesqProd;
        if (cdsProdAux->active()) rule.products = cdsProdAux->packet();
        rule.consumerType = stTipoCons;
        const std::vector<wire::Value> args = wire::toValues(rule);
        wire::CallResult result = netTabePreco->Call("SetPrecDif", args);
        // A failure's message must not sit under the animation.
        if (!result.ok) animation.reset();
        if (!result.ok && netTabePreco->LastCallTimedOut()) {
            // The server goes on with a store it has received, so "not answered" is not
            // "not stored". Storing the same rule again replaces its rows (same key), so
            // confirming again is the safe way to be sure.
            MensErro("O servidor de aplicação " + netTabePreco->Where() +
                     " não respondeu a tempo, mas a regra pode ter sido gravada. Confirme de novo para ter "
                     "certeza: repetir é seguro, a mesma regra substitui a gravada.");
        }
        vol::CheckResultServ(result, true, 0);
        // Closed while the animation still shows; the animation goes when this block ends.
        frmCadAutPrecoDeferenciado->close();
    } catch (...) {
        if (stPesqProd.empty()) stPesqProd.swap(picked);
        throw;
    }
}

}  // namespace vnd
