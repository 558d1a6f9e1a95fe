#pragma once
// Rows of named text fields with a current record.

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "data/Field.h"
#include "data/FieldDef.h"
#include "forms/Component.h"
#include "protocol/DataPacket.h"

namespace vol {

/// A dataset: field definitions, rows and a current record. It is open (active) or
/// closed; a closed dataset has no rows. Calculated fields are computed by OnCalcFields
/// for every record when rows arrive and when a record is posted.
class DataSet : public Component {
public:
    DataSet(Form& owner, std::string name);

    /// Declares a field; only while the dataset is closed.
    void addField(FieldDef def);
    const std::vector<FieldDef>& fieldDefs() const { return fields_; }
    /// The definition of a field by name (exact); throws std::out_of_range when absent.
    FieldDef& fieldDef(const std::string& name);
    /// The field's index, or -1.
    int fieldIndex(const std::string& name) const;
    /// The named field at the current record; throws std::out_of_range naming a missing
    /// field ("Campo X não encontrado.").
    Field fieldByName(const std::string& name);

    bool active() const { return active_; }
    /// Closes the dataset: rows are dropped, field definitions stay.
    void close();
    bool isEmpty() const { return rows_.empty(); }
    int recordCount() const { return static_cast<int>(rows_.size()); }
    /// The current record's index, -1 when there is none.
    int recNo() const { return current_; }
    void setRecNo(int index);
    void first();
    void next();
    /// True after next() went past the last record, or when empty.
    bool eof() const { return eof_; }

    /// Moves to the first record whose field equals the value as a whole (letter case
    /// ignored when asked); returns false and stays when there is none.
    bool locate(const std::string& field, const std::string& value, bool caseInsensitive);

    /// The stored value of a cell; "" for no value.
    const std::string& cell(int row, int field) const;
    /// A cell as lists show it: through the field's edit mask when it has one.
    std::string displayText(int row, int field) const;

    std::function<void(DataSet& sender)> OnCalcFields;

protected:
    friend class Field;
    enum class State { Browse, Insert, Calculate };

    /// Replaces the rows and opens the dataset; calculated fields are computed.
    void setRows(std::deque<wire::Row> rows);
    /// Adds rows after the last one (the dataset stays open, its current record stays);
    /// calculated fields are computed for the new rows only.
    void appendRows(std::deque<wire::Row> rows);
    /// Opens the dataset with no rows.
    void openEmpty();
    void calculate(int row);

    std::vector<FieldDef> fields_;
    std::deque<wire::Row> rows_;
    wire::Row buffer_;  ///< the record being inserted
    State state_ = State::Browse;
    int current_ = -1;
    bool active_ = false;
    bool eof_ = true;
};

}  // namespace vol
