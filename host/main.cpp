// vnd-host: the back-office desktop that loads the price-rule screen's module.

#include <QApplication>
#include <QElapsedTimer>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPainter>
#include <QTimer>
#include <QTranslator>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>

#include "HostOptions.h"
#include "Glyphs.h"
#include "MainWindow.h"
#include "ModuleCatalog.h"
#include "ModuleLoader.h"
#include "QtText.h"
#include "QtUserInterface.h"
#include "ScriptedKeys.h"
#include "data/DataModule.h"
#include "forms/Application.h"
#include "forms/UserInput.h"
#include "vnd/Version.h"

namespace {

// An installed host finds the screen modules in lib/vnd/modules of its own prefix
// (/usr/bin/vnd-host: /usr/lib/vnd/modules), wherever the prefix is; the build tree puts
// them in lib/ beside bin/.
std::string defaultModuleFolder() {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return "lib";
    const std::filesystem::path prefix = exe.parent_path().parent_path();
    const std::filesystem::path installed = prefix / "lib" / "vnd" / "modules";
    if (std::filesystem::is_directory(installed, ec)) return installed.string();
    return (prefix / "lib").string();
}

// The main window as it stands, with the dialog open over it (a lookup, a message) drawn
// where it shows, and a title strip in place of the frame a window manager would draw.
QImage pictureOf(QWidget& window) {
    QImage image = window.grab().toImage();
    QWidget* dialog = QApplication::activeModalWidget();
    if (dialog == nullptr || dialog == &window) return image;
    const QPixmap face = dialog->grab();
    constexpr int kTitle = 20;
    QPoint at = dialog->mapToGlobal(QPoint(0, 0)) - window.mapToGlobal(QPoint(0, 0));
    const QRect whole(at - QPoint(0, kTitle), QSize(face.width(), face.height() + kTitle));
    if (!image.rect().contains(whole)) at = image.rect().center() - face.rect().center();
    QPainter p(&image);
    p.fillRect(QRect(at - QPoint(1, kTitle + 1), QSize(face.width() + 2, face.height() + kTitle + 2)),
               QColor(40, 70, 120));
    p.setPen(Qt::white);
    p.drawText(QRect(at - QPoint(-6, kTitle), QSize(face.width() - 6, kTitle)), Qt::AlignVCenter,
               dialog->windowTitle());
    p.drawPixmap(at, face);
    return image;
}

// Lets the freshly opened screen lay itself out and paint before it is grabbed.
void settle(int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < milliseconds) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

}  // namespace

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    std::string error;
    std::optional<host::HostOptions> parsed =
        host::HostOptions::parse(arguments, QProcessEnvironment::systemEnvironment(), defaultModuleFolder(), error);
    if (!parsed) {
        std::cerr << "vnd-host: " << error << "\n(vnd-host --help lista as opções)\n";
        return 2;
    }
    const host::HostOptions& options = *parsed;
    if (options.version) {
        std::cout << "vnd-host " << vnd::kVersion << "\n";
        return 0;
    }
    if (options.help) {
        std::cout << host::HostOptions::helpText();
        return 0;
    }
    const bool unattended = !options.screenshot.empty();

    QApplication qapp(argc, argv);
    QApplication::setApplicationName("vnd-host");
    QApplication::setApplicationDisplayName("Retaguarda de Vendas");
    // Qt's own dialogs (the save-file dialog, its questions) speak Portuguese as the
    // screens do, from Qt's translations when they are installed.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Portuguese, QLocale::Brazil), "qtbase", "_",
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&qtTexts);
    }
    // Every window, the screens' child windows included, shows the application's own icon.
    QApplication::setWindowIcon(vol::Glyphs::application());

    vol::Application& app = vol::Application::instance();
    app.settings() = options.settings;

    // The data module owns the local database connection the screens' queries share.
    vol::DataModule dtmDBGeral("dtmDBGeral");
    QString databaseNotice;
    if (!options.localDatabase.empty()) {
        try {
            dtmDBGeral.open(options.localDatabase);
        } catch (const std::exception& e) {
            databaseNotice = QString("Banco local indisponível: %1").arg(vol::toQt(e.what()));
        }
    }
    app.setDataModule(&dtmDBGeral);

    vol::UserInput input(app);
    host::ModuleCatalog modules(options.moduleFolder);
    // Each module goes as far as it can; one that fails is listed with its reason.
    modules.start();
    auto window = std::make_unique<host::MainWindow>(app, input, modules.loaders(), options);
    if (!databaseNotice.isEmpty()) {
        window->setNotice(databaseNotice);
        std::cerr << "vnd-host: " << databaseNotice.toStdString() << "\n";
    }

    // A screenshot run has nobody to answer dialogs: the framework's silent interface
    // (errors on standard error, questions answered No) stays in place, unless the run
    // presses keys: then the dialogs they open are shown, and pictured.
    std::unique_ptr<vol::QtUserInterface> ui;
    if (!unattended || !options.keys.empty()) {
        ui = std::make_unique<vol::QtUserInterface>(window.get());
        app.setUserInterface(ui.get());
        // The progress animation keeps moving while a server call blocks this thread.
        app.setWaitHook([qtUi = ui.get()] { qtUi->pump(); });
    }

    window->show();
    int rc = 0;
    for (const auto& m : modules.modules()) {
        if (!m->error().empty()) std::cerr << "vnd-host: " << m->error() << "\n";
    }
    if (modules.modules().empty()) std::cerr << "vnd-host: nenhum módulo de tela em " << options.moduleFolder << "\n";
    // The screen --open and --screenshot open.
    host::ModuleLoader* chosen = modules.byCode(options.screenCode);
    std::string chosenError = "O módulo da tela " + options.screenCode + " não está disponível.";
    // A module that failed names no code; its file name (libvnd42408.so) still does.
    const std::string fileName = "lib" + QString::fromStdString(options.screenCode).toLower().toStdString() + ".so";
    for (const auto& m : modules.modules()) {
        if (chosen == nullptr && !m->error().empty() && m->path().ends_with("/" + fileName)) chosenError = m->error();
    }
    const bool started = chosen != nullptr;

    if (unattended) {
        if (!started) {
            std::cerr << "vnd-host: " << chosenError << "\n";
            rc = 1;
        } else {
            chosen->open(app);
            settle(300);
            QString ignored;
            const std::vector<host::ScriptedKey> keys = *host::parseScriptedKeys(vol::toQt(options.keys), ignored);
            // Each key from the event loop: a key that opens a dialog waits in it, and
            // the next keys go to that dialog.
            std::size_t next = 0;
            std::function<void()> step = [&] {
                if (next < keys.size()) {
                    // Scheduled first: a key that opens a dialog returns only when it closes.
                    QTimer::singleShot(150, window.get(), step);
                    host::pressScriptedKey(keys[next++], window.get());
                    return;
                }
                settle(300);
                if (pictureOf(*window).save(vol::toQt(options.screenshot), "PNG")) {
                    std::cout << "vnd-host: imagem da tela gravada em " << options.screenshot << "\n";
                } else {
                    std::cerr << "vnd-host: não foi possível gravar " << options.screenshot << "\n";
                    rc = 1;
                }
                for (int i = 0; i < 8 && QApplication::activeModalWidget() != nullptr; ++i) {
                    QApplication::activeModalWidget()->close();
                }
                QApplication::exit(rc);
            };
            QTimer::singleShot(0, window.get(), step);
            QApplication::exec();
        }
    } else {
        if (options.openAtStart && !started) {
            window->setNotice(vol::toQt(chosenError));
        } else if (options.openAtStart) {
            QTimer::singleShot(0, window.get(), [&] { window->openScreen(*chosen); });
        }
        rc = QApplication::exec();
    }

    // Shutdown in reverse: the forms (their code is the module's) before the module's
    // finalization, the module before the framework objects it used.
    app.destroyAll();
    window.reset();
    std::vector<std::string> errors;
    modules.finalize(errors);
    for (const std::string& e : errors) std::cerr << "vnd-host: " << e << "\n";
    app.setWaitHook(nullptr);
    app.setUserInterface(nullptr);
    app.setDataModule(nullptr);
    return rc;
}
