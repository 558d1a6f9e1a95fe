#pragma once
// Text crossing between the framework (UTF-8 std::string) and Qt (QString).

#include <QString>
#include <string>

namespace vol {

/// A framework text as Qt shows it.
inline QString toQt(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }
/// A Qt text as the framework keeps it.
inline std::string fromQt(const QString& text) { return text.toStdString(); }

}  // namespace vol
