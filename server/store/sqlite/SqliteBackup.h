#pragma once
// A consistent copy of a SQLite database while servers use it.

#include <string>

namespace server {

/// Copies the SQLite database at source to target through SQLite's online backup: the
/// copy is one consistent state of the database (a store under way is either all in it
/// or not at all), even while servers write to it, which a plain copy of the file (and
/// its -wal) is not. The copy is written beside target and renamed over it once whole
/// and checked, so target is never half written; it is readable by its owner only.
/// Returns the pages copied. Throws std::runtime_error (Portuguese text) for a source
/// that does not exist or is no database, a target folder that cannot be written, or a
/// database kept busy past a few seconds.
long backupSqlite(const std::string& source, const std::string& target);

}  // namespace server
