#pragma once
// A private folder that lives as long as its owner.

#include <filesystem>

namespace tools {

/// Creates a fresh folder under the system's temporary folder and removes it, with all
/// it holds, when destroyed.
class TempDirectory {
  public:
    /// Throws std::runtime_error when the folder cannot be made.
    explicit TempDirectory(const char* prefix = "vnd-script");
    ~TempDirectory();
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

}  // namespace tools
