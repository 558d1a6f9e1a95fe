#pragma once
// A screen module loaded the way the host loads it.

#include <optional>
#include <string>

namespace tools {

/// Owns one loaded screen module: dlopen (RTLD_NOW | RTLD_LOCAL) and Initialize in the
/// constructor; every form destroyed (their code lives in the module), Finalize and
/// dlclose in the destructor.
class ModuleHandle {
  public:
    /// Loads the module file and runs Initialize. Throws std::runtime_error saying why
    /// when the file cannot be loaded or lacks IniProc, Initialize or Finalize.
    explicit ModuleHandle(const std::string& path);
    ~ModuleHandle();
    ModuleHandle(const ModuleHandle&) = delete;
    ModuleHandle& operator=(const ModuleHandle&) = delete;

    const std::string& path() const { return path_; }
    /// The code of the module's screen from its package table ("VND42407"); empty when
    /// the module has no table or names no screen.
    const std::string& screenCode() const { return screenCode_; }

    /// Calls IniProc; a failure passes on as the exception the module raised (run it
    /// inside the application's action boundary, as the host does).
    void iniProc() const;

    /// A published module-wide item as a scenario reads it: a "bo" item as true/false, an
    /// "st" item as it stands, a "frm" item as "nil" or "assigned". nullopt when the
    /// module publishes no such name or the name has none of these prefixes.
    std::optional<std::string> stateText(const std::string& name) const;

  private:
    void* symbol(const std::string& name) const;

    std::string path_;
    std::string screenCode_;
    void* handle_ = nullptr;
    void (*iniProc_)() = nullptr;
    void (*finalize_)() = nullptr;
};

}  // namespace tools
