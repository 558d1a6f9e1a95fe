#include "FormView.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>

#include "BevelPanel.h"
#include "CalendarPopup.h"
#include "FlatButton.h"
#include "FrameBox.h"
#include "Glyphs.h"
#include "GridView.h"
#include "QtText.h"
#include "RadioGroupWidget.h"
#include "ToggleButton.h"
#include "controls/CheckBox.h"
#include "controls/DBGrid.h"
#include "controls/Edit.h"
#include "controls/Label.h"
#include "controls/MaskEdit.h"
#include "controls/Memo.h"
#include "controls/Panel.h"
#include "controls/RadioButton.h"
#include "controls/RadioGroup.h"
#include "controls/TBtnPesquisa.h"
#include "controls/TButtonFlat.h"
#include "controls/TDateEditPlus.h"
#include "forms/Application.h"
#include "forms/Form.h"
#include "forms/UserInput.h"
#include "protocol/DatePattern.h"
#include "text/DateText.h"

namespace vol {

namespace {

// Counts the view's own changes to the widgets, so that the signals they raise are not
// mistaken for the person's doing.
struct Mirroring {
    explicit Mirroring(int& depth) : depth_(depth) { ++depth_; }
    ~Mirroring() { --depth_; }
    Mirroring(const Mirroring&) = delete;
    Mirroring& operator=(const Mirroring&) = delete;
    int& depth_;
};

constexpr int kCalendarButtonWidth = 17;

bool isTextEntry(ControlKind kind) {
    return kind == ControlKind::Edit || kind == ControlKind::MaskEdit || kind == ControlKind::DateEdit ||
           kind == ControlKind::NumberEdit;
}

}  // namespace

FormView::FormView(Form& form, UserInput& input, QWidget* parent)
    : QWidget(parent), form_(&form), input_(input) {
    setFont(formFont());
    setAutoFillBackground(true);
    // The view itself holds the keyboard when no control does, so Tab and the shortcuts
    // still reach the model.
    setFocusPolicy(Qt::ClickFocus);
    installEventFilter(this);
    for (Control* c : form.controls()) build(*c);
    form.addObserver(this);
    focusShown_ = form.focusedControl();
    applyFocus();
}

FormView::~FormView() { detach(); }

void FormView::detach() {
    if (form_ == nullptr) return;
    for (auto& [control, widget] : widgets_) {
        if (auto* grid = dynamic_cast<GridView*>(widget)) grid->detach();
    }
    form_->removeObserver(this);
    form_ = nullptr;
}

QFont FormView::formFont() {
    QFont f;
    f.setFamilies({"MS Sans Serif", "Microsoft Sans Serif", "Tahoma", "Liberation Sans", "Arial", "Nimbus Sans",
                   "DejaVu Sans Condensed", "DejaVu Sans"});
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(11);
    return f;
}

QColor FormView::infoBackground() { return QColor(255, 255, 225); }

QWidget* FormView::widgetFor(const std::string& controlName) const {
    if (form_ == nullptr) return nullptr;
    Control* c = form_->findControl(controlName);
    return c != nullptr ? widgetFor(*c) : nullptr;
}

QWidget* FormView::widgetFor(const Control& control) const {
    auto it = widgets_.find(&control);
    return it == widgets_.end() ? nullptr : it->second;
}

QWidget* FormView::focusWidgetFor(const Control& control) const {
    QWidget* w = widgetFor(control);
    if (auto* group = dynamic_cast<RadioGroupWidget*>(w)) return group->focusTarget();
    return w;
}

// ---------------------------------------------------------------------------------------
// Building

QWidget* FormView::build(Control& control) {
    if (QWidget* existing = widgetFor(control)) return existing;
    QWidget* parent = this;
    if (control.parent() != nullptr) parent = build(*control.parent());
    QWidget* w = makeWidget(control, parent);
    w->setObjectName(toQt(control.name()));
    widgets_[&control] = w;
    mirror(control);
    // Later controls lie over earlier ones, as the screens were drawn.
    w->raise();
    return w;
}

QWidget* FormView::makeWidget(Control& control, QWidget* parent) {
    Control* c = &control;
    switch (control.kind()) {
        case ControlKind::Label:
            return new QLabel(parent);
        case ControlKind::Edit:
        case ControlKind::MaskEdit:
        case ControlKind::NumberEdit:
            return makeLineEdit(static_cast<Edit&>(control), parent);
        case ControlKind::DateEdit: {
            auto& date = static_cast<TDateEditPlus&>(control);
            QLineEdit* line = makeLineEdit(date, parent);
            auto* button = new QToolButton(line);
            button->setObjectName(toQt(control.name() + ".calendar"));
            button->setIcon(Glyphs::calendar());
            button->setFocusPolicy(Qt::NoFocus);
            button->setCursor(Qt::ArrowCursor);
            button->setToolTip("Calendário");
            line->setTextMargins(0, 0, kCalendarButtonWidth, 0);
            connect(button, &QToolButton::clicked, this, [this, &date, line] { openCalendar(date, line); });
            return line;
        }
        case ControlKind::CheckBox: {
            auto* box = new ToggleButton<QCheckBox>([this, c] {
                if (form_ != nullptr) input_.click(*c);
            }, parent);
            box->setFocusPolicy(Qt::ClickFocus);
            watch(box, c);
            return box;
        }
        case ControlKind::RadioButton: {
            auto* radio = new ToggleButton<QRadioButton>([this, c] {
                if (form_ != nullptr) input_.click(*c);
            }, parent);
            radio->setFocusPolicy(Qt::ClickFocus);
            watch(radio, c);
            return radio;
        }
        case ControlKind::RadioGroup: {
            auto& group = static_cast<RadioGroup&>(control);
            auto* box = new RadioGroupWidget([this, &group](int index) {
                if (form_ != nullptr) input_.selectItem(group, index);
            }, parent);
            box->onItemCreated = [this, c](QRadioButton* item) { watch(item, c); };
            box->setFocusPolicy(Qt::NoFocus);
            return box;
        }
        case ControlKind::GroupBox:
            return new FrameBox(parent);
        case ControlKind::Panel:
            return new BevelPanel(parent);
        case ControlKind::LookupButton: {
            auto* button = new QToolButton(parent);
            button->setIcon(Glyphs::search());
            button->setFocusPolicy(Qt::NoFocus);
            connect(button, &QToolButton::clicked, this, [this, c] {
                if (form_ != nullptr) input_.click(*c);
            });
            return button;
        }
        case ControlKind::FlatButton: {
            auto* button = new FlatButton(parent);
            button->setFocusPolicy(Qt::NoFocus);
            connect(button, &QToolButton::clicked, this, [this, c] {
                if (form_ != nullptr) input_.click(*c);
            });
            return button;
        }
        case ControlKind::Grid: {
            auto* grid = new GridView(static_cast<DBGrid&>(control), input_, parent);
            grid->setFocusPolicy(Qt::ClickFocus);
            watch(grid, c);
            watch(grid->viewport(), c);
            return grid;
        }
        case ControlKind::Memo: {
            auto* memo = new QPlainTextEdit(parent);
            memo->setReadOnly(true);
            // Read with the keyboard as any text: the arrows, Page Up/Down, Ctrl+Home and
            // Ctrl+End move through it, Shift selects, Ctrl+C copies.
            memo->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
            memo->setFocusPolicy(Qt::ClickFocus);
            watch(memo, c);
            watch(memo->viewport(), c);
            return memo;
        }
    }
    return new QWidget(parent);
}

QLineEdit* FormView::makeLineEdit(Edit& edit, QWidget* parent) {
    auto* line = new QLineEdit(parent);
    // The line edit only shows the model's text: no editing of its own, no paste menu,
    // no drops, no undo. Keys reach the model through the event filter.
    line->setContextMenuPolicy(Qt::NoContextMenu);
    line->setDragEnabled(false);
    line->setAcceptDrops(false);
    line->setFocusPolicy(Qt::ClickFocus);
    line->setFrame(true);
    watch(line, &edit);
    connect(line, &QLineEdit::cursorPositionChanged, this, [this, &edit, line] { caretMovedByMouse(edit, line); });
    connect(line, &QLineEdit::selectionChanged, this, [this, &edit, line] { caretMovedByMouse(edit, line); });
    return line;
}

void FormView::watch(QObject* object, Control* control) {
    owners_[object] = control;
    object->installEventFilter(this);
    connect(object, &QObject::destroyed, this, [this](QObject* gone) { owners_.erase(gone); });
}

// ---------------------------------------------------------------------------------------
// Mirroring the model

void FormView::controlChanged(Control& control) {
    if (widgetFor(control) == nullptr) {
        build(control);
        return;
    }
    mirror(control);
}

void FormView::focusChanged(Control* now) {
    // The field left shows no selection any more, also where the toolkit sends it no
    // focus-out (a window that is not the active one).
    Control* left = focusShown_;
    focusShown_ = now;
    if (left != nullptr && left != now && isTextEntry(left->kind())) mirror(*left);
    applyFocus();
}

void FormView::formChanged(Form&) { emit formPropertiesChanged(); }

void FormView::mirror(Control& control) {
    Mirroring guard(mirroring_);
    QWidget* w = widgetFor(control);
    if (w == nullptr) return;

    w->setEnabled(control.enabled());
    w->setVisible(control.visible());
    w->setToolTip(toQt(control.hint()));

    switch (control.fontRole()) {
        case FontRole::Inherited:
            break;
        case FontRole::Bold: {
            QFont f = formFont();
            f.setBold(true);
            w->setFont(f);
            break;
        }
        case FontRole::Regular: {
            // Said explicitly, or Qt would let the bold of the group through.
            QFont f = formFont();
            f.setBold(false);
            w->setFont(f);
            break;
        }
    }

    QPalette pal = w->palette();
    switch (control.colorRole()) {
        case ColorRole::Default:
            break;
        case ColorRole::InfoBackground:
            pal.setColor(QPalette::Base, infoBackground());
            break;
        case ColorRole::ButtonFace:
            pal.setColor(QPalette::Base, pal.color(QPalette::Active, QPalette::Button));
            break;
    }
    w->setPalette(pal);

    QString caption = toQt(control.caption());
    switch (control.kind()) {
        case ControlKind::Label: {
            auto* label = static_cast<QLabel*>(w);
            label->setText(caption);
            Qt::Alignment h = Qt::AlignLeft;
            auto a = static_cast<Label&>(control).alignment();
            if (a == Alignment::Center) h = Qt::AlignHCenter;
            if (a == Alignment::Right) h = Qt::AlignRight;
            label->setAlignment(h | Qt::AlignTop);
            break;
        }
        case ControlKind::Edit:
        case ControlKind::MaskEdit:
        case ControlKind::NumberEdit:
        case ControlKind::DateEdit:
            mirrorEdit(static_cast<Edit&>(control), static_cast<QLineEdit*>(w));
            break;
        case ControlKind::CheckBox: {
            auto* box = static_cast<QCheckBox*>(w);
            box->setText(caption);
            box->setChecked(static_cast<CheckBox&>(control).checked());
            break;
        }
        case ControlKind::RadioButton: {
            auto* radio = static_cast<QRadioButton*>(w);
            radio->setText(caption);
            radio->setChecked(static_cast<RadioButton&>(control).checked());
            break;
        }
        case ControlKind::RadioGroup: {
            auto& group = static_cast<RadioGroup&>(control);
            auto* box = static_cast<RadioGroupWidget*>(w);
            box->setTitle(caption);
            box->setItems(group.items());
            box->setItemIndex(group.itemIndex());
            // The keyboard follows the marked item, and its focus frame with it.
            if (group.focused()) applyFocus();
            break;
        }
        case ControlKind::GroupBox:
            static_cast<QGroupBox*>(w)->setTitle(caption);
            break;
        case ControlKind::Panel: {
            auto& panel = static_cast<Panel&>(control);
            static_cast<BevelPanel*>(w)->setBevels(panel.bevelInner(), panel.bevelOuter());
            break;
        }
        case ControlKind::LookupButton:
            break;
        case ControlKind::FlatButton: {
            auto& flat = static_cast<TButtonFlat&>(control);
            auto* button = static_cast<FlatButton*>(w);
            button->setText(caption);
            // Drawn once per glyph, not at every change of the button's state.
            const QVariant glyph = static_cast<int>(flat.glyph());
            if (button->property("glyph") != glyph) {
                button->setIcon(Glyphs::button(flat.glyph()));
                button->setProperty("glyph", glyph);
            }
            button->setKeyLabel(toQt(flat.keyLabel()));
            break;
        }
        case ControlKind::Grid:
            static_cast<GridView*>(w)->mirror();
            break;
        case ControlKind::Memo: {
            auto* memo = static_cast<QPlainTextEdit*>(w);
            const QString text = toQt(static_cast<Memo&>(control).text());
            if (memo->toPlainText() != text) memo->setPlainText(text);
            break;
        }
    }

    const Rect& g = control.geometry();
    QSize hint = w->sizeHint();
    if (control.kind() == ControlKind::LookupButton) hint = QSize(21, 21);
    int shownWidth = g.width > 0 ? g.width : hint.width();
    // Labels size themselves to their caption, as they always have on these screens; the
    // substitute font may be a little wider than the one they were drawn with. So do check
    // boxes and radio buttons, whose focus frame goes round their caption.
    const bool toggle = control.kind() == ControlKind::CheckBox || control.kind() == ControlKind::RadioButton;
    if (toggle || (control.kind() == ControlKind::Label && static_cast<Label&>(control).alignment() == Alignment::Left)) {
        shownWidth = std::max(shownWidth, w->sizeHint().width());
    }
    w->setGeometry(g.left, g.top, shownWidth, g.height > 0 ? g.height : hint.height());
    if (control.kind() == ControlKind::DateEdit) {
        if (auto* button = w->findChild<QToolButton*>()) {
            button->setGeometry(w->width() - kCalendarButtonWidth - 2, 2, kCalendarButtonWidth, w->height() - 4);
        }
    }
}

void FormView::mirrorEdit(Edit& edit, QLineEdit* line) {
    QString text = toQt(edit.editText());
    if (line->text() != text) line->setText(text);
    // Only the field with the caret shows its selection, as text fields do.
    if (edit.allSelected() && edit.focused()) {
        line->selectAll();
    } else {
        line->setCursorPosition(edit.caret());
    }
    if (edit.kind() == ControlKind::DateEdit) {
        auto& date = static_cast<TDateEditPlus&>(edit);
        QPalette pal = line->palette();
        bool blue = date.validDateBlue() && date.date().has_value();
        pal.setColor(QPalette::Text, blue ? QColor(Qt::blue) : palette().color(QPalette::Text));
        line->setPalette(pal);
    }
}

void FormView::applyFocus() {
    if (form_ == nullptr) return;
    Control* focused = form_->focusedControl();
    QWidget* target = focused != nullptr ? focusWidgetFor(*focused) : this;
    if (target == nullptr) target = this;
    if (!target->hasFocus()) target->setFocus(Qt::OtherFocusReason);
}

// ---------------------------------------------------------------------------------------
// Input

bool FormView::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress:
            if (form_ == nullptr) return true;
            return handleKey(static_cast<QKeyEvent*>(event));
        case QEvent::InputMethod: {
            if (form_ == nullptr) return true;
            typeText(static_cast<QInputMethodEvent*>(event)->commitString());
            return true;
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            if (form_ == nullptr) return true;
            auto it = owners_.find(watched);
            if (it == owners_.end()) return false;
            Control* c = it->second;
            if (!c->acceptsFocus() || c->focused()) return false;
            // The click puts the caret into the control: the model runs the exit of the
            // control left, and when that refuses, the click does not happen.
            input_.focus(*c);
            if (form_ == nullptr) return true;
            if (form_->focusedControl() != c) {
                applyFocus();
                return true;
            }
            return false;
        }
        case QEvent::FocusIn:
            // Qt moves its focus on its own at times (window activation, a widget being
            // disabled); the model's focus wins, once Qt has finished.
            if (form_ != nullptr) QTimer::singleShot(0, this, [this] { applyFocus(); });
            return false;
        case QEvent::ContextMenu:
        case QEvent::Drop:
        case QEvent::DragEnter:
            return owners_.count(watched) != 0;
        default:
            return false;
    }
}

bool FormView::handleKey(QKeyEvent* event) {
    Form& form = *form_;
    const int key = event->key();
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;

    // A flat button's shortcut works wherever the focus is in the form; the model says
    // whether a button answers the key.
    const QString sequence = QKeySequence(event->keyCombination()).toString(QKeySequence::PortableText);
    if (input_.shortcut(form, fromQt(sequence))) return true;
    if (form_ == nullptr) return true;

    switch (key) {
        case Qt::Key_Tab:
            if (mods & (Qt::ControlModifier | Qt::AltModifier)) return false;
            moveFocus(mods & Qt::ShiftModifier ? Key::BackTab : Key::Tab);
            return true;
        case Qt::Key_Backtab:
            if (mods & (Qt::ControlModifier | Qt::AltModifier)) return false;
            moveFocus(Key::BackTab);
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // Enter moves on exactly as Tab does, with the same exit checks.
            moveFocus(Key::Enter);
            return true;
        case Qt::Key_F2:
            input_.key(form, Key::F2);
            return true;
        default:
            break;
    }

    Control* focused = form.focusedControl();
    if (focused == nullptr) return true;

    if (focused->kind() == ControlKind::Grid) {
        // The table moves its own current row and selection and tells the model; Delete
        // is the grid's action.
        if (key == Qt::Key_Delete && !(mods & (Qt::ControlModifier | Qt::AltModifier))) {
            input_.key(form, Key::Delete);
            return true;
        }
        return false;
    }
    // A read-only text scrolls, selects and copies with its own keys.
    if (focused->kind() == ControlKind::Memo) return false;

    if (isTextEntry(focused->kind())) {
        auto* edit = static_cast<Edit*>(focused);
        if (focused->kind() == ControlKind::DateEdit && key == Qt::Key_Down && (mods & Qt::AltModifier)) {
            if (auto* line = qobject_cast<QLineEdit*>(widgetFor(*focused))) openCalendar(*static_cast<TDateEditPlus*>(edit), line);
            return true;
        }
        if (event->matches(QKeySequence::Copy)) return false;  // the line edit copies its selection
        if (event->matches(QKeySequence::Paste)) {
            typeText(QApplication::clipboard()->text());
            return true;
        }
        if (event->matches(QKeySequence::SelectAll)) {
            input_.selectAll(*edit);
            return true;
        }
        switch (key) {
            case Qt::Key_Backspace: input_.key(form, Key::Backspace); return true;
            case Qt::Key_Delete: input_.key(form, Key::Delete); return true;
            case Qt::Key_Left: input_.key(form, Key::Left); return true;
            case Qt::Key_Right: input_.key(form, Key::Right); return true;
            case Qt::Key_Home: input_.key(form, Key::Home); return true;
            case Qt::Key_End: input_.key(form, Key::End); return true;
            default: break;
        }
        if (!(mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) typeText(event->text());
        return true;
    }

    if (focused->kind() == ControlKind::CheckBox || focused->kind() == ControlKind::RadioButton ||
        focused->kind() == ControlKind::RadioGroup) {
        switch (key) {
            case Qt::Key_Space: input_.key(form, Key::Space); break;
            case Qt::Key_Left: input_.key(form, Key::Left); break;
            case Qt::Key_Right: input_.key(form, Key::Right); break;
            case Qt::Key_Up: input_.key(form, Key::Up); break;
            case Qt::Key_Down: input_.key(form, Key::Down); break;
            default: break;
        }
        return true;
    }
    return true;
}

void FormView::moveFocus(Key key) { input_.key(*form_, key); }

void FormView::typeText(const QString& text) {
    for (char32_t ch : text.toUcs4()) {
        if (form_ == nullptr) return;
        if (ch < 0x20 || ch == 0x7F) continue;
        bool accepted = true;
        input_.typeChar(*form_, ch, &accepted);
        // A refused key changes nothing; the bell says so, as in any text field.
        if (!accepted) QApplication::beep();
    }
}

void FormView::caretMovedByMouse(Edit& edit, QLineEdit* line) {
    if (mirroring_ > 0 || form_ == nullptr || !edit.focused()) return;
    bool all = line->hasSelectedText() && line->selectedText() == line->text();
    int pos = line->cursorPosition();
    if (all == edit.allSelected() && (all || pos == edit.caret())) return;
    if (all) {
        input_.selectAll(edit);
    } else {
        input_.placeCaret(edit, pos);
    }
}

void FormView::openCalendar(TDateEditPlus& edit, QLineEdit* line) {
    if (form_ == nullptr) return;
    // Opening the calendar puts the caret in the date edit first, with its exit checks.
    if (!edit.focused()) {
        input_.focus(edit);
        if (form_ == nullptr || !edit.focused()) return;
    }
    wire::Date shown = edit.date().value_or(form_->application().today());
    auto* popup = new CalendarPopup(edit.weekdayNames(), QDate(shown.year, shown.month, shown.day),
                                    [this, &edit](QDate picked) {
        if (form_ == nullptr) return;
        // Picking a day types it, as the person would.
        wire::DatePattern pattern(form_->application().settings().shortDateFormat);
        wire::Date date{picked.year(), picked.month(), picked.day()};
        input_.type(edit, DateText::editText(date, pattern));
    }, line);
    popup->popupAt(line->mapToGlobal(QPoint(0, line->height())));
}

}  // namespace vol
