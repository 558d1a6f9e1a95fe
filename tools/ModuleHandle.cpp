#include "ModuleHandle.h"

#include <dlfcn.h>

#include <cstring>
#include <iostream>
#include <stdexcept>

#include "forms/Application.h"
#include "plugin/ModuleEntries.h"

namespace tools {

namespace {

template <class Fn>
Fn entry(void* handle, const char* name, const std::string& path) {
    void* address = dlsym(handle, name);
    if (address == nullptr) {
        throw std::runtime_error("the module " + path + " has no entry " + name);
    }
    return reinterpret_cast<Fn>(address);
}

}  // namespace

ModuleHandle::ModuleHandle(const std::string& path) : path_(path) {
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* why = dlerror();
        throw std::runtime_error("cannot load the module " + path + ": " +
                                 (why ? why : "unknown reason"));
    }
    try {
        iniProc_ = entry<IniProcEntry>(handle_, vol::plugin::kIniProc, path_);
        auto initialize = entry<InitializeEntry>(handle_, vol::plugin::kInitialize, path_);
        finalize_ = entry<FinalizeEntry>(handle_, vol::plugin::kFinalize, path_);
        initialize();
        if (auto table = reinterpret_cast<GetPackageInfoTableEntry>(dlsym(handle_, vol::plugin::kGetPackageInfoTable))) {
            const PackageInfoTable* info = table();
            if (info != nullptr && info->screenCode != nullptr) screenCode_ = info->screenCode;
        }
    } catch (...) {
        dlclose(handle_);
        throw;
    }
}

ModuleHandle::~ModuleHandle() {
    // The forms' handlers and vtables live in the module: they must be gone before it is.
    try {
        vol::Application::instance().destroyAll();
    } catch (const std::exception& e) {
        std::cerr << "vnd-script: destroying the screens failed: " << e.what() << "\n";
    }
    finalize_();
    dlclose(handle_);
}

void ModuleHandle::iniProc() const {
    iniProc_();
}

void* ModuleHandle::symbol(const std::string& name) const {
    return dlsym(handle_, name.c_str());
}

std::optional<std::string> ModuleHandle::stateText(const std::string& name) const {
    void* address = symbol(name);
    if (address == nullptr)
        return std::nullopt;
    if (name.starts_with("bo"))
        return *static_cast<const bool*>(address) ? "true" : "false";
    if (name.starts_with("st"))
        return *static_cast<const std::string*>(address);
    if (name.starts_with("frm")) {
        // Only whether it is set: after a close the module leaves the old value there.
        void* form = nullptr;
        std::memcpy(&form, address, sizeof form);
        return form == nullptr ? "nil" : "assigned";
    }
    return std::nullopt;
}

}  // namespace tools
