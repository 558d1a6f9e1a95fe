#include "pricetable/ConsumerTypeQueries.h"

#include "pricetable/ScreenLayout.h"

namespace vnd {

ConsumerTypeQueries::ConsumerTypeQueries(vol::Form& form) {
    qryTipoCons = &form.makeComponent<vol::TADOIBQuery>("qryTipoCons");
    qryTipoCons->SQL = {
        "SELECT CDTIPOCONS, NMTIPOCONS",
        "   FROM TIPOCONS",
        "WHERE",
        "   ((CDTIPOCONS = :P_CDTIPOCONS) OR  (:P_TCDTIPOCONS =  'T'))",
        "   ORDER BY CDTIPOCONS",
    };
    // SQLite refuses the bare ORDER BY CDTIPOCONS of the branch query as ambiguous (both
    // tables have the column); the query means the consumer type's own code.
    qryTipoConsFili = &form.makeComponent<vol::TADOIBQuery>("qryTipoConsFili");
    qryTipoConsFili->SQL = {
        "SELECT",
        "  T.CDTIPOCONS, T.NMTIPOCONS",
        "FROM",
        "   TIPOCONS T, TIPOCONSFILI TF",
        "WHERE",
        "   (TF.CDFILIAL   = :P_CDFILIAL) AND",
        "   (TF.CDTIPOCONS = T.CDTIPOCONS)",
        "ORDER BY T.CDTIPOCONS",
        "",
    };
    for (vol::TADOIBQuery* q : {qryTipoCons, qryTipoConsFili}) {
        layout::stringField(*q, "CDTIPOCONS", 2, "Código", true);
        layout::stringField(*q, "NMTIPOCONS", 20, "Nome", true);
    }
    dtsTipoCons = &form.makeComponent<vol::DataSource>("dtsTipoCons");
    dtsTipoCons->setDataSet(qryTipoConsFili);
}

void ConsumerTypeQueries::openForBranch(const std::string& branch) {
    qryTipoConsFili->Close();
    qryTipoConsFili->ParamByName("P_CDFILIAL").setAsString(branch);
    qryTipoConsFili->Open();
    if (qryTipoConsFili->IsEmpty()) {
        // A branch without its own consumer types offers every type.
        qryTipoCons->Close();
        qryTipoCons->ParamByName("P_CDTIPOCONS").setAsString({});
        qryTipoCons->ParamByName("P_TCDTIPOCONS").setAsString("T");
        qryTipoCons->Open();
        dtsTipoCons->setDataSet(qryTipoCons);
    } else {
        dtsTipoCons->setDataSet(qryTipoConsFili);
    }
}

vol::TADOIBQuery& ConsumerTypeQueries::listed() const {
    return qryTipoConsFili->IsEmpty() ? *qryTipoCons : *qryTipoConsFili;
}

bool ConsumerTypeQueries::find(const std::string& code) {
    qryTipoCons->Close();
    qryTipoCons->ParamByName("P_TCDTIPOCONS").setAsString({});
    qryTipoCons->ParamByName("P_CDTIPOCONS").setAsString(code);
    qryTipoCons->Open();
    return !qryTipoCons->IsEmpty();
}

}  // namespace vnd
