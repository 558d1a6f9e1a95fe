#include "HostOptions.h"

#include <QCommandLineParser>

#include "ScriptedKeys.h"

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
    {"branch", "CODIGO", "VND_BRANCH", "filial atual do host (padrão 0001)"},
    {"fixed-branch", "yes|no", "VND_FIXED_BRANCH", "regras só para a filial do host (padrão no)"},
    {"server", "HOST:PORTA", "VND_SERVER", "endereço do servidor de aplicação (padrão 127.0.0.1:7400)"},
    {"picture", "MASCARA", "VND_PICTURE", "máscara do código de produto (padrão \"99.99.999;0; \")"},
    {"localdb", "ARQUIVO", "VND_LOCALDB", "banco local SQLite do host (padrão: nenhum)"},
    {"modules", "PASTA", "VND_MODULE_DIR", "pasta dos módulos de tela libvnd*.so (padrão: lib/vnd/modules da instalação, ou lib)"},
    {"screenshot", "ARQUIVO", "", "abre a tela, grava-a como PNG em ARQUIVO e sai"},
    {"module", "CODIGO", "", "a tela que --open e --screenshot abrem (padrão VND42407; VND42408 a consulta)"},
    {"keys", "TECLAS", "", "com --screenshot: teclas pressionadas antes da imagem (\"Tab '12.5 F2\")"},
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
    QCommandLineOption help({"h", "help"}, "ajuda");
    QCommandLineOption open("open", "abre a tela ao iniciar");
    QCommandLineOption version("version", "versão");
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(open);
    for (const OptionRow& option : kOptions) parser.addOption(QCommandLineOption(option.name, option.description, option.valueName));
    if (!parser.parse(arguments)) {
        // The parser's own texts are English: only what it found goes into ours.
        const QStringList unknown = parser.unknownOptionNames();
        error = unknown.isEmpty() ? std::string("uma opção está sem o seu valor, ou um valor sobra")
                                  : "opção desconhecida: " + unknown.first().toStdString();
        return std::nullopt;
    }
    if (!parser.positionalArguments().isEmpty()) {
        error = "argumento inesperado: " + parser.positionalArguments().first().toStdString();
        return std::nullopt;
    }

    auto value = [&](const OptionRow& option) -> std::optional<QString> {
        if (parser.isSet(option.name)) return parser.value(option.name);
        if (*option.environment != '\0' && environment.contains(option.environment)) return environment.value(option.environment);
        return std::nullopt;
    };

    HostOptions o;
    o.help = parser.isSet(help);
    o.version = parser.isSet(version);
    o.openAtStart = parser.isSet(open);
    o.settings.branch = "0001";
    o.moduleFolder = defaultModuleFolder;
    for (const OptionRow& option : kOptions) {
        std::optional<QString> v = value(option);
        if (!v) continue;
        std::string name = option.name;
        if (name == "branch") {
            if (v->trimmed().isEmpty() || v->size() > 4) {
                error = "--branch: o código da filial tem de 1 a 4 caracteres";
                return std::nullopt;
            }
            o.settings.branch = v->toStdString();
        } else if (name == "fixed-branch") {
            std::optional<bool> b = readYesNo(*v);
            if (!b) {
                error = "--fixed-branch: informe yes ou no (sim ou não), não \"" + v->toStdString() + "\"";
                return std::nullopt;
            }
            o.settings.branchFixed = *b;
        } else if (name == "server") {
            qsizetype colon = v->lastIndexOf(':');
            bool ok = false;
            int port = colon > 0 ? v->mid(colon + 1).toInt(&ok) : 0;
            if (colon <= 0 || !ok || port < 1 || port > 65535) {
                error = "--server: informe HOST:PORT com a porta de 1 a 65535, não \"" + v->toStdString() + "\"";
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
        } else if (name == "module") {
            if (v->trimmed().isEmpty()) {
                error = "--module: informe o código da tela, por exemplo VND42408";
                return std::nullopt;
            }
            o.screenCode = v->trimmed().toUpper().toStdString();
        } else if (name == "screenshot") {
            o.screenshot = v->toStdString();
        } else if (name == "keys") {
            QString why;
            if (!parseScriptedKeys(*v, why)) {
                error = "--keys: " + why.toStdString();
                return std::nullopt;
            }
            o.keys = v->toStdString();
        }
    }
    return o;
}

std::string HostOptions::helpText() {
    std::string text =
        "Uso: vnd-host [opções]\n"
        "A retaguarda de vendas: abre as telas de preços diferenciados dos módulos da pasta\n"
        "de módulos (VND42407, o cadastro; VND42408, a consulta), com um servidor de\n"
        "aplicação e um banco local.\n\n"
        "Opções (a opção da linha de comando vale mais que a sua variável de ambiente):\n";
    for (const OptionRow& option : kOptions) {
        std::string left = std::string("  --") + option.name + " " + option.valueName;
        left.resize(std::max<std::size_t>(left.size() + 1, 30), ' ');
        text += left + option.description;
        if (*option.environment != '\0') text += std::string(" [") + option.environment + "]";
        text += "\n";
    }
    text +=
        "  --open                      abre a tela ao iniciar\n"
        "  -h, --help                  este texto\n"
        "  --version                   mostra a versão e sai\n\n"
        "As telas abrem pelo menu Preços: Ctrl+F7 o cadastro, Ctrl+F8 a consulta; Ctrl+F4 fecha a tela ativa e\n"
        "Ctrl+Tab passa de uma tela aberta a outra.\n";
    return text;
}

}  // namespace host
