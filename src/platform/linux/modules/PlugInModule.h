// Loading the app's modules: the parts of Veska built as loadable files in the bundle's PlugIns
// folder, so that the program starts without their libraries (Qt WebEngine, FFmpeg).
#pragma once

#include <stdexcept>
#include <string>

namespace veska::platform {

/// A module could not be used: missing, not loadable, or built for another version of its
/// interface. `what()` says which, naming the file.
class ModuleError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// A loaded module. It stays loaded for the rest of the process (the libraries it brings, the
/// web engine above all, cannot be unloaded safely), so its entry points never dangle.
class PlugInModule {
public:
    /// Loads `<directory>/<name>.so`, binding every symbol now and keeping its own out of the
    /// global scope, and checks that the interface version its `veska_module_version` reports
    /// is `version`. Loading a module again returns the one already loaded. Throws
    /// `ModuleError`.
    static PlugInModule load(const std::string& directory, const std::string& name, int version);

    /// The entry point `symbol`, of type `Entry`; throws `ModuleError` when the module has none.
    template <typename Entry>
    [[nodiscard]] Entry* entry(const char* symbol) const {
        return reinterpret_cast<Entry*>(address(symbol));  // NOLINT: dlsym gives addresses untyped
    }

    [[nodiscard]] const std::string& path() const { return path_; }

private:
    PlugInModule(void* handle, std::string path) : handle_(handle), path_(std::move(path)) {}
    [[nodiscard]] void* address(const char* symbol) const;

    void* handle_;
    std::string path_;
};

/// The running program's PlugIns folder: `Contents/PlugIns` beside the `Contents/MacOS` the
/// executable is in (found through /proc/self/exe, so links to the program do not matter).
[[nodiscard]] std::string bundlePlugInsDirectory();

}  // namespace veska::platform
