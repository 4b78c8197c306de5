// Stand-ins for the windows that show web pages, until the web engine module is loaded.
#include "main/app/ModuleWebViews.h"

#include <QMessageBox>
#include <QString>

#include "core/ui/AppStrings.h"

namespace veska::app {

void showCannotOpen(const std::string& title, const std::string& detail) {
    auto* box = new QMessageBox(QMessageBox::Warning, QString::fromStdString(title),
                                QString::fromStdString(AppStrings::pick(
                                    "Không mở được cửa sổ này: thiếu phần web của Veska hoặc phần này bị hỏng.",
                                    "This window cannot open: Veska's web engine module is missing or broken.")),
                                QMessageBox::Ok);
    box->setInformativeText(QString::fromStdString(detail));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

ModuleDashboardWebView::ModuleDashboardWebView(LazyWebProfile& web, std::string framesFile, CannotOpen cannotOpen)
    : web_(web), framesFile_(std::move(framesFile)), cannotOpen_(std::move(cannotOpen)) {}

ModuleDashboardWebView::~ModuleDashboardWebView() = default;

void ModuleDashboardWebView::create(const std::string& title) {
    if (!view_) {
        platform::WebEngineParts* parts = web_.parts();
        if (parts == nullptr) {
            if (cannotOpen_) cannotOpen_(title, web_.error());
            return;
        }
        view_ = parts->dashboardView(framesFile_);
        // The real view asks whatever this one holds at the time of the call.
        view_->decideNavigation = [this](const std::string& url) { return !decideNavigation || decideNavigation(url); };
        view_->onNavigationFinished = [this] {
            if (onNavigationFinished) onNavigationFinished();
        };
    }
    view_->create(title);
}

void ModuleDashboardWebView::load(const std::string& url, double timeoutSeconds) {
    if (view_) view_->load(url, timeoutSeconds);
}

void ModuleDashboardWebView::bringToFront() {
    if (view_) view_->bringToFront();
}

void ModuleDashboardWebView::evaluate(const std::string& javaScript) {
    if (view_) view_->evaluate(javaScript);
}

ModuleChatGPTLoginView::ModuleChatGPTLoginView(rt::Executor& main, LazyWebProfile& web, CannotOpen cannotOpen)
    : main_(main), web_(web), cannotOpen_(std::move(cannotOpen)) {}

ModuleChatGPTLoginView::~ModuleChatGPTLoginView() {
    *alive_ = false;
}

void ModuleChatGPTLoginView::create(const ChatGPTLoginContent& content) {
    if (!view_) {
        platform::WebEngineParts* parts = web_.parts();
        if (parts == nullptr) {
            if (cannotOpen_) cannotOpen_(content.title, web_.error());
            main_.post([this, alive = alive_] {
                if (*alive && onClosedByUser) onClosedByUser();
            });
            return;
        }
        view_ = parts->chatgptLoginView();
        view_->onCancelButton = [this] {
            if (onCancelButton) onCancelButton();
        };
        view_->onClosedByUser = [this] {
            if (onClosedByUser) onClosedByUser();
        };
    }
    view_->create(content);
}

void ModuleChatGPTLoginView::setHelp(const std::optional<std::string>& text) {
    if (view_) view_->setHelp(text);
}

void ModuleChatGPTLoginView::setProgressRunning(bool running) {
    if (view_) view_->setProgressRunning(running);
}

void ModuleChatGPTLoginView::bringToFront() {
    if (view_) view_->bringToFront();
}

void ModuleChatGPTLoginView::load(const std::string& url, double timeoutSeconds) {
    if (view_) view_->load(url, timeoutSeconds);
}

void ModuleChatGPTLoginView::dismiss() {
    if (view_) view_->dismiss();
}

}  // namespace veska::app
