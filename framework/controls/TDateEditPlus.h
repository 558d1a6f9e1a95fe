#pragma once
// The date edit: a masked edit in the short date format with a calendar button.

#include <array>
#include <optional>
#include <string>

#include "controls/MaskEdit.h"
#include "protocol/Date.h"

namespace vol {

/// A date edit. It types through the mask of the application's short date format
/// ("dd/mm/yyyy" gives "!99/99/9999;1; "); text() is empty while no place is filled, so
/// EmptyString holds for an edit without a date. Dates carry no time of day.
class TDateEditPlus : public MaskEdit {
public:
    TDateEditPlus(Form& owner, Control* parent, std::string name);

    std::string text() const override;

    /// The date typed, or nullopt when the edit is empty or its text is not a date.
    std::optional<wire::Date> date() const;
    /// GetDate: the date typed; an empty or invalid edit gives the zero date 30/12/1899.
    wire::Date GetDate() const;
    /// SetDate: writes the date in the short date format (a change like a keystroke).
    void SetDate(const wire::Date& date);
    /// Empties the edit (a change when it held something).
    void Clear();
    /// CheckValidDate: returns when the edit is empty or holds a valid date; otherwise
    /// puts the focus into the edit and reports "'<text>' não é uma data válida." through
    /// MensErro, which ends the running action.
    void CheckValidDate();

    /// The weekday names of the calendar, Sunday first.
    const std::array<std::string, 7>& weekdayNames() const { return weekdayNames_; }
    void setWeekdayNames(std::array<std::string, 7> names);
    /// The colour role of a valid date's text (blue on this screen).
    bool validDateBlue() const { return validDateBlue_; }
    void setValidDateBlue(bool on) { validDateBlue_ = on; }
    /// The edit keeps only the date, never a time of day.
    bool keepsTime() const { return false; }
    bool hasCalendarButton() const { return true; }

private:
    std::array<std::string, 7> weekdayNames_;
    bool validDateBlue_ = false;
};

}  // namespace vol
