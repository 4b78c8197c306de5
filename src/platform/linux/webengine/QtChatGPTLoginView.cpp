#include "platform/linux/webengine/QtChatGPTLoginView.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestInfo>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

namespace veska::platform {

namespace {

constexpr int kMillisecondsPerSecond = 1000;
constexpr double kNotePointSize = 11;

/// Sends every request of one page with the given user agent.
class UserAgentInterceptor final : public QWebEngineUrlRequestInterceptor {
public:
    UserAgentInterceptor(const std::string& userAgent, QObject* parent)
        : QWebEngineUrlRequestInterceptor(parent), userAgent_(QByteArray::fromStdString(userAgent)) {}
    void interceptRequest(QWebEngineUrlRequestInfo& info) override {
        info.setHttpHeader(QByteArrayLiteral("User-Agent"), userAgent_);
    }

private:
    QByteArray userAgent_;
};

}  // namespace

/// Tells the owner when the user closes it (the owner's own `dismiss` does not come here).
class QtChatGPTLoginView::Window final : public QWidget {
public:
    explicit Window(std::function<void()> onClosed) : onClosed_(std::move(onClosed)) {}
    void dismissQuietly() { onClosed_ = nullptr; }

protected:
    void closeEvent(QCloseEvent* event) override {
        QWidget::closeEvent(event);
        if (auto closed = std::exchange(onClosed_, nullptr)) closed();
    }

private:
    std::function<void()> onClosed_;
};

QtChatGPTLoginView::QtChatGPTLoginView(std::function<QWebEngineProfile*()> profile)
    : profile_(std::move(profile)) {}

QtChatGPTLoginView::~QtChatGPTLoginView() {
    *alive_ = false;
    delete window_;
}

void QtChatGPTLoginView::create(const ChatGPTLoginContent& content) {
    if (window_ != nullptr) return;
    auto* window = new Window([this, alive = alive_] {
        if (!*alive) return;
        forget();
        if (onClosedByUser) onClosedByUser();
    });
    window->setWindowTitle(QString::fromStdString(content.title));
    window->resize(kWidth, kHeight);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);

    view_ = new QWebEngineView(window);
    auto* page = new QWebEnginePage(profile_(), view_);
    if (!content.userAgent.empty()) {
        // The profile is shared by every page: the service's user agent goes on this page's
        // requests only.
        page->setUrlRequestInterceptor(new UserAgentInterceptor(content.userAgent, page));
    }
    view_->setPage(page);
    view_->setMinimumHeight(kPageHeight);
    layout->addWidget(view_, 1);

    auto* bar = new QWidget(window);
    auto* barLayout = new QHBoxLayout(bar);
    auto* words = new QVBoxLayout();
    auto* note = new QLabel(QString::fromStdString(content.note), bar);
    QFont small = note->font();
    small.setPointSizeF(kNotePointSize);
    note->setFont(small);
    note->setWordWrap(true);
    note->setStyleSheet(QStringLiteral("color: palette(mid);"));
    progress_ = new QProgressBar(bar);
    progress_->setRange(0, 0);
    progress_->setTextVisible(false);
    progress_->setVisible(false);
    help_ = new QLabel(bar);
    help_->setWordWrap(true);
    help_->setVisible(false);
    words->addWidget(note);
    words->addWidget(progress_);
    words->addWidget(help_);
    barLayout->addLayout(words, 1);
    auto* cancel = new QPushButton(QString::fromStdString(content.cancel), bar);
    QObject::connect(cancel, &QPushButton::clicked, bar, [this] {
        if (onCancelButton) onCancelButton();
    });
    barLayout->addWidget(cancel);
    layout->addWidget(bar);

    loadTimer_ = new QTimer(window);
    loadTimer_->setSingleShot(true);
    QObject::connect(loadTimer_, &QTimer::timeout, view_, [this] { view_->stop(); });
    QObject::connect(page, &QWebEnginePage::loadFinished, view_, [this](bool) { loadTimer_->stop(); });
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        window->move(screen->availableGeometry().center() - window->rect().center());
    }
    window_ = window;
}

void QtChatGPTLoginView::setHelp(const std::optional<std::string>& text) {
    if (help_ == nullptr) return;
    help_->setText(QString::fromStdString(text.value_or("")));
    help_->setVisible(text.has_value());
}

void QtChatGPTLoginView::setProgressRunning(bool running) {
    if (progress_ != nullptr) progress_->setVisible(running);
}

void QtChatGPTLoginView::bringToFront() {
    if (window_ == nullptr) return;
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void QtChatGPTLoginView::load(const std::string& url, double timeoutSeconds) {
    if (view_ == nullptr) return;
    view_->load(QUrl(QString::fromStdString(url)));
    loadTimer_->start(static_cast<int>(timeoutSeconds * kMillisecondsPerSecond));
}

void QtChatGPTLoginView::dismiss() {
    if (window_ == nullptr) return;
    auto* window = static_cast<Window*>(window_);
    window->dismissQuietly();
    window->hide();
    forget();
}

void QtChatGPTLoginView::forget() {
    // The window may be closing from its own event: it goes once that has returned.
    window_->deleteLater();
    window_ = nullptr;
    view_ = nullptr;
    help_ = nullptr;
    progress_ = nullptr;
    loadTimer_ = nullptr;
}

}  // namespace veska::platform
