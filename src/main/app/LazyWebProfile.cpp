#include "main/app/LazyWebProfile.h"

#include "platform/linux/webcookies/CookieDatabase.h"
#include "runtime/Executor.h"

namespace veska::app {

platform::QtWebProfile& LazyWebProfile::profile() {
    if (!profile_) profile_ = std::make_unique<platform::QtWebProfile>(storagePath_);
    return *profile_;
}

rt::Task<std::vector<ports::WebCookie>> LazyWebProfile::all() {
    if (profile_) co_return co_await profile_->all();
    rt::Executor* here = rt::Executor::current();
    const double now = here != nullptr ? here->wallNow() : 0;
    co_return platform::readSavedCookies(storagePath_ + "/Cookies", now);
}

rt::Task<bool> LazyWebProfile::set(ports::WebCookie cookie) {
    return profile().set(std::move(cookie));
}

rt::Task<void> LazyWebProfile::deleteCookie(ports::WebCookie cookie) {
    return profile().deleteCookie(std::move(cookie));
}

ports::Subscription LazyWebProfile::subscribe(std::function<void(const ports::CookieChange&)> onChange) {
    return profile().subscribe(std::move(onChange));
}

}  // namespace veska::app
