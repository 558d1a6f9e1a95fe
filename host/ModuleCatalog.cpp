#include "ModuleCatalog.h"

#include <algorithm>
#include <filesystem>

namespace host {

ModuleCatalog::ModuleCatalog(const std::string& folder) {
    for (const std::string& file : moduleFiles(folder)) modules_.push_back(std::make_unique<ModuleLoader>(file));
}

ModuleCatalog::~ModuleCatalog() {
    // Each loader finalizes and unloads itself; the last loaded goes first.
    while (!modules_.empty()) modules_.pop_back();
}

std::vector<std::string> ModuleCatalog::moduleFiles(const std::string& folder) {
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("libvnd") && name.ends_with(".so")) files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

bool ModuleCatalog::start() {
    bool all = true;
    for (auto& m : modules_) all = m->start() && all;
    return all;
}

void ModuleCatalog::finalize(std::vector<std::string>& errors) {
    for (auto it = modules_.rbegin(); it != modules_.rend(); ++it) {
        ModuleLoader& m = **it;
        if (m.state() != ModuleState::Initialized && m.state() != ModuleState::Running) continue;
        if (!m.finalize()) errors.push_back(m.error());
    }
}

std::vector<ModuleLoader*> ModuleCatalog::loaders() const {
    std::vector<ModuleLoader*> out;
    for (const auto& m : modules_) out.push_back(m.get());
    return out;
}

std::string ModuleCatalog::codeOf(const ModuleLoader& module) {
    const PackageInfoTable* info = module.packageInfo();
    return info != nullptr && info->screenCode != nullptr ? info->screenCode : "";
}

ModuleLoader* ModuleCatalog::byCode(const std::string& code) const {
    for (const auto& m : modules_) {
        if (codeOf(*m) == code) return m.get();
    }
    return nullptr;
}

}  // namespace host
