// The days, the time window, the validity dates and the amount of the rule.

#include "checks/TimeText.h"
#include "screen/Cli_vnd42407.h"
#include "units/Consiste.h"

namespace vnd {

using vol::EmptyString;
using vol::MensErro;

void TfrmCadAutPrecoDeferenciado::chbTodosDiasClick(vol::Component&) { Vd_Dia(); }

void TfrmCadAutPrecoDeferenciado::Vd_Dia() {
    // The other boxes keep their marks while disabled; the rule sends all ten as they stand.
    bool others = !chbTodosDias->checked();
    for (vol::CheckBox* box : {chbDomingo, chbSegunda, chbTerca, chbQuarta, chbQuinta, chbSexta, chbSabado,
                               chbVesperaFeriado, chbFeriado}) {
        box->setEnabled(others);
    }
}

void TfrmCadAutPrecoDeferenciado::depValidadeDeExit(vol::Component&) { depValidadeDe->CheckValidDate(); }

void TfrmCadAutPrecoDeferenciado::depValidadeAteExit(vol::Component&) { depValidadeAte->CheckValidDate(); }

void TfrmCadAutPrecoDeferenciado::Vd_DiaChecked() {
    for (vol::CheckBox* box : {chbTodosDias, chbFeriado, chbVesperaFeriado, chbDomingo, chbSegunda, chbTerca,
                               chbQuarta, chbQuinta, chbSexta, chbSabado}) {
        if (box->checked()) return;
    }
    MensErro(Msg("DIAINF"));
}

void TfrmCadAutPrecoDeferenciado::vd_ValorouPercentual() {
    if (!EmptyString(numValPer->text()) && numValPer->GetNumber() > 0) return;
    if (rdgValPer->itemIndex() == 0) {
        numValPer->setFocus();
        MensErro(Msg("VALINF"));
    }
}

void TfrmCadAutPrecoDeferenciado::checkTime(vol::MaskEdit& edit, const char* emptyKey) {
    // Without its mask the edit holds only what was typed in the digit places.
    if (EmptyString(edit.rawText())) {
        edit.setFocus();
        MensErro(Msg(emptyKey));
    }
    if (!isTimeOfDay(edit.text())) {
        edit.setFocus();
        MensErro(std::string("'").append(edit.text()).append("' ").append(Msg("HORAINV")));
    }
}

void TfrmCadAutPrecoDeferenciado::vd_HoraDe() { checkTime(*medHorarioDe, "HORINIINF"); }

void TfrmCadAutPrecoDeferenciado::vd_HoraAte() { checkTime(*medHorarioAte, "HORFININF"); }

void TfrmCadAutPrecoDeferenciado::vd_Horario() {
    // Compared as texts: for two times of day "HH:MM" this is their order in the day.
    if (medHorarioDe->text() > medHorarioAte->text()) {
        medHorarioDe->setFocus();
        MensErro(Msg("HORARIO"));
    }
}

void TfrmCadAutPrecoDeferenciado::Vd_Validade() {
    depValidadeDe->CheckValidDate();
    depValidadeAte->CheckValidDate();
    if (depValidadeAte->GetDate() < depValidadeDe->GetDate()) {
        depValidadeDe->setFocus();
        MensErro(Msg("ValDe"));
    }
    if (depValidadeDe->GetDate() < depDtIniVig->GetDate()) {
        depValidadeDe->setFocus();
        MensErro(Msg("DTVALIDADEINI"));
    }
    if (depValidadeAte->GetDate() > depDtFinVig->GetDate()) {
        depValidadeAte->setFocus();
        MensErro(Msg("DTVALIDADEFIN"));
    }
}

void TfrmCadAutPrecoDeferenciado::vd_Valor() {
    if (rdgValPer->itemIndex() != 1) return;
    double percent = numValPer->GetNumber();
    if (percent > 0 && percent < 100) return;
    numValPer->setFocus();
    MensErro(Msg(rdgDesAcr->itemIndex() == 0 ? "VRDESC" : "VRACRE"));
}

}  // namespace vnd
