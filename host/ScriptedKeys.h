#pragma once
// Keys pressed into the host by a screenshot run, so a picture can show any state the
// keyboard reaches.

#include <QKeySequence>
#include <QString>
#include <QWidget>
#include <optional>
#include <vector>

namespace host {

/// One key press: a key with its modifiers, or a text typed character by character.
struct ScriptedKey {
    QKeyCombination key;  ///< unused for a text
    QString text;         ///< non-empty: type these characters
};

/// Reads "Tab Tab '12.5 Shift+Tab F2 Space Ctrl+A Return": tokens separated by blanks;
/// a token starting with ' types the rest of it; any other is one key in Qt's portable
/// form. Returns nullopt (with error naming the token) for a key Qt does not know.
std::optional<std::vector<ScriptedKey>> parseScriptedKeys(const QString& text, QString& error);

/// Presses the key into the widget that has the keyboard in `window` (or the active
/// modal dialog, when one is open), as a person at the keyboard would. Window shortcuts
/// (Ctrl+F4) are not reached this way.
void pressScriptedKey(const ScriptedKey& key, QWidget* window);

}  // namespace host
