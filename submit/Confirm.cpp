// The confirm action: every check again in a fixed order, the question, and the rule sent
// whole to the server.

#include <optional>

#include "forms/Application.h"
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

    if (!vol::Application::instance().ui().askYesNo(Msg("CONF"))) return;
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
        wire::Value products = cdsProdAux->active() ? wire::Value(cdsProdAux->packet()) : wire::Value();
        std::vector<wire::Value> args{
            chbTodosDias->checked(),
            chbVesperaFeriado->checked(),
            chbFeriado->checked(),
            chbDomingo->checked(),
            chbSegunda->checked(),
            chbTerca->checked(),
            chbQuarta->checked(),
            chbQuinta->checked(),
            chbSexta->checked(),
            chbSabado->checked(),
            rbtLista->checked(),
            rbtTodos->checked(),
            rbtIntervalo->checked(),
            std::int64_t{rdgDesAcr->itemIndex()},
            std::int64_t{rdgValPer->itemIndex()},
            medCdFilial->text(),
            medCdTabePrec->text(),
            medProdFim->text(),
            medProdIni->text(),
            timeFrom,
            timeTo,
            depValidadeDe->GetDate(),
            depValidadeAte->GetDate(),
            depDtIniVig->GetDate(),
            numValPer->GetNumber(),
            stPesqProd,
            std::move(products),
            stTipoCons,
            std::int64_t{rdgVisualiza->itemIndex()},
        };
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
