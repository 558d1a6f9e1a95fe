#include "ScriptedKeys.h"

#include <QApplication>
#include <QKeyEvent>

namespace host {

std::optional<std::vector<ScriptedKey>> parseScriptedKeys(const QString& text, QString& error) {
    std::vector<ScriptedKey> keys;
    for (const QString& token : text.split(' ', Qt::SkipEmptyParts)) {
        if (token.startsWith('\'')) {
            if (token.size() > 1) keys.push_back({QKeyCombination(), token.mid(1)});
            continue;
        }
        const QKeySequence sequence = QKeySequence::fromString(token, QKeySequence::PortableText);
        if (sequence.count() != 1 || sequence[0].key() == Qt::Key_unknown) {
            error = "tecla desconhecida: " + token;
            return std::nullopt;
        }
        keys.push_back({sequence[0], {}});
    }
    return keys;
}

namespace {

QString textOf(QKeyCombination key) {
    if (key.keyboardModifiers() & ~Qt::KeyboardModifiers(Qt::ShiftModifier)) return {};
    switch (key.key()) {
        case Qt::Key_Space: return " ";
        case Qt::Key_Return: return "\r";
        case Qt::Key_Tab: return "\t";
        default: break;
    }
    return {};
}

void send(QWidget* target, QKeyCombination key, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, key.key(), key.keyboardModifiers(), text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key.key(), key.keyboardModifiers(), text);
    QApplication::sendEvent(target, &release);
}

}  // namespace

void pressScriptedKey(const ScriptedKey& key, QWidget* window) {
    QWidget* top = QApplication::activeModalWidget() != nullptr ? QApplication::activeModalWidget() : window;
    auto target = [top] { return top->focusWidget() != nullptr ? top->focusWidget() : top; };
    if (!key.text.isEmpty()) {
        for (QChar ch : key.text) {
            const int code = ch.isLetterOrNumber() ? ch.toUpper().unicode() : ch.unicode();
            send(target(), QKeyCombination(Qt::NoModifier, static_cast<Qt::Key>(code)), QString(ch));
        }
        return;
    }
    send(target(), key.key, textOf(key.key));
}

}  // namespace host
