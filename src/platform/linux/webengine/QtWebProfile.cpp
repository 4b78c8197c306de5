// The shared persistent web profile and the cookie mirror kept over its engine's cookie store.
#include "platform/linux/webengine/QtWebProfile.h"

#include <QDateTime>
#include <QDir>
#include <QNetworkCookie>
#include <QUrl>
#include <QWebEngineCookieStore>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#include <algorithm>
#include <atomic>
#include <cmath>

#include "platform/linux/webcookies/CookieDatabase.h"
#include "runtime/Check.h"

namespace veska::platform {

namespace {

/// Echoes waited for at most; the oldest are forgotten beyond it (the engine refused those).
constexpr std::size_t kMaxEchoes = 1000;

bool isDomainCookie(const ports::WebCookie& cookie) { return cookie.domain.starts_with('.'); }

/// The page address a cookie is set or deleted for: its host, over HTTPS.
QUrl originOf(const ports::WebCookie& cookie) {
    const std::string host = isDomainCookie(cookie) ? cookie.domain.substr(1) : cookie.domain;
    return QUrl(QString::fromStdString("https://" + host + "/"));
}

QNetworkCookie toQt(const ports::WebCookie& cookie) {
    QNetworkCookie out(QByteArray::fromStdString(cookie.name), QByteArray::fromStdString(cookie.value));
    // A host-only cookie has no Domain attribute: the origin's host is its host.
    if (isDomainCookie(cookie)) out.setDomain(QString::fromStdString(cookie.domain));
    out.setPath(QString::fromStdString(cookie.path));
    if (cookie.expires) {
        out.setExpirationDate(QDateTime::fromMSecsSinceEpoch(std::llround(*cookie.expires * 1000), Qt::UTC));
    }
    out.setSecure(cookie.secure);
    out.setHttpOnly(cookie.httpOnly);
    return out;
}

ports::WebCookie fromQt(const QNetworkCookie& cookie) {
    ports::WebCookie out;
    out.name = cookie.name().toStdString();
    out.value = cookie.value().toStdString();
    out.domain = cookie.domain().toStdString();
    out.path = cookie.path().isEmpty() ? std::string("/") : cookie.path().toStdString();
    if (!cookie.isSessionCookie()) {
        out.expires = static_cast<double>(cookie.expirationDate().toMSecsSinceEpoch()) / 1000.0;
    }
    out.secure = cookie.isSecure();
    out.httpOnly = cookie.isHttpOnly();
    return out;
}

bool sameValue(const ports::WebCookie& a, const ports::WebCookie& b) { return a.sameCookie(b) && a.value == b.value; }

}  // namespace

struct QtWebProfile::Subscriber {
    std::function<void(const ports::CookieChange&)> onChange;
    rt::Executor* executor;
    std::atomic<bool> active{true};
};

QtWebProfile::QtWebProfile(const std::string& storagePath) {
    QDir().mkpath(QString::fromStdString(storagePath));
    cookies_ = readSavedCookies(storagePath + "/Cookies", now());
    profile_ = new QWebEngineProfile(QStringLiteral("veska"));
    profile_->setPersistentStoragePath(QString::fromStdString(storagePath));
    profile_->setCachePath(QString::fromStdString(storagePath + "/cache"));
    profile_->setPersistentCookiesPolicy(QWebEngineProfile::AllowPersistentCookies);
    QWebEngineCookieStore* store = profile_->cookieStore();
    QObject::connect(store, &QWebEngineCookieStore::cookieAdded, profile_,
                     [this](const QNetworkCookie& cookie) { engineAdded(cookie); });
    QObject::connect(store, &QWebEngineCookieStore::cookieRemoved, profile_,
                     [this](const QNetworkCookie& cookie) { engineRemoved(cookie); });
    // The engine starts the profile's cookie store with its first page.
    primer_ = new QWebEnginePage(profile_);
    primer_->setHtml(QStringLiteral("<html></html>"), QUrl(QStringLiteral("about:blank")));
}

QtWebProfile::~QtWebProfile() {
    for (auto& subscriber : subscribers_) subscriber->active = false;
    delete primer_;
    // Deleting the profile writes its cookies to disk.
    delete profile_;
}

double QtWebProfile::now() const {
    return static_cast<double>(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
}

std::vector<ports::WebCookie>::iterator QtWebProfile::find(const ports::WebCookie& cookie) {
    return std::find_if(cookies_.begin(), cookies_.end(),
                        [&](const ports::WebCookie& held) { return held.sameCookie(cookie); });
}

rt::Task<std::vector<ports::WebCookie>> QtWebProfile::all() {
    co_return cookies_;
}

rt::Task<bool> QtWebProfile::set(ports::WebCookie cookie) {
    if (!ports::isStorableCookie(cookie)) co_return false;
    auto held = find(cookie);
    if (cookie.expires && *cookie.expires <= now()) {
        // An expired cookie deletes the one it would replace.
        if (held != cookies_.end()) {
            ports::WebCookie old = std::move(*held);
            cookies_.erase(held);
            engineDelete(old);
            notify(old, true);
        }
        co_return true;
    }
    if (held != cookies_.end()) {
        echoes_.push_back({*held, true});
        *held = cookie;
    } else {
        cookies_.push_back(cookie);
    }
    echoes_.push_back({cookie, false});
    if (echoes_.size() > kMaxEchoes) echoes_.erase(echoes_.begin());
    profile_->cookieStore()->setCookie(toQt(cookie), originOf(cookie));
    notify(cookie, false);
    co_return true;
}

rt::Task<void> QtWebProfile::deleteCookie(ports::WebCookie cookie) {
    auto held = find(cookie);
    if (held == cookies_.end()) co_return;
    ports::WebCookie old = std::move(*held);
    cookies_.erase(held);
    engineDelete(old);
    notify(old, true);
}

void QtWebProfile::engineDelete(const ports::WebCookie& cookie) {
    echoes_.push_back({cookie, true});
    if (echoes_.size() > kMaxEchoes) echoes_.erase(echoes_.begin());
    profile_->cookieStore()->deleteCookie(toQt(cookie), originOf(cookie));
}

bool QtWebProfile::consumeEcho(const ports::WebCookie& cookie, bool removed) {
    auto echo = std::find_if(echoes_.begin(), echoes_.end(), [&](const Echo& e) {
        return e.removed == removed && sameValue(e.cookie, cookie);
    });
    if (echo == echoes_.end()) return false;
    echoes_.erase(echo);
    return true;
}

void QtWebProfile::engineAdded(const QNetworkCookie& added) {
    ports::WebCookie cookie = fromQt(added);
    if (consumeEcho(cookie, false)) return;
    auto held = find(cookie);
    if (held != cookies_.end() && held->value == cookie.value) return;  // known already (restored at start)
    if (held != cookies_.end()) {
        *held = cookie;
    } else {
        cookies_.push_back(cookie);
    }
    notify(cookie, false);
}

void QtWebProfile::engineRemoved(const QNetworkCookie& removed) {
    ports::WebCookie cookie = fromQt(removed);
    if (consumeEcho(cookie, true)) return;
    auto held = find(cookie);
    if (held == cookies_.end() || held->value != cookie.value) return;
    ports::WebCookie old = std::move(*held);
    cookies_.erase(held);
    notify(old, true);
}

void QtWebProfile::notify(const ports::WebCookie& cookie, bool removed) {
    std::erase_if(subscribers_, [](const std::shared_ptr<Subscriber>& s) { return !s->active; });
    for (const auto& subscriber : subscribers_) {
        subscriber->executor->post([subscriber, change = ports::CookieChange{cookie, removed}] {
            if (subscriber->active) subscriber->onChange(change);
        });
    }
}

ports::Subscription QtWebProfile::subscribe(std::function<void(const ports::CookieChange&)> onChange) {
    rt::Executor* executor = rt::Executor::current();
    VESKA_CHECK(executor != nullptr, "cookie notices are subscribed to from an executor");
    auto subscriber = std::make_shared<Subscriber>();
    subscriber->onChange = std::move(onChange);
    subscriber->executor = executor;
    subscribers_.push_back(subscriber);
    return ports::Subscription([subscriber] { subscriber->active = false; });
}

}  // namespace veska::platform
