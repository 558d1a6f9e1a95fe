#include "MainWindow.h"

#include <QApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>

#include "MdiFormManager.h"
#include "ModuleLoader.h"
#include "QtText.h"
#include "forms/Application.h"
#include "units/Volpari.h"

namespace host {

MainWindow::MainWindow(vol::Application& app, vol::UserInput& input, ModuleLoader& module,
                       const HostOptions& options, QWidget* parent)
    : QMainWindow(parent), app_(app), module_(module), area_(new QMdiArea(this)), forms_(nullptr),
      openScreen_(nullptr), notice_(new QLabel(this)) {
    setWindowTitle("Retaguarda de Vendas");
    area_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    area_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    area_->setBackground(QColor(128, 128, 128));
    setCentralWidget(area_);
    forms_ = new vol::MdiFormManager(app, input, *area_, this);

    QMenu* file = menuBar()->addMenu("&Arquivo");
    QAction* quit = file->addAction("&Sair", this, &QWidget::close);
    quit->setShortcut(QKeySequence("Alt+F4"));
    QMenu* prices = menuBar()->addMenu("&Preços");
    openScreen_ = prices->addAction("Cadastro Automático de Preços &Diferenciados", this, [this] { openScreen(); });
    openScreen_->setShortcut(QKeySequence("Ctrl+F7"));
    openScreen_->setShortcutContext(Qt::ApplicationShortcut);
    windows_ = menuBar()->addMenu("&Janelas");
    // The usual multi-document keys. Closing goes through the screen's own close, with
    // its close handling, exactly as the title bar's button does.
    // Ctrl+F4 itself belongs to the child window's own close (its system menu), whose
    // close handling it runs; a second shortcut here would make the key ambiguous.
    windows_->addAction("&Fechar tela\tCtrl+F4", area_, &QMdiArea::closeActiveSubWindow);
    windows_->addAction("&Próxima tela", area_, &QMdiArea::activateNextSubWindow)->setShortcut(QKeySequence("Ctrl+Tab"));
    windows_->addAction("&Tela anterior", area_, &QMdiArea::activatePreviousSubWindow)
        ->setShortcut(QKeySequence("Ctrl+Shift+Tab"));
    windows_->addSeparator();
    windows_->addAction("&Cascata", area_, &QMdiArea::cascadeSubWindows);
    windows_->addAction("&Lado a lado", area_, &QMdiArea::tileSubWindows);
    // The list of open screens is made when the menu opens, so it is never stale.
    connect(windows_, &QMenu::aboutToShow, this, [this] { fillWindowMenu(); });

    const vol::HostSettings& s = options.settings;
    QString branch = QString("Filial %1").arg(vol::toQt(s.branch));
    std::string branchName = vol::NomeFiliProc();
    if (!branchName.empty()) branch += " - " + vol::toQt(branchName);
    if (s.branchFixed) branch += " (fixa)";
    statusBar()->addWidget(new QLabel(branch, this));
    statusBar()->addWidget(new QLabel(QString("Servidor %1:%2").arg(vol::toQt(s.serverHost)).arg(s.serverPort), this));
    QString db = options.localDatabase.empty() ? QString("sem banco local") : vol::toQt(options.localDatabase);
    statusBar()->addWidget(new QLabel("Banco local: " + db, this));
    statusBar()->addWidget(notice_, 1);

    // Room for a screen at its defined position (635, 90) and size.
    resize(1180, 760);
}

MainWindow::~MainWindow() = default;

void MainWindow::openScreen() {
    if (module_.state() != ModuleState::Initialized && module_.state() != ModuleState::Running) {
        QMessageBox box(QMessageBox::Warning, windowTitle(),
                        vol::toQt(module_.error().empty() ? "O módulo não está disponível." : module_.error()),
                        QMessageBox::NoButton, this);
        box.addButton("OK", QMessageBox::AcceptRole);
        box.exec();
        return;
    }
    module_.open(app_);
}

bool MainWindow::saveScreenshot(const QString& file) {
    QApplication::processEvents();
    return grab().save(file, "PNG");
}

void MainWindow::setNotice(const QString& text) { notice_->setText(text); }

void MainWindow::fillWindowMenu() {
    for (QAction* old : listed_) {
        windows_->removeAction(old);
        old->deleteLater();
    }
    listed_.clear();
    for (QMdiSubWindow* window : area_->subWindowList()) {
        if (!window->isVisible()) continue;
        if (listed_.isEmpty()) listed_.append(windows_->addSeparator());
        QAction* item = windows_->addAction(window->windowTitle(), area_, [this, window] {
            area_->setActiveSubWindow(window);
        });
        item->setCheckable(true);
        item->setChecked(window == area_->activeSubWindow());
        listed_.append(item);
    }
}

}  // namespace host
