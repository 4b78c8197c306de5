// The ChatGPT sign-in window: the service's page in a Qt WebEngine view on the shared profile,
// above a bar with a note, a progress bar, a help line and a cancel button.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "core/app/ChatGPTLoginView.h"

class QLabel;
class QProgressBar;
class QTimer;
class QWebEngineProfile;
class QWebEngineView;
class QWidget;

namespace veska::platform {

/// Built on `create` and discarded on `dismiss` or when the user closes it, so no page lives
/// while nobody signs in. GUI thread.
class QtChatGPTLoginView final : public ChatGPTLoginView {
public:
    static constexpr int kWidth = 920;
    static constexpr int kHeight = 700;
    static constexpr int kPageHeight = 640;

    /// `profile`: asked at each `create`; the profile every web view of the app shares.
    explicit QtChatGPTLoginView(std::function<QWebEngineProfile*()> profile);
    ~QtChatGPTLoginView() override;
    QtChatGPTLoginView(const QtChatGPTLoginView&) = delete;
    QtChatGPTLoginView& operator=(const QtChatGPTLoginView&) = delete;

    [[nodiscard]] bool exists() const override { return window_ != nullptr; }
    void create(const ChatGPTLoginContent& content) override;
    void setHelp(const std::optional<std::string>& text) override;
    void setProgressRunning(bool running) override;
    void bringToFront() override;
    void load(const std::string& url, double timeoutSeconds) override;
    void dismiss() override;

    /// The parts while they exist (for tests).
    [[nodiscard]] QWidget* window() const { return window_; }
    [[nodiscard]] QWebEngineView* view() const { return view_; }
    [[nodiscard]] QLabel* help() const { return help_; }
    [[nodiscard]] QProgressBar* progress() const { return progress_; }

    class Window;

private:
    void forget();

    std::function<QWebEngineProfile*()> profile_;
    QWidget* window_ = nullptr;
    QWebEngineView* view_ = nullptr;
    QLabel* help_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QTimer* loadTimer_ = nullptr;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace veska::platform
