#include "ModuleLoader.h"

#include <dlfcn.h>

#include <exception>
#include <filesystem>

#include "forms/Application.h"

namespace host {

const char* stateName(ModuleState state) {
    switch (state) {
        case ModuleState::Absent: return "ausente";
        case ModuleState::Found: return "encontrado";
        case ModuleState::Loaded: return "carregado";
        case ModuleState::Initialized: return "inicializado";
        case ModuleState::Running: return "em execução";
        case ModuleState::Finalized: return "finalizado";
        case ModuleState::Unloaded: return "descarregado";
    }
    return "?";
}

namespace {

// Runs a module entry; what it throws becomes the step's error text.
template <class Fn>
std::string runEntry(Fn&& fn) {
    try {
        fn();
        return {};
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "erro desconhecido";
    }
}

}  // namespace

ModuleLoader::ModuleLoader(std::string path) : path_(std::move(path)) {}

ModuleLoader::~ModuleLoader() {
    if (state_ == ModuleState::Initialized || state_ == ModuleState::Running) finalize();
    unload();
}

bool ModuleLoader::fail(std::string why) {
    error_ = std::move(why);
    return false;
}

bool ModuleLoader::find() {
    if (state_ != ModuleState::Absent) return fail("O módulo " + path_ + " já foi localizado.");
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path_, ec)) return fail("Módulo não encontrado: " + path_);
    error_.clear();
    state_ = ModuleState::Found;
    return true;
}

bool ModuleLoader::load() {
    if (state_ != ModuleState::Found) return fail("O módulo " + path_ + " não está pronto para ser carregado.");
    // RTLD_LOCAL: the module's own symbols stay its own; the framework it links is the
    // one the host already has loaded, so both share the one application object.
    void* handle = dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* why = dlerror();
        return fail("Não foi possível carregar o módulo " + path_ + ": " + (why != nullptr ? why : "motivo desconhecido"));
    }
    auto resolve = [handle](const char* name) { return dlsym(handle, name); };
    void* ini = resolve(vol::plugin::kIniProc);
    void* init = resolve(vol::plugin::kInitialize);
    void* fin = resolve(vol::plugin::kFinalize);
    void* table = resolve(vol::plugin::kGetPackageInfoTable);
    const char* missing = ini == nullptr    ? vol::plugin::kIniProc
                          : init == nullptr ? vol::plugin::kInitialize
                          : fin == nullptr  ? vol::plugin::kFinalize
                          : table == nullptr ? vol::plugin::kGetPackageInfoTable
                                             : nullptr;
    if (missing != nullptr) {
        dlclose(handle);
        return fail("O módulo " + path_ + " não exporta a entrada " + missing + ".");
    }
    handle_ = handle;
    // dlsym gives object pointers; POSIX guarantees they convert to function pointers.
    iniProc_ = reinterpret_cast<IniProcEntry>(ini);
    initialize_ = reinterpret_cast<InitializeEntry>(init);
    finalize_ = reinterpret_cast<FinalizeEntry>(fin);
    packageInfo_ = reinterpret_cast<GetPackageInfoTableEntry>(table);
    error_.clear();
    state_ = ModuleState::Loaded;
    return true;
}

bool ModuleLoader::initialize() {
    if (state_ != ModuleState::Loaded) return fail("O módulo " + path_ + " não está carregado.");
    std::string why = runEntry([this] { initialize_(); });
    if (!why.empty()) return fail("A inicialização do módulo " + path_ + " falhou: " + why);
    error_.clear();
    state_ = ModuleState::Initialized;
    return true;
}

bool ModuleLoader::start() { return find() && load() && initialize(); }

bool ModuleLoader::open(vol::Application& app) {
    if (state_ != ModuleState::Initialized && state_ != ModuleState::Running) {
        return fail(error_.empty() ? "O módulo " + path_ + " não está inicializado." : error_);
    }
    error_.clear();
    state_ = ModuleState::Running;
    return app.runAction([this] { iniProc_(); });
}

bool ModuleLoader::finalize() {
    if (state_ != ModuleState::Initialized && state_ != ModuleState::Running) {
        return fail("O módulo " + path_ + " não está inicializado.");
    }
    std::string why = runEntry([this] { finalize_(); });
    // Finalized either way: the module's units must not be run again.
    state_ = ModuleState::Finalized;
    if (!why.empty()) return fail("A finalização do módulo " + path_ + " falhou: " + why);
    error_.clear();
    return true;
}

void ModuleLoader::unload() {
    if (handle_ == nullptr) return;
    dlclose(handle_);
    handle_ = nullptr;
    iniProc_ = nullptr;
    initialize_ = nullptr;
    finalize_ = nullptr;
    packageInfo_ = nullptr;
    state_ = ModuleState::Unloaded;
}

const PackageInfoTable* ModuleLoader::packageInfo() const {
    return packageInfo_ != nullptr ? packageInfo_() : nullptr;
}

}  // namespace host
