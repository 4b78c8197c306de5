// The shared web profile, brought up only when something needs the web engine.
#pragma once

#include <memory>
#include <string>

#include "platform/linux/webcookies/QtWebProfile.h"
#include "ports/WebCookieStore.h"
#include "runtime/Executor.h"

namespace veska::app {

/// The web engine costs hundreds of megabytes once it runs, and an idle Veska needs none of
/// it: until a web page is wanted, the cookie store answers `all` from the profile's saved
/// Cookies database, which nothing else writes while the engine is down. Changing a cookie,
/// hearing of changes or asking for `profile()` starts the engine for good. Lives on the GUI
/// thread (the main executor).
class LazyWebProfile final : public ports::WebCookieStore {
public:
    /// `storagePath`: the directory of the profile's data.
    explicit LazyWebProfile(std::string storagePath) : storagePath_(std::move(storagePath)) {}

    /// The running profile, started now if needed.
    [[nodiscard]] platform::QtWebProfile& profile();
    [[nodiscard]] bool started() const { return static_cast<bool>(profile_); }

    rt::Task<std::vector<ports::WebCookie>> all() override;
    rt::Task<bool> set(ports::WebCookie cookie) override;
    rt::Task<void> deleteCookie(ports::WebCookie cookie) override;
    ports::Subscription subscribe(std::function<void(const ports::CookieChange&)> onChange) override;

private:
    std::string storagePath_;
    std::unique_ptr<platform::QtWebProfile> profile_;
};

}  // namespace veska::app
