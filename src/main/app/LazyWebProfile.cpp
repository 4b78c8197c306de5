#include "main/app/LazyWebProfile.h"

#include "platform/linux/modules/PlugInModule.h"
#include "platform/linux/webcookies/CookieDatabase.h"
#include "runtime/Executor.h"

namespace veska::app {

platform::WebEngineParts* LazyWebProfile::parts() {
    if (parts_) return parts_.get();
    try {
        parts_ = load_(storagePath_);
        error_.clear();
    } catch (const platform::ModuleError& error) {
        error_ = error.what();
    }
    return parts_.get();
}

rt::Task<std::vector<ports::WebCookie>> LazyWebProfile::all() {
    if (parts_) co_return co_await parts_->cookies().all();
    rt::Executor* here = rt::Executor::current();
    const double now = here != nullptr ? here->wallNow() : 0;
    co_return platform::readSavedCookies(storagePath_ + "/Cookies", now);
}

rt::Task<bool> LazyWebProfile::set(ports::WebCookie cookie) {
    platform::WebEngineParts* running = parts();
    if (running == nullptr) co_return false;
    co_return co_await running->cookies().set(std::move(cookie));
}

rt::Task<void> LazyWebProfile::deleteCookie(ports::WebCookie cookie) {
    platform::WebEngineParts* running = parts();
    if (running == nullptr) co_return;
    co_await running->cookies().deleteCookie(std::move(cookie));
}

ports::Subscription LazyWebProfile::subscribe(std::function<void(const ports::CookieChange&)> onChange) {
    platform::WebEngineParts* running = parts();
    // Without the engine nothing can change the saved cookies: there is nothing to hear.
    if (running == nullptr) return {};
    return running->cookies().subscribe(std::move(onChange));
}

}  // namespace veska::app
