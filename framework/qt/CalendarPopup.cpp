#include "CalendarPopup.h"

#include <QCalendarWidget>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QToolButton>
#include <QVBoxLayout>

#include "QtText.h"

namespace vol {

CalendarPopup::CalendarPopup(const std::array<std::string, 7>& weekdayNames, QDate initial,
                             std::function<void(QDate)> onPick, QWidget* parent)
    : QFrame(parent, Qt::Popup), calendar_(new QCalendarWidget(this)), onPick_(std::move(onPick)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setFrameStyle(QFrame::Box | QFrame::Plain);

    // Qt's own column titles come from the locale; the date edit carries the names the
    // screen wants, so they are drawn in a row of our own above a header-less calendar.
    auto* header = new QHBoxLayout;
    header->setContentsMargins(0, 0, 0, 0);
    header->setSpacing(0);
    for (const std::string& name : weekdayNames) {
        auto* label = new QLabel(toQt(name).left(3), this);
        label->setAlignment(Qt::AlignCenter);
        label->setToolTip(toQt(name));
        header->addWidget(label, 1);
    }

    // The month bar is ours too, so that it sits above the weekday row.
    auto* previous = new QToolButton(this);
    previous->setArrowType(Qt::LeftArrow);
    previous->setAutoRaise(true);
    auto* next = new QToolButton(this);
    next->setArrowType(Qt::RightArrow);
    next->setAutoRaise(true);
    auto* month = new QLabel(this);
    month->setAlignment(Qt::AlignCenter);
    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(0, 0, 0, 0);
    bar->addWidget(previous);
    bar->addWidget(month, 1);
    bar->addWidget(next);

    QLocale brazil(QLocale::Portuguese, QLocale::Brazil);
    calendar_->setLocale(brazil);
    calendar_->setFirstDayOfWeek(Qt::Sunday);
    calendar_->setNavigationBarVisible(false);
    calendar_->setHorizontalHeaderFormat(QCalendarWidget::NoHorizontalHeader);
    calendar_->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    calendar_->setGridVisible(true);
    if (initial.isValid()) calendar_->setSelectedDate(initial);

    auto showPage = [month, brazil](int year, int m) {
        QString name = brazil.standaloneMonthName(m);
        if (!name.isEmpty()) name[0] = name[0].toUpper();
        month->setText(name + " " + QString::number(year));
    };
    showPage(calendar_->yearShown(), calendar_->monthShown());
    connect(calendar_, &QCalendarWidget::currentPageChanged, this, showPage);
    connect(previous, &QToolButton::clicked, calendar_, &QCalendarWidget::showPreviousMonth);
    connect(next, &QToolButton::clicked, calendar_, &QCalendarWidget::showNextMonth);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    layout->addLayout(bar);
    layout->addLayout(header);
    layout->addWidget(calendar_);

    connect(calendar_, &QCalendarWidget::clicked, this, [this](QDate d) { pick(d); });
    connect(calendar_, &QCalendarWidget::activated, this, [this](QDate d) { pick(d); });
}

void CalendarPopup::popupAt(QPoint globalTopLeft) {
    adjustSize();
    move(globalTopLeft);
    show();
    calendar_->setFocus(Qt::PopupFocusReason);
}

void CalendarPopup::pick(QDate date) {
    // Close first: the pick types into the date edit, which may open an error box.
    auto onPick = onPick_;
    close();
    if (onPick) onPick(date);
}

}  // namespace vol
