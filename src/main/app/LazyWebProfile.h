// The shared web profile, brought up only when something needs the web engine.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/linux/webengine/WebEngineParts.h"
#include "ports/WebCookieStore.h"
#include "runtime/Executor.h"

namespace veska::app {

/// The web engine costs a hundred milliseconds of loading and hundreds of megabytes once it
/// runs, and an idle Veska needs none of it: until a web page is wanted, the cookie store answers
/// `all` from the profile's saved Cookies database, which nothing else writes while the engine is
/// down. Changing a cookie, hearing of changes or asking for `parts()` loads the web engine
/// module and starts the engine for good. When the module cannot be used the store keeps
/// answering from the database, refuses changes, and tries the module again at the next need.
/// Lives on the GUI thread (the main executor).
class LazyWebProfile final : public ports::WebCookieStore {
public:
    /// Loads the module and starts the profile stored in the given directory; throws
    /// `platform::ModuleError`.
    using Loader = std::function<std::unique_ptr<platform::WebEngineParts>(const std::string& storagePath)>;

    /// `storagePath`: the directory of the profile's data.
    LazyWebProfile(std::string storagePath, Loader load)
        : storagePath_(std::move(storagePath)), load_(std::move(load)) {}

    /// The running parts, started now if needed; none when the module cannot be used, and then
    /// `error()` says why.
    [[nodiscard]] platform::WebEngineParts* parts();
    [[nodiscard]] bool started() const { return static_cast<bool>(parts_); }
    /// Why the last start failed.
    [[nodiscard]] const std::string& error() const { return error_; }

    rt::Task<std::vector<ports::WebCookie>> all() override;
    rt::Task<bool> set(ports::WebCookie cookie) override;
    rt::Task<void> deleteCookie(ports::WebCookie cookie) override;
    ports::Subscription subscribe(std::function<void(const ports::CookieChange&)> onChange) override;

private:
    std::string storagePath_;
    Loader load_;
    std::string error_;
    std::unique_ptr<platform::WebEngineParts> parts_;
};

}  // namespace veska::app
