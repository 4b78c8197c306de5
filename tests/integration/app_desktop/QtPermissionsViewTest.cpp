// The permissions window drawn by Qt (offscreen): what it shows and what its buttons report.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>

#include "core/app/PermissionsSetupWindowController.h"
#include "core/ui/AppStrings.h"
#include "platform/linux/windows/QtPermissionsView.h"
#include "platform/sim/SimSystemLanguages.h"
#include "support/OffscreenQt.h"

namespace veska::platform {
namespace {

class QtPermissionsViewTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        app_ = testing::makeOffscreenApp<QApplication>(false);
    }
    static void TearDownTestSuite() {
        delete app_;
        app_ = nullptr;
    }
    void SetUp() override {
        AppStrings::setLocale(nlohmann::json{{"locale", "en"}}, sim::SimSystemLanguages({"en-US"}));
    }

    /// Every label's text, in the window's order.
    static QStringList labels(QWidget* window) {
        QStringList out;
        for (QLabel* label : window->findChildren<QLabel*>()) out << label->text();
        return out;
    }
    static QPushButton* button(QWidget* window, const QString& title) {
        for (QPushButton* b : window->findChildren<QPushButton*>()) {
            if (b->text() == title) return b;
        }
        return nullptr;
    }

    static inline QApplication* app_ = nullptr;
};

TEST_F(QtPermissionsViewTest, ShowsTheStepsUntilReadyThenTheSuccessPanel) {
    QtPermissionsView view;
    EXPECT_EQ(view.window(), nullptr);
    view.render(PermissionsSetupWindowController::content({.mic = true, .ax = false, .im = true}));
    view.present();
    QWidget* window = view.window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), "Veska · Permissions");
    EXPECT_EQ(window->size(), QSize(QtPermissionsView::kWidth, QtPermissionsView::kHeight));
    const QStringList shown = labels(window);
    EXPECT_TRUE(shown.contains("Three permissions to start"));
    EXPECT_TRUE(shown.contains("2 of 3 done"));
    EXPECT_TRUE(shown.filter("1 still missing").size() == 1) << shown.join(" | ").toStdString();
    EXPECT_EQ(shown.filter(">Off<").size(), 1);
    EXPECT_EQ(shown.filter(">On<").size(), 2);
    QLabel* ready = nullptr;
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (label->text() == "Ready — tap fn to speak") ready = label;
    }
    ASSERT_NE(ready, nullptr);
    EXPECT_FALSE(ready->isVisibleTo(window));
    QPushButton* open = button(window, "Open Settings");
    ASSERT_NE(open, nullptr);
    EXPECT_TRUE(open->isVisibleTo(window));

    view.render(PermissionsSetupWindowController::content({.mic = true, .ax = true, .im = true}));
    EXPECT_TRUE(ready->isVisibleTo(window));
    EXPECT_FALSE(open->isVisibleTo(window));
}

TEST_F(QtPermissionsViewTest, ButtonsAndClosingReachTheController) {
    QtPermissionsView view;
    std::vector<std::string> heard;
    view.onOpenSettings = [&](int step) { heard.push_back("open " + std::to_string(step)); };
    view.onCheckAgain = [&] { heard.emplace_back("check"); };
    view.onDone = [&] { heard.emplace_back("done"); };
    view.onClosed = [&] { heard.emplace_back("closed"); };
    view.render(PermissionsSetupWindowController::content({}));
    view.present();
    QWidget* window = view.window();
    const auto opens = window->findChildren<QPushButton*>();
    std::vector<QPushButton*> openButtons;
    for (QPushButton* b : opens) {
        if (b->text() == "Open Settings") openButtons.push_back(b);
    }
    ASSERT_EQ(openButtons.size(), 3u);
    openButtons[2]->click();
    openButtons[0]->click();
    button(window, "Check again")->click();
    button(window, "Done")->click();
    EXPECT_TRUE(button(window, "Done")->isDefault());
    // The controller's own hide is not the user closing the window.
    view.hide();
    view.present();
    window->close();
    EXPECT_EQ(heard, (std::vector<std::string>{"open 2", "open 0", "check", "done", "closed"}));
    EXPECT_FALSE(window->isVisible());
    // Kept after closing: shown again on the next present.
    view.present();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(view.window(), window);
}

}  // namespace
}  // namespace veska::platform
