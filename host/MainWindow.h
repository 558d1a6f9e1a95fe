#pragma once
// The host's main window: the multi-document area, the menu and the status bar.

#include <QMainWindow>
#include <vector>

#include "HostOptions.h"

class QAction;
class QLabel;
class QMenu;
class QMdiArea;

namespace vol {
class Application;
class MdiFormManager;
class UserInput;
}  // namespace vol

namespace host {

class ModuleLoader;

/// The back-office desktop: a multi-document area where the screens open as child
/// windows, the "Preços" menu with one entry per screen module found (its caption and
/// shortcut from the module's package table; a module that failed to load is listed as
/// unavailable and its entry tells why), the window menu, and a status bar with the
/// branch, the server and the local database. Its title names the screen in front.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(vol::Application& app, vol::UserInput& input, std::vector<ModuleLoader*> modules,
               const HostOptions& options, QWidget* parent = nullptr);
    /// A desktop with one module.
    MainWindow(vol::Application& app, vol::UserInput& input, ModuleLoader& module, const HostOptions& options,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    QMdiArea* mdiArea() const { return area_; }
    vol::MdiFormManager* forms() const { return forms_; }
    /// The menu entry of the first module.
    QAction* openScreenAction() const { return screenActions_.empty() ? nullptr : screenActions_.front(); }
    /// The menu entries of the modules, in the modules' order.
    const std::vector<QAction*>& screenActions() const { return screenActions_; }

    /// Opens the first module's screen.
    void openScreen();
    /// Opens a module's screen (its IniProc inside the action boundary). A module that
    /// could not be loaded is reported to the person instead, with its reason.
    void openScreen(ModuleLoader& module);
    /// Renders the window as it stands into a PNG file; false when it cannot be written.
    bool saveScreenshot(const QString& file);
    /// Shows a message in the status bar, e.g. a failed local database.
    void setNotice(const QString& text);
    /// The window menu "Janelas": Ctrl+F4 (and the platform's close key) closes the active screen, Ctrl+Tab and
    /// Ctrl+Shift+Tab move between the open screens, then the arrangements and the list
    /// of the open screens (the active one checked).
    QMenu* windowMenu() const { return windows_; }
    /// Brings the list of open screens in the window menu up to date (done when it opens).
    void refreshWindowMenu() { fillWindowMenu(); }

private:
    // "<screen> - Retaguarda de Vendas" while a screen is in front, else the host's name.
    void updateTitle();
    // Lists the open screens at the end of the window menu.
    void fillWindowMenu();

    vol::Application& app_;
    std::vector<ModuleLoader*> modules_;
    QMdiArea* area_;
    vol::MdiFormManager* forms_;
    std::vector<QAction*> screenActions_;
    QMenu* windows_;
    QList<QAction*> listed_;  // the entries of the open screens in the window menu
    QLabel* notice_;
};

}  // namespace host
