#include "platform/linux/webengine/QtDashboardWebView.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace veska::platform {

namespace {

constexpr const char* kFrameKey = "ConfigDashboard";
constexpr int kMillisecondsPerSecond = 1000;

}  // namespace

/// Asks the view's owner about every navigation, the application's own scheme included (Qt
/// only shows unknown schemes to the page when told to).
class QtDashboardWebView::Page final : public QWebEnginePage {
public:
    Page(QWebEngineProfile* profile, QObject* parent, std::function<bool(const std::string&)>* decide)
        : QWebEnginePage(profile, parent), decide_(decide) {
        settings()->setUnknownUrlSchemePolicy(QWebEngineSettings::AllowAllUnknownUrlSchemes);
        setBackgroundColor(Qt::transparent);
    }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType /*type*/, bool /*isMainFrame*/) override {
        if (decide_ == nullptr || !*decide_) return true;
        return (*decide_)(url.toString(QUrl::FullyEncoded).toStdString());
    }

private:
    std::function<bool(const std::string&)>* decide_;
};

/// Keeps its frame and tells the owner when the user closes it.
class QtDashboardWebView::Window final : public QWidget {
public:
    Window(std::string framesFile, std::function<void()> onClosed)
        : framesFile_(std::move(framesFile)), onClosed_(std::move(onClosed)) {}

    void restoreFrame() {
        const QSettings frames(QString::fromStdString(framesFile_), QSettings::IniFormat);
        const QByteArray saved = frames.value(kFrameKey).toByteArray();
        if (!saved.isEmpty() && restoreGeometry(saved)) return;
        resize(kWidth, kHeight);
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            move(screen->availableGeometry().center() - rect().center());
        }
    }

protected:
    void closeEvent(QCloseEvent* event) override {
        QSettings frames(QString::fromStdString(framesFile_), QSettings::IniFormat);
        frames.setValue(kFrameKey, saveGeometry());
        QWidget::closeEvent(event);
        if (onClosed_) onClosed_();
    }

private:
    std::string framesFile_;
    std::function<void()> onClosed_;
};

QtDashboardWebView::QtDashboardWebView(std::function<QWebEngineProfile*()> profile, std::string framesFile)
    : profile_(std::move(profile)), framesFile_(std::move(framesFile)) {}

QtDashboardWebView::~QtDashboardWebView() {
    *alive_ = false;
    delete window_;
}

void QtDashboardWebView::create(const std::string& title) {
    if (window_ != nullptr) return;
    auto* window = new Window(framesFile_, [this, alive = alive_] {
        if (*alive) discard();
    });
    window->setWindowTitle(QString::fromStdString(title));
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    view_ = new QWebEngineView(window);
    auto* page = new Page(profile_(), view_, &decideNavigation);
    view_->setPage(page);
    QObject::connect(page, &QWebEnginePage::loadFinished, view_, [this](bool ok) {
        if (loadTimer_ != nullptr) loadTimer_->stop();
        if (ok && onNavigationFinished) onNavigationFinished();
    });
    layout->addWidget(view_);
    loadTimer_ = new QTimer(window);
    loadTimer_->setSingleShot(true);
    QObject::connect(loadTimer_, &QTimer::timeout, view_, [this] { view_->stop(); });
    window->restoreFrame();
    window_ = window;
}

void QtDashboardWebView::load(const std::string& url, double timeoutSeconds) {
    if (view_ == nullptr) return;
    view_->load(QUrl(QString::fromStdString(url)));
    loadTimer_->start(static_cast<int>(timeoutSeconds * kMillisecondsPerSecond));
}

void QtDashboardWebView::bringToFront() {
    if (window_ == nullptr) return;
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void QtDashboardWebView::evaluate(const std::string& javaScript) {
    if (view_ == nullptr) return;
    view_->page()->runJavaScript(QString::fromStdString(javaScript));
}

void QtDashboardWebView::discard() {
    // The window is being closed from its own event: it goes once that has returned.
    window_->deleteLater();
    window_ = nullptr;
    view_ = nullptr;
    loadTimer_ = nullptr;
}

}  // namespace veska::platform
