#include "ScenarioRunner.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <ostream>
#include <stdexcept>
#include <thread>

#include "DemoServer.h"
#include "ModuleHandle.h"
#include "ScreenPrinter.h"
#include "controls/DBGrid.h"
#include "controls/Edit.h"
#include "controls/Memo.h"
#include "controls/RadioGroup.h"
#include "forms/Application.h"
#include "forms/Form.h"
#include "net/TNetConnection.h"
#include "protocol/Date.h"
#include "units/Consiste.h"

namespace tools {

namespace {

/// The form that IniProc creates, for a module whose package table names no screen.
constexpr const char* kScreenName = "frmCadAutPrecoDeferenciado";
/// The screen a scenario acts on until it says otherwise.
constexpr const char* kFirstScreen = "VND42407";

/// Ends the scenario at the running line.
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void fail(const std::string& message) {
    throw Failure(message);
}

std::string joined(const std::vector<std::string>& texts) {
    std::string out;
    for (const std::string& t : texts) out += (out.empty() ? "" : ", ") + ScriptParser::quote(t);
    return out;
}

vol::DBGrid& gridOf(vol::Control& c) {
    auto* grid = dynamic_cast<vol::DBGrid*>(&c);
    if (grid == nullptr)
        fail(c.name() + " is a " + ScreenPrinter::kindName(c.kind()) + ", not a grid");
    return *grid;
}

/// The file's lines, its byte-order mark left out of the first.
std::vector<std::string> linesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        fail("no file " + path + " was written");
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (lines.empty() && line.starts_with("\xEF\xBB\xBF"))
            line.erase(0, 3);
        lines.push_back(line);
    }
    return lines;
}

const vol::Edit& editOf(const vol::Control& c) {
    auto* edit = dynamic_cast<const vol::Edit*>(&c);
    if (edit == nullptr)
        fail(c.name() + " is a " + ScreenPrinter::kindName(c.kind()) + ", it has no text");
    return *edit;
}

std::string describeCommand(const Command& command) {
    std::string text(ScriptParser::nameOf(command.verb));
    for (const std::string& a : command.args) {
        bool plain = !a.empty() && a.find_first_of(" \t\"#\\") == std::string::npos;
        text += " " + (plain ? a : ScriptParser::quote(a));
    }
    return text;
}

}  // namespace

ScenarioRunner::ScenarioRunner(std::string file, std::vector<ModuleHandle*> modules, DemoServer* demo,
                               const vol::HostSettings& settings, std::ostream& out, bool verbose)
    : file_(std::move(file)),
      modules_(std::move(modules)),
      files_("vnd-script-files"),
      demo_(demo),
      out_(out),
      verbose_(verbose),
      app_(vol::Application::instance()),
      input_(app_) {
    if (modules_.empty())
        throw std::invalid_argument("no screen module to run the scenario on");
    for (std::size_t i = 0; i < modules_.size(); ++i) {
        if (modules_[i]->screenCode() == kFirstScreen)
            current_ = i;
    }
    app_.settings() = settings;
    app_.setToday(std::nullopt);
    app_.setUserInterface(&ui_);
    app_.setRemoteCallObserver([this](const std::string& method, const std::string& argsJson) {
        if (verbose_)
            out_ << "  call: " << method << " " << argsJson << "\n";
        calls_.record(method, argsJson);
    });
}

ScenarioRunner::~ScenarioRunner() {
    app_.setRemoteCallObserver({});
    app_.setUserInterface(nullptr);
    app_.setToday(std::nullopt);
}

bool ScenarioRunner::run(const std::vector<Command>& commands) {
    for (const Command& command : commands) {
        if (verbose_)
            out_ << file_ << ":" << command.line << ": " << describeCommand(command) << "\n";
        try {
            execute(command);
        } catch (const std::exception& e) {
            // A failure of the runner's own (Failure) or anything the framework threw
            // outside an action: either way the scenario cannot go on.
            out_ << file_ << ":" << command.line << ": " << e.what() << "\n";
            failed_ = 1;
            return false;
        }
    }
    if (!shownErrors_.empty()) {
        out_ << file_ << ": note: messages shown and never checked: " << joined(shownErrors_)
             << "\n";
    }
    if (ui_.pendingPicks() > 0 || ui_.pendingAnswers() > 0) {
        out_ << file_ << ": note: " << ui_.pendingPicks() << " pick(s) and " << ui_.pendingAnswers()
             << " answer(s) queued and never used\n";
    }
    return true;
}

void ScenarioRunner::execute(const Command& command) {
    const bool isExpectation = ScriptParser::nameOf(command.verb).starts_with("expect ");
    if (isExpectation) {
        expect(command);
        ++passed_;
    } else {
        // Every question asked takes one queued answer (or is a fault), so the answers
        // used tell whether this action asked anything.
        const std::size_t answersBefore = ui_.pendingAnswers();
        // Queuing answers is no action of the person's: the list checks read what the
        // last real action showed.
        if (command.verb != Verb::Pick && command.verb != Verb::PickNone && command.verb != Verb::Answer &&
            command.verb != Verb::SaveAs && command.verb != Verb::Dump) {
            listsBeforeAction_ = ui_.listsShown();
        }
        act(command);
        if (ui_.pendingAnswers() < answersBefore)
            questionsUnchecked_ += answersBefore - ui_.pendingAnswers();
    }
    collectShown();
}

void ScenarioRunner::collectShown() {
    std::vector<std::string> errors = ui_.takeErrors();
    if (verbose_) {
        for (const std::string& e : errors) out_ << "  message: " << ScriptParser::quote(e) << "\n";
    }
    shownErrors_.insert(shownErrors_.end(), errors.begin(), errors.end());
    std::vector<std::string> notices = ui_.takeNotices();
    if (verbose_) {
        for (const std::string& n : notices) out_ << "  notice: " << ScriptParser::quote(n) << "\n";
    }
    shownNotices_.insert(shownNotices_.end(), notices.begin(), notices.end());
    std::vector<std::string> faults = ui_.takeFaults();
    if (!faults.empty())
        fail(faults.front());
}

vol::Form* ScenarioRunner::screen() const {
    // Each screen shows its code in its code label.
    const std::string& code = module().screenCode();
    for (vol::Form* form : app_.forms()) {
        vol::Control* label = form->findControl("lblCodTela");
        if (code.empty() ? form->name() == kScreenName : label != nullptr && label->caption() == code)
            return form;
    }
    return nullptr;
}

std::string ScenarioRunner::fileOf(const std::string& name) const {
    if (name.find('/') != std::string::npos)
        fail("a scenario's file is named without folders: " + name);
    return (files_.path() / name).string();
}

vol::Form& ScenarioRunner::requireScreen() const {
    vol::Form* form = screen();
    if (form == nullptr)
        fail("the screen is not open");
    return *form;
}

vol::Control& ScenarioRunner::control(const std::string& name) const {
    vol::Control* c = requireScreen().findControl(name);
    if (c == nullptr)
        fail("the screen has no control " + name);
    return *c;
}

vol::Control& ScenarioRunner::usable(const std::string& name) const {
    vol::Control& c = control(name);
    if (!ScreenPrinter::visibleAsSeen(c))
        fail(name + " is hidden: a person cannot act on it");
    if (!ScreenPrinter::enabledAsSeen(c))
        fail(name + " is disabled: a person cannot act on it");
    return c;
}

void ScenarioRunner::act(const Command& command) {
    const auto& args = command.args;
    switch (command.verb) {
        case Verb::Today:
            app_.setToday(wire::Date::fromIso(args[0]));
            break;
        case Verb::Branch:
            app_.settings().branch = args[0];
            break;
        case Verb::FixedBranch:
            app_.settings().branchFixed = args[0] == "yes";
            break;
        case Verb::Picture:
            app_.settings().productPicture = args[0];
            break;
        case Verb::Open:
            // The host's menu entry: IniProc inside the action boundary.
            app_.runAction([this] { module().iniProc(); });
            break;
        case Verb::Close:
            input_.close(requireScreen());
            break;
        case Verb::Activate: {
            vol::Form& form = requireScreen();
            input_.deactivate();
            input_.activate(form);
            break;
        }
        case Verb::Screen: {
            auto it = std::find_if(modules_.begin(), modules_.end(),
                                   [&](const ModuleHandle* m) { return m->screenCode() == args[0]; });
            if (it == modules_.end())
                fail("no module loaded has the screen " + args[0]);
            current_ = static_cast<std::size_t>(it - modules_.begin());
            break;
        }
        case Verb::Press: {
            vol::Form& form = requireScreen();
            if (args[0] == "Del") {
                input_.key(form, vol::Key::Delete);
            } else if (!input_.shortcut(form, args[0])) {
                fail("no enabled button of the screen answers " + args[0]);
            }
            break;
        }
        case Verb::SelectRows: {
            vol::DBGrid& grid = gridOf(usable(args[0]));
            std::vector<int> rows;
            for (std::size_t i = 1; i < args.size(); ++i) {
                const int row = std::atoi(args[i].c_str());
                if (row < 1 || row > grid.totalRows())
                    fail(args[0] + " has " + std::to_string(grid.totalRows()) + " rows, no row " + args[i]);
                rows.push_back(row - 1);
            }
            input_.selectRows(grid, rows);
            break;
        }
        case Verb::SaveAs:
            ui_.queueSaveFile(fileOf(args[0]));
            break;
        case Verb::ServerRemoveProduct:
            if (demo_ == nullptr)
                fail("the server commands need --demo or --db");
            demo_->removeRulesOf(args[0]);
            break;
        case Verb::ServerStop:
        case Verb::ServerStart:
        case Verb::ServerFailNext:
        case Verb::ServerHoldStore:
            if (demo_ == nullptr)
                fail("the server commands need --demo or --db");
            if (command.verb == Verb::ServerStop)
                demo_->stop();
            if (command.verb == Verb::ServerStart)
                demo_->start();
            if (command.verb == Verb::ServerFailNext)
                demo_->failNext(CallRecorder::shortName(args[0]), args[1]);
            if (command.verb == Verb::ServerHoldStore)
                demo_->holdStore(std::stoi(args[0]));
            break;
        case Verb::CallTimeout: {
            auto* net = dynamic_cast<vol::TNetConnection*>(requireScreen().find(args[0]));
            if (net == nullptr)
                fail("the screen has no server connection " + args[0]);
            net->Settings.callTimeout = std::chrono::milliseconds(std::stoi(args[1]));
            break;
        }
        case Verb::Wait:
            std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(args[0])));
            break;
        case Verb::Focus: {
            vol::Control& c = usable(args[0]);
            if (!c.acceptsFocus())
                fail(args[0] + " is a " + ScreenPrinter::kindName(c.kind()) +
                     ", it takes no focus");
            input_.focus(c);
            break;
        }
        case Verb::Tab:
            input_.tab(requireScreen());
            break;
        case Verb::Type: {
            vol::Control& c = usable(args[0]);
            auto* edit = dynamic_cast<vol::Edit*>(&c);
            if (edit == nullptr)
                fail(args[0] + " is a " + ScreenPrinter::kindName(c.kind()) +
                     ", it takes no typing");
            input_.type(*edit, args[1]);
            break;
        }
        case Verb::Keys: {
            vol::Form& form = requireScreen();
            // Key by key into whatever has the focus, as it stands: nothing is selected or
            // erased first, so what a field holds after a message is what the person meets.
            input_.typeKeys(form, args[0]);
            break;
        }
        case Verb::Click:
            input_.click(usable(args[0]));
            break;
        case Verb::Select: {
            vol::Control& c = usable(args[0]);
            auto* group = dynamic_cast<vol::RadioGroup*>(&c);
            if (group == nullptr)
                fail(args[0] + " is a " + ScreenPrinter::kindName(c.kind()) +
                     ", not a radio group");
            const std::size_t index = std::stoul(args[1]);
            if (index >= group->items().size()) {
                fail(args[0] + " has " + std::to_string(group->items().size()) +
                     " items, no item " + args[1]);
            }
            input_.selectItem(*group, static_cast<int>(index));
            break;
        }
        case Verb::Pick:
            ui_.queuePick(args);
            break;
        case Verb::PickNone:
            ui_.queuePick(std::nullopt);
            break;
        case Verb::Answer:
            ui_.queueAnswer(args[0] == "yes");
            break;
        case Verb::Dump:
            dump();
            break;
        default:
            fail("not an action: " + std::string(ScriptParser::nameOf(command.verb)));
    }
}

void ScenarioRunner::expect(const Command& command) {
    const auto& args = command.args;
    switch (command.verb) {
        case Verb::ExpectMessage:
        case Verb::ExpectMessageContains: {
            std::vector<std::string> shown;
            shown.swap(shownErrors_);
            if (shown.empty())
                fail("no message was shown; expected " + ScriptParser::quote(args[0]));
            const std::string& last = shown.back();
            bool met = command.verb == Verb::ExpectMessage
                           ? last == args[0]
                           : last.find(args[0]) != std::string::npos;
            if (!met) {
                fail("the message shown was " + ScriptParser::quote(last) + "; expected " +
                     (command.verb == Verb::ExpectMessage ? "" : "one containing ") +
                     ScriptParser::quote(args[0]));
            }
            break;
        }
        case Verb::ExpectNoMessage: {
            std::vector<std::string> shown;
            shown.swap(shownErrors_);
            if (!shown.empty())
                fail("messages were shown: " + joined(shown));
            break;
        }
        case Verb::ExpectConfirm:
        case Verb::ExpectConfirmContains: {
            const auto& question = ui_.lastQuestion();
            // A question from before the last check must not pass for a new one.
            if (!question || questionsUnchecked_ == 0) {
                fail("no question was asked since the last confirm check; expected " +
                     ScriptParser::quote(args[0]));
            }
            questionsUnchecked_ = 0;
            if (command.verb == Verb::ExpectConfirm) {
                if (*question != args[0])
                    fail("the question was " + ScriptParser::quote(*question) + "; expected " +
                         ScriptParser::quote(args[0]));
                break;
            }
            for (const std::string& text : args) {
                if (question->find(text) == std::string::npos)
                    fail("the question was " + ScriptParser::quote(*question) + "; expected one containing " +
                         ScriptParser::quote(text));
            }
            break;
        }
        case Verb::ExpectNoticeContains: {
            std::vector<std::string> shown;
            shown.swap(shownNotices_);
            if (shown.empty())
                fail("no notice was shown; expected one containing " + ScriptParser::quote(args[0]));
            if (shown.back().find(args[0]) == std::string::npos)
                fail("the notice shown was " + ScriptParser::quote(shown.back()) + "; expected one containing " +
                     ScriptParser::quote(args[0]));
            break;
        }
        case Verb::ExpectListEmpty: {
            const auto& list = ui_.lastList();
            if (!list || ui_.listsShown() == listsBeforeAction_)
                fail("the last action opened no lookup or list");
            if (!list->empty) {
                fail("the last list \"" + list->title + "\" offered " +
                     std::to_string(list->rows.size()) + " rows");
            }
            if (list->emptyText != args[0]) {
                fail("the empty list showed " + ScriptParser::quote(list->emptyText) +
                     "; expected " + ScriptParser::quote(args[0]));
            }
            break;
        }
        case Verb::ExpectRows: {
            const auto& list = ui_.lastList();
            if (!list || ui_.listsShown() == listsBeforeAction_)
                fail("the last action opened no lookup or list");
            const std::size_t rows = list->empty ? 0 : list->rows.size();
            if (std::to_string(rows) != args[0]) {
                fail("the last list offered " + std::to_string(rows) + " rows, not " + args[0]);
            }
            break;
        }
        case Verb::ExpectRow: {
            const auto& list = ui_.lastList();
            if (!list || ui_.listsShown() == listsBeforeAction_)
                fail("the last action opened no lookup or list");
            bool found = std::any_of(
                list->rows.begin(), list->rows.end(), [&](const std::vector<std::string>& row) {
                    return std::all_of(args.begin(), args.end(), [&](const std::string& text) {
                        return std::find(row.begin(), row.end(), text) != row.end();
                    });
                });
            if (!found)
                fail("the last list showed no row with " + joined(args));
            break;
        }
        case Verb::ExpectStartRow: {
            const auto& list = ui_.lastList();
            if (!list || list->empty || ui_.listsShown() == listsBeforeAction_)
                fail("the last action opened no lookup");
            const auto at = static_cast<std::size_t>(std::max(list->startRow, 0));
            const bool found = at < list->rows.size() &&
                               std::all_of(args.begin(), args.end(), [&](const std::string& text) {
                                   const auto& row = list->rows[at];
                                   return std::find(row.begin(), row.end(), text) != row.end();
                               });
            if (!found)
                fail("the last lookup did not open on a row with " + joined(args));
            break;
        }
        case Verb::ExpectFocus: {
            vol::Control* focused = requireScreen().focusedControl();
            std::string name = focused == nullptr ? "(nothing)" : focused->name();
            if (name != args[0])
                fail("the focus is on " + name + ", not on " + args[0]);
            break;
        }
        case Verb::ExpectText: {
            std::string text = editOf(control(args[0])).text();
            if (text != args[1])
                fail(args[0] + " holds " + ScriptParser::quote(text) + ", not " +
                     ScriptParser::quote(args[1]));
            break;
        }
        case Verb::ExpectEmpty:
        case Verb::ExpectNotEmpty: {
            vol::Control& c = control(args[0]);
            auto* memo = dynamic_cast<vol::Memo*>(&c);
            std::string text = memo != nullptr ? memo->text() : editOf(c).text();
            bool wantEmpty = command.verb == Verb::ExpectEmpty;
            if (vol::EmptyString(text) != wantEmpty) {
                fail(args[0] + " holds " + ScriptParser::quote(text) +
                     (wantEmpty ? ", it is not empty" : ", it is empty"));
            }
            break;
        }
        case Verb::ExpectEnabled:
        case Verb::ExpectDisabled: {
            bool on = ScreenPrinter::enabledAsSeen(control(args[0]));
            bool want = command.verb == Verb::ExpectEnabled;
            if (on != want)
                fail(args[0] + " is " + (on ? "enabled" : "disabled"));
            break;
        }
        case Verb::ExpectChecked:
        case Verb::ExpectUnchecked: {
            vol::Control& c = control(args[0]);
            std::optional<bool> checked = ScreenPrinter::checkMark(c);
            if (!checked)
                fail(args[0] + " is a " + ScreenPrinter::kindName(c.kind()) +
                     ", it has no check mark");
            bool want = command.verb == Verb::ExpectChecked;
            if (*checked != want)
                fail(args[0] + " is " + (*checked ? "checked" : "unchecked"));
            break;
        }
        case Verb::ExpectState: {
            std::optional<std::string> value = module().stateText(args[0]);
            if (!value)
                fail("the module publishes no state item " + args[0]);
            if (*value != args[1])
                fail(args[0] + " is " + ScriptParser::quote(*value) + ", not " +
                     ScriptParser::quote(args[1]));
            break;
        }
        case Verb::ExpectScreen: {
            bool open = screen() != nullptr;
            if (open != (args[0] == "open"))
                fail(std::string("the screen is ") + (open ? "open" : "closed"));
            break;
        }
        case Verb::ExpectArg:
            if (auto reason = calls_.mismatch(args[0], std::stoul(args[1]), args[2]))
                fail(*reason);
            break;
        case Verb::ExpectStored: {
            if (demo_ == nullptr)
                fail("expect stored needs --demo or --db: an outside server's rules are not counted");
            long rows = demo_->storedRules();
            if (std::to_string(rows) != args[0]) {
                fail("PRECDIF holds " + std::to_string(rows) + " rows, not " + args[0]);
            }
            break;
        }
        case Verb::ExpectGridRows:
        case Verb::ExpectGridLoaded: {
            vol::DBGrid& grid = gridOf(control(args[0]));
            const bool total = command.verb == Verb::ExpectGridRows;
            const int rows = total ? grid.totalRows() : grid.loadedRows();
            if (std::to_string(rows) != args[1])
                fail(args[0] + " has " + std::to_string(rows) + (total ? " rows" : " rows loaded") + ", not " +
                     args[1]);
            break;
        }
        case Verb::ExpectGridCell: {
            vol::DBGrid& grid = gridOf(control(args[0]));
            const int row = std::stoi(args[1]) - 1;
            const int column = grid.columnOf(args[2]);
            if (column < 0)
                fail(args[0] + " has no column " + ScriptParser::quote(args[2]));
            if (row >= grid.loadedRows())
                fail(args[0] + " has " + std::to_string(grid.loadedRows()) + " rows loaded, no row " + args[1]);
            const std::string text = grid.cellText(row, column);
            if (text != args[3])
                fail(args[0] + " row " + args[1] + " " + args[2] + " shows " + ScriptParser::quote(text) +
                     ", not " + ScriptParser::quote(args[3]));
            break;
        }
        case Verb::ExpectMemoContains: {
            vol::Control& c = control(args[0]);
            auto* memo = dynamic_cast<vol::Memo*>(&c);
            if (memo == nullptr)
                fail(args[0] + " is a " + ScreenPrinter::kindName(c.kind()) + ", not a memo");
            if (memo->text().find(args[1]) == std::string::npos)
                fail(args[0] + " does not contain " + ScriptParser::quote(args[1]) + "; it holds " +
                     ScriptParser::quote(memo->text()));
            break;
        }
        case Verb::ExpectFileLines: {
            const std::size_t lines = linesOf(fileOf(args[0])).size();
            if (std::to_string(lines) != args[1])
                fail(args[0] + " has " + std::to_string(lines) + " lines, not " + args[1]);
            break;
        }
        case Verb::ExpectFileContains: {
            const std::vector<std::string> lines = linesOf(fileOf(args[0]));
            if (std::none_of(lines.begin(), lines.end(),
                             [&](const std::string& l) { return l.find(args[1]) != std::string::npos; }))
                fail(args[0] + " has no line containing " + ScriptParser::quote(args[1]));
            break;
        }
        default:
            fail("not an expectation: " + std::string(ScriptParser::nameOf(command.verb)));
    }
}

void ScenarioRunner::dump() const {
    if (vol::Form* form = screen()) {
        ScreenPrinter::dump(*form, app_.activeForm() == form, out_);
    } else {
        out_ << "  (the screen is not open)\n";
    }
}

}  // namespace tools
