#include "HostOptions.h"

#include <QCommandLineParser>

namespace host {

namespace {

struct OptionRow {
    const char* name;
    const char* valueName;
    const char* environment;
    const char* description;
};

// One table drives the parser, the environment look-up and the help text, so they
// cannot drift apart.
const OptionRow kOptions[] = {
    {"branch", "CODE", "VND_BRANCH", "current branch of the host (default 0001)"},
    {"fixed-branch", "yes|no", "VND_FIXED_BRANCH", "rules only for the host's branch (default no)"},
    {"server", "HOST:PORT", "VND_SERVER", "application server address (default 127.0.0.1:7400)"},
    {"picture", "MASK", "VND_PICTURE", "product-code picture (default \"99.99.999;0; \")"},
    {"localdb", "FILE", "VND_LOCALDB", "local SQLite database of the host (default: none)"},
    {"modules", "DIR", "VND_MODULE_DIR", "folder holding libvnd42407.so (default: the build's lib folder)"},
    {"screenshot", "FILE", "", "open the screen, write it as PNG to FILE and quit"},
};

std::optional<bool> readYesNo(const QString& text) {
    QString t = text.trimmed().toLower();
    if (t == "yes" || t == "sim" || t == "true" || t == "1" || t == "s" || t == "y") return true;
    if (t == "no" || t == "nao" || t == "não" || t == "false" || t == "0" || t == "n") return false;
    return std::nullopt;
}

}  // namespace

std::optional<HostOptions> HostOptions::parse(const QStringList& arguments, const QProcessEnvironment& environment,
                                              const std::string& defaultModuleFolder, std::string& error) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    QCommandLineOption help({"h", "help"}, "help");
    QCommandLineOption open("open", "open the screen at start");
    parser.addOption(help);
    parser.addOption(open);
    for (const OptionRow& option : kOptions) parser.addOption(QCommandLineOption(option.name, option.description, option.valueName));
    if (!parser.parse(arguments)) {
        error = parser.errorText().toStdString();
        return std::nullopt;
    }
    if (!parser.positionalArguments().isEmpty()) {
        error = "unexpected argument: " + parser.positionalArguments().first().toStdString();
        return std::nullopt;
    }

    auto value = [&](const OptionRow& option) -> std::optional<QString> {
        if (parser.isSet(option.name)) return parser.value(option.name);
        if (*option.environment != '\0' && environment.contains(option.environment)) return environment.value(option.environment);
        return std::nullopt;
    };

    HostOptions o;
    o.help = parser.isSet(help);
    o.openAtStart = parser.isSet(open);
    o.settings.branch = "0001";
    o.moduleFolder = defaultModuleFolder;
    for (const OptionRow& option : kOptions) {
        std::optional<QString> v = value(option);
        if (!v) continue;
        std::string name = option.name;
        if (name == "branch") {
            if (v->trimmed().isEmpty() || v->size() > 4) {
                error = "--branch: a branch code has 1 to 4 characters";
                return std::nullopt;
            }
            o.settings.branch = v->toStdString();
        } else if (name == "fixed-branch") {
            std::optional<bool> b = readYesNo(*v);
            if (!b) {
                error = "--fixed-branch: say yes or no, not \"" + v->toStdString() + "\"";
                return std::nullopt;
            }
            o.settings.branchFixed = *b;
        } else if (name == "server") {
            qsizetype colon = v->lastIndexOf(':');
            bool ok = false;
            int port = colon > 0 ? v->mid(colon + 1).toInt(&ok) : 0;
            if (colon <= 0 || !ok || port < 1 || port > 65535) {
                error = "--server: expected HOST:PORT with a port from 1 to 65535, not \"" + v->toStdString() + "\"";
                return std::nullopt;
            }
            o.settings.serverHost = v->left(colon).toStdString();
            o.settings.serverPort = port;
        } else if (name == "picture") {
            o.settings.productPicture = v->toStdString();
        } else if (name == "localdb") {
            o.localDatabase = v->toStdString();
        } else if (name == "modules") {
            o.moduleFolder = v->toStdString();
        } else if (name == "screenshot") {
            o.screenshot = v->toStdString();
        }
    }
    return o;
}

std::string HostOptions::helpText() {
    std::string text =
        "Usage: vnd-host [options]\n"
        "The back-office desktop host: opens the screen \"Cadastro Automático de Preços Diferenciados\"\n"
        "(VND42407) from its module, against an application server and a local database.\n\n"
        "Options (a command-line option wins over its environment variable):\n";
    for (const OptionRow& option : kOptions) {
        std::string left = std::string("  --") + option.name + " " + option.valueName;
        left.resize(std::max<std::size_t>(left.size() + 1, 30), ' ');
        text += left + option.description;
        if (*option.environment != '\0') text += std::string(" [") + option.environment + "]";
        text += "\n";
    }
    text +=
        "  --open                      open the screen at start\n"
        "  -h, --help                  this text\n\n"
        "The screen also opens from the menu Preços or with Ctrl+F7.\n";
    return text;
}

}  // namespace host
