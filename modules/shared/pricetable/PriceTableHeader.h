#pragma once
// The header of the price screens: branch, price table and validity period.

#include <functional>
#include <string>
#include <vector>

#include "controls/Edit.h"
#include "controls/Label.h"
#include "controls/MaskEdit.h"
#include "controls/Panel.h"
#include "controls/TBtnPesquisa.h"
#include "controls/TDateEditPlus.h"
#include "data/ClientDataSet.h"
#include "data/DataSource.h"
#include "forms/TfrmRotiGeral.h"
#include "net/TNetConnection.h"
#include "protocol/Date.h"
#include "protocol/Value.h"

namespace vnd {

/// The branch, the price table and the validity period a price screen works on, typed
/// or picked from lookups (F2), each checked against the server when the focus leaves
/// it, chained so that a change clears what depends on it (a new branch clears the table
/// and the period, a new table the period, a new start date the end date).
///
/// It lives on its screen: the constructor makes its datasets on the form, define()
/// its panel and controls under the given parent, both with the names the screens have
/// always used, so scripts and views find them by name. Messages come from the screen's
/// catalogue, which must hold the entries of catalogue(). A check that fails shows its
/// message, puts the focus back into its field and ends the running action (MensErro).
class PriceTableHeader {
public:
    /// Makes the header's datasets on the form; calls go through the connection.
    PriceTableHeader(vol::TfrmRotiGeral& form, vol::TNetConnection& net);
    PriceTableHeader(const PriceTableHeader&) = delete;
    PriceTableHeader& operator=(const PriceTableHeader&) = delete;

    /// Makes the panel at `where` under `parent`, its controls, and wires their events.
    void define(vol::Control* parent, vol::Rect where, int tabOrder);
    /// The catalogue entries ("key|text") the header's messages are read from.
    static const std::vector<std::string>& catalogue();

    /// The host's branch in the branch field; the field and its lookup are locked when
    /// the host fixes the branch. Returns true when the branch can be changed.
    bool presetBranch();

    /// The checks: an empty field passes unless required; a filled one must exist.
    void Vd_Filial(bool required);
    void Vd_TabePrec(bool required);
    void Vd_DtIniVig(bool required);

    /// The client's short date pattern, sent with every call that answers dates as text.
    std::string datePattern() const;
    /// One remote lookup into a client dataset: animation, call, result check, load. A
    /// failed call leaves the dataset as it was.
    void callInto(vol::ClientDataSet& target, const std::string& method, std::vector<wire::Value> args);

    /// Runs after any header field changed (after its dependants were cleared).
    std::function<void()> OnChanged;

    vol::Panel* panTabela = nullptr;
    vol::Label* lblFilial = nullptr;
    vol::MaskEdit* medCdFilial = nullptr;
    vol::TBtnPesquisa* btnFilial = nullptr;
    vol::Edit* edtNmFilial = nullptr;
    vol::Label* lblTabela = nullptr;
    vol::MaskEdit* medCdTabePrec = nullptr;
    vol::TBtnPesquisa* btnTabePrec = nullptr;
    vol::Edit* edtNmTabePrec = nullptr;
    vol::Label* lblVigencia = nullptr;
    vol::TDateEditPlus* depDtIniVig = nullptr;
    vol::Label* lblDtFinVig = nullptr;
    vol::TDateEditPlus* depDtFinVig = nullptr;
    vol::TBtnPesquisa* btnDtIniVig = nullptr;

    vol::ClientDataSet* cdsFilial = nullptr;
    vol::DataSource* dtsFilial = nullptr;
    vol::ClientDataSet* cdsTabePrec = nullptr;
    vol::DataSource* dtsTabePrec = nullptr;
    vol::ClientDataSet* cdsTabeVend = nullptr;
    vol::DataSource* dtsTabeVend = nullptr;

private:
    std::string Msg(const std::string& key) const { return form_.msgPadrao->Msg(key); }
    /// A date column of cdsTabeVend's current row read with the client's pattern.
    wire::Date periodDate(const std::string& field);
    void changed();
    void wireEvents();

    void medCdFilialChange();
    void medCdTabePrecChange();
    void depDtIniVigChange();
    void btnFilialBeforePesq();
    void btnFilialAfterPesq();
    void btnTabePrecBeforePesq();
    void btnTabePrecAfterPesq();
    void btnDtIniVigBeforePesq();
    void btnDtIniVigAfterPesq();
    void cdsTabeVendCalcFields(vol::DataSet& sender);

    vol::TfrmRotiGeral& form_;
    vol::TNetConnection& net_;
};

}  // namespace vnd
