// Loading the app's modules with the dynamic loader.
#include "platform/linux/modules/PlugInModule.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

namespace veska::platform {

namespace {

/// The function every module exports to say which version of its interface it was built for.
constexpr const char* kVersionEntry = "veska_module_version";
using VersionEntry = int();

std::string lastLoaderError() {
    const char* error = ::dlerror();
    return error != nullptr ? std::string(error) : std::string("unknown error");
}

}  // namespace

PlugInModule PlugInModule::load(const std::string& directory, const std::string& name, int version) {
    std::string path = directory + "/" + name + ".so";
    std::error_code error;
    if (!std::filesystem::exists(path, error)) throw ModuleError("the module " + path + " is missing");
    ::dlerror();
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) throw ModuleError("the module " + path + " cannot be loaded: " + lastLoaderError());
    PlugInModule module(handle, std::move(path));
    // A module refused here stays loaded: its libraries' initialisers have run, and unloading
    // them again is not safe. It is never called.
    auto* reported = reinterpret_cast<VersionEntry*>(::dlsym(handle, kVersionEntry));  // NOLINT
    if (reported == nullptr) throw ModuleError("the file " + module.path_ + " is not a Veska module");
    const int built = reported();
    if (built != version) {
        throw ModuleError("the module " + module.path_ + " was built for version " + std::to_string(built) +
                          " of its interface; this Veska needs version " + std::to_string(version));
    }
    return module;
}

void* PlugInModule::address(const char* symbol) const {
    ::dlerror();
    void* found = ::dlsym(handle_, symbol);
    if (found == nullptr) throw ModuleError("the module " + path_ + " has no entry point " + symbol);
    return found;
}

std::string bundlePlugInsDirectory() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return "PlugIns";
    return (program.parent_path().parent_path() / "PlugIns").string();
}

}  // namespace veska::platform
