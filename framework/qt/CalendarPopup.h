#pragma once
// The calendar that drops down from a date edit's button.

#include <QDate>
#include <QFrame>
#include <array>
#include <functional>
#include <string>

class QCalendarWidget;

namespace vol {

/// A popup month calendar with the date edit's own weekday names (Sunday first) over
/// its columns. Picking a day (click or Enter) calls onPick and closes; Esc or a click
/// outside closes without a pick. It deletes itself when closed.
class CalendarPopup : public QFrame {
public:
    CalendarPopup(const std::array<std::string, 7>& weekdayNames, QDate initial,
                  std::function<void(QDate)> onPick, QWidget* parent = nullptr);

    /// Shows the popup with its top-left corner at the global position.
    void popupAt(QPoint globalTopLeft);
    QCalendarWidget* calendar() const { return calendar_; }

private:
    void pick(QDate date);

    QCalendarWidget* calendar_;
    std::function<void(QDate)> onPick_;
};

}  // namespace vol
