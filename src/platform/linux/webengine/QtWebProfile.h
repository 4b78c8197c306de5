// The one persistent web profile of the app, shared by every web view, and its cookie store.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ports/WebCookieStore.h"

class QWebEngineProfile;
class QWebEnginePage;
class QNetworkCookie;

namespace veska::platform {

/// The named, disk-backed Qt WebEngine profile every web view of the app uses, so a sign-in
/// made in any of them is seen by all, and the `WebCookieStore` port over its cookies.
///
/// Qt WebEngine 6.4 does not list a profile's cookies (`loadAllCookies` delivers nothing), so
/// the store keeps a mirror: seeded at start from the profile's Cookies database, changed at
/// once by its own `set` and `deleteCookie`, and kept in step with what pages do through the
/// engine's added and removed notices (the engine's echoes of the store's own changes are
/// recognised and skipped). A hidden page is kept for the process: the engine only runs the
/// profile's cookie store once a page exists. Lives on the Qt GUI thread, after the
/// application object; the port's operations are called there (the main executor).
class QtWebProfile final : public ports::WebCookieStore {
public:
    /// `storagePath`: the directory of the profile's data (cookies, caches), created if needed.
    explicit QtWebProfile(const std::string& storagePath);
    ~QtWebProfile() override;
    QtWebProfile(const QtWebProfile&) = delete;
    QtWebProfile& operator=(const QtWebProfile&) = delete;

    /// The profile to give every web page of the app.
    [[nodiscard]] QWebEngineProfile* profile() const { return profile_; }

    rt::Task<std::vector<ports::WebCookie>> all() override;
    rt::Task<bool> set(ports::WebCookie cookie) override;
    rt::Task<void> deleteCookie(ports::WebCookie cookie) override;
    ports::Subscription subscribe(std::function<void(const ports::CookieChange&)> onChange) override;

    struct Subscriber;

private:
    /// What the engine will report back for a change this store made.
    struct Echo {
        ports::WebCookie cookie;
        bool removed;
    };

    void engineAdded(const QNetworkCookie& cookie);
    void engineRemoved(const QNetworkCookie& cookie);
    bool consumeEcho(const ports::WebCookie& cookie, bool removed);
    void notify(const ports::WebCookie& cookie, bool removed);
    std::vector<ports::WebCookie>::iterator find(const ports::WebCookie& cookie);
    void engineDelete(const ports::WebCookie& cookie);
    [[nodiscard]] double now() const;

    QWebEngineProfile* profile_ = nullptr;
    QWebEnginePage* primer_ = nullptr;
    std::vector<ports::WebCookie> cookies_;
    std::vector<Echo> echoes_;
    std::vector<std::shared_ptr<Subscriber>> subscribers_;
};

}  // namespace veska::platform
