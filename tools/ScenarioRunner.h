#pragma once
// Plays a scenario against the loaded screen module, as a person at the screen would.

#include <iosfwd>
#include <string>
#include <vector>

#include "CallRecorder.h"
#include "ScriptParser.h"
#include "TempDirectory.h"
#include "forms/HostSettings.h"
#include "forms/UserInput.h"
#include "ui/ScriptedUserInterface.h"

namespace vol {
class Application;
class Control;
class Form;
}  // namespace vol

namespace tools {

class DemoServer;
class ModuleHandle;

/// Runs the commands of one scenario file. While it lives it is the application's user
/// interface and hears every remote call; the host's settings start as given. Every user
/// action goes through vol::UserInput, inside the application's action boundary.
///
/// A failure (an expectation not met, an action a person could not do, a dialog the
/// script did not answer) is printed as "FILE:LINE: message" and ends the run.
class ScenarioRunner {
  public:
    /// demo is null when the scenario runs against a server of its own; the commands
    /// that need the in-process server then fail. The scenario acts on the screen of the
    /// module whose code `screen` chose last: at first the VND42407 module when it is
    /// loaded, else the first one.
    ScenarioRunner(std::string file, std::vector<ModuleHandle*> modules, DemoServer* demo,
                   const vol::HostSettings& settings, std::ostream& out, bool verbose = false);
    /// Gives the application back its silent user interface, clock and no call observer.
    ~ScenarioRunner();
    ScenarioRunner(const ScenarioRunner&) = delete;
    ScenarioRunner& operator=(const ScenarioRunner&) = delete;

    /// Runs the commands in order; false at the first failure.
    bool run(const std::vector<Command>& commands);

    /// Expectations met so far.
    int passed() const { return passed_; }
    /// 1 after a failure, else 0.
    int failed() const { return failed_; }

  private:
    void execute(const Command& command);
    void act(const Command& command);
    void expect(const Command& command);
    void collectShown();

    vol::Form* screen() const;
    vol::Form& requireScreen() const;
    vol::Control& control(const std::string& name) const;
    vol::Control& usable(const std::string& name) const;
    /// The module of the screen the scenario acts on.
    ModuleHandle& module() const { return *modules_.at(current_); }
    /// A file of the scenario's own folder (exports are written there).
    std::string fileOf(const std::string& name) const;
    void dump() const;

    std::string file_;
    std::vector<ModuleHandle*> modules_;
    std::size_t current_ = 0;
    TempDirectory files_;
    DemoServer* demo_;
    std::ostream& out_;
    bool verbose_;
    vol::Application& app_;
    vol::ScriptedUserInterface ui_;
    vol::UserInput input_;
    std::vector<std::string> shownErrors_;  ///< shown since the last message check
    std::vector<std::string> shownNotices_;  ///< information notices since the last notice check
    CallRecorder calls_;
    std::size_t questionsUnchecked_ = 0;
    std::size_t listsBeforeAction_ = 0;   ///< lists shown before the last person's action  ///< questions asked since the last confirm check
    int passed_ = 0;
    int failed_ = 0;
};

}  // namespace tools
