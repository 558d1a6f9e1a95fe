#include "MainWindow.h"

#include <QApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>

#include <QFileInfo>

#include "Glyphs.h"
#include "MdiFormManager.h"
#include "ModuleCatalog.h"
#include "ModuleLoader.h"
#include "QtText.h"
#include "forms/Application.h"
#include "units/Volpari.h"

namespace host {

namespace {
const QString kTitle = QStringLiteral("Retaguarda de Vendas");
}  // namespace

MainWindow::MainWindow(vol::Application& app, vol::UserInput& input, ModuleLoader& module,
                       const HostOptions& options, QWidget* parent)
    : MainWindow(app, input, std::vector<ModuleLoader*>{&module}, options, parent) {}

MainWindow::MainWindow(vol::Application& app, vol::UserInput& input, std::vector<ModuleLoader*> modules,
                       const HostOptions& options, QWidget* parent)
    : QMainWindow(parent), app_(app), modules_(std::move(modules)), area_(new QMdiArea(this)), forms_(nullptr),
      notice_(new QLabel(this)) {
    setWindowTitle(kTitle);
    setWindowIcon(vol::Glyphs::application());
    area_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    area_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    area_->setBackground(QColor(128, 128, 128));
    setCentralWidget(area_);
    forms_ = new vol::MdiFormManager(app, input, *area_, this);

    QMenu* file = menuBar()->addMenu("&Arquivo");
    QAction* quit = file->addAction("&Sair", this, &QWidget::close);
    quit->setShortcut(QKeySequence("Alt+F4"));
    QMenu* prices = menuBar()->addMenu("&Preços");
    for (ModuleLoader* module : modules_) {
        const PackageInfoTable* info = module->packageInfo();
        const bool ready = module->state() == ModuleState::Initialized || module->state() == ModuleState::Running;
        QAction* entry = nullptr;
        if (ready && info != nullptr && info->caption != nullptr) {
            entry = prices->addAction(vol::toQt(info->caption), this, [this, module] { openScreen(*module); });
            if (info->shortcut != nullptr && *info->shortcut != '\0') {
                entry->setShortcut(QKeySequence(vol::toQt(info->shortcut)));
                entry->setShortcutContext(Qt::ApplicationShortcut);
            }
        } else {
            // Listed all the same, so the person sees the screen exists and why it cannot open.
            const QString name = QFileInfo(vol::toQt(module->path())).fileName();
            entry = prices->addAction(name + " (indisponível)", this, [this, module] { openScreen(*module); });
            entry->setStatusTip(vol::toQt(module->error()));
            entry->setToolTip(vol::toQt(module->error()));
        }
        screenActions_.push_back(entry);
    }
    if (modules_.empty()) prices->addAction("Nenhum módulo de tela encontrado")->setEnabled(false);
    windows_ = menuBar()->addMenu("&Janelas");
    // The usual multi-document keys, bound here so they work whatever key bindings the
    // platform's own child windows follow. Closing goes through the screen's own close,
    // with its close handling, exactly as the title bar's button does. The platform's
    // close key (Ctrl+W here) is kept beside Ctrl+F4; the child windows leave both to
    // this entry, so neither is ambiguous.
    QAction* closeScreen = windows_->addAction("&Fechar tela", area_, &QMdiArea::closeActiveSubWindow);
    QList<QKeySequence> closeKeys{QKeySequence(Qt::CTRL | Qt::Key_F4)};
    for (const QKeySequence& k : QKeySequence::keyBindings(QKeySequence::Close)) {
        if (!closeKeys.contains(k)) closeKeys << k;
    }
    closeScreen->setShortcuts(closeKeys);
    windows_->addAction("&Próxima tela", area_, &QMdiArea::activateNextSubWindow)->setShortcut(QKeySequence("Ctrl+Tab"));
    windows_->addAction("&Tela anterior", area_, &QMdiArea::activatePreviousSubWindow)
        ->setShortcut(QKeySequence("Ctrl+Shift+Tab"));
    windows_->addSeparator();
    windows_->addAction("&Cascata", area_, &QMdiArea::cascadeSubWindows);
    windows_->addAction("&Lado a lado", area_, &QMdiArea::tileSubWindows);
    // The list of open screens is made when the menu opens, so it is never stale.
    connect(windows_, &QMenu::aboutToShow, this, [this] { fillWindowMenu(); });
    // The title names the screen in front, as the task bar shows it.
    connect(area_, &QMdiArea::subWindowActivated, this, [this] { updateTitle(); });

    const vol::HostSettings& s = options.settings;
    QString branch = QString("Filial %1").arg(vol::toQt(s.branch));
    std::string branchName = vol::NomeFiliProc();
    if (!branchName.empty()) branch += " - " + vol::toQt(branchName);
    if (s.branchFixed) branch += " (fixa)";
    statusBar()->addWidget(new QLabel(branch, this));
    statusBar()->addWidget(new QLabel(QString("Servidor %1:%2").arg(vol::toQt(s.serverHost)).arg(s.serverPort), this));
    // The file's name is enough for the clerk; its whole path is in the tooltip, for support.
    const QString dbPath = vol::toQt(options.localDatabase);
    auto* db = new QLabel(dbPath.isEmpty() ? QString("Banco local: sem banco local")
                                           : "Banco local: " + QFileInfo(dbPath).fileName(), this);
    db->setToolTip(dbPath);
    statusBar()->addWidget(db);
    statusBar()->addWidget(notice_, 1);

    // Room for a screen at its defined position (635, 90) and size.
    resize(1180, 760);
}

MainWindow::~MainWindow() = default;

void MainWindow::openScreen() {
    if (modules_.empty()) return;
    openScreen(*modules_.front());
}

void MainWindow::openScreen(ModuleLoader& module) {
    if (module.state() != ModuleState::Initialized && module.state() != ModuleState::Running) {
        QMessageBox box(QMessageBox::Warning, kTitle,
                        vol::toQt(module.error().empty() ? "O módulo não está disponível." : module.error()),
                        QMessageBox::NoButton, this);
        box.addButton("OK", QMessageBox::AcceptRole);
        box.exec();
        return;
    }
    module.open(app_);
}

bool MainWindow::saveScreenshot(const QString& file) {
    QApplication::processEvents();
    return grab().save(file, "PNG");
}

void MainWindow::setNotice(const QString& text) { notice_->setText(text); }

void MainWindow::updateTitle() {
    // The current child window stays current while a dialog has the keyboard; a closed
    // screen leaves the area with none, or with the next one current.
    QMdiSubWindow* current = area_->currentSubWindow();
    if (current != nullptr && current->isVisible() && !current->windowTitle().isEmpty()) {
        setWindowTitle(current->windowTitle() + " - " + kTitle);
    } else {
        setWindowTitle(kTitle);
    }
}

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
