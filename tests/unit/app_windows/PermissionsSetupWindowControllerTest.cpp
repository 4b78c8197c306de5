// The permissions window on the simulated desktop: when it opens, what it shows, how often it
// looks again, and what its buttons do.
#include <gtest/gtest.h>

#include "core/app/PermissionsSetupWindowController.h"
#include "core/ui/AppStrings.h"
#include "main/appsim/FakeCore.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimSystemLanguages.h"
#include "runtime/VirtualLoop.h"

namespace veska {
namespace {

using ports::Permission;

class RecordingView final : public PermissionsSetupView {
public:
    void render(const PermissionsSetupContent& content) override { renders.push_back(content); }
    void present() override {
        ++presents;
        visible = true;
    }
    void hide() override { visible = false; }

    std::vector<PermissionsSetupContent> renders;
    int presents = 0;
    bool visible = false;
};

struct PermissionsWindowTest : ::testing::Test {
    rt::VirtualLoop loop;
    sim::SimDesktop desktop{loop.main()};
    DesktopServices services{loop.main(),
                             loop.lane("veska.selection"),
                             loop.lane("veska.live-typer"),
                             desktop.keyboard(),
                             desktop.keyPoster(),
                             desktop.pasteboard(),
                             desktop.accessibility(),
                             desktop.workspace(),
                             desktop.permissions()};
    SelectionService selection{services};
    appsim::FakeMicRecorder mic{desktop.permissions()};
    RecordingView view;
    PermissionsSetupWindowController window{{loop.main(), desktop.permissions(), selection, mic}, view};
    int allGranted = 0;

    PermissionsWindowTest() {
        AppStrings::setLocale(nlohmann::json{{"locale", "en"}}, sim::SimSystemLanguages({"en-US"}));
        window.onAllGranted = [this] { ++allGranted; };
    }

    void grant(Permission permission, bool granted) { desktop.permissions().setGranted(permission, granted); }
    const PermissionsSetupContent& shown() { return view.renders.back(); }
    std::vector<std::string> statuses() {
        std::vector<std::string> out;
        for (const auto& step : shown().steps) out.push_back(step.statusText);
        return out;
    }
};

TEST_F(PermissionsWindowTest, AllGrantedOpensNothingUnlessForced) {
    window.show(false);
    EXPECT_EQ(allGranted, 1);
    EXPECT_EQ(view.presents, 0);
    EXPECT_FALSE(window.polling());

    window.show(true);
    EXPECT_EQ(view.presents, 1);
    EXPECT_TRUE(shown().ready);
    EXPECT_EQ(shown().summary, "Ready — tap fn to speak");
    EXPECT_EQ(shown().progress, "3 of 3 done");
    EXPECT_EQ(statuses(), (std::vector<std::string>{"On", "On", "On"}));
    // Forced open with nothing missing asks for nothing.
    loop.runFor(0.5);
    EXPECT_EQ(desktop.permissions().requestCount(Permission::accessibility), 0);
    EXPECT_EQ(desktop.permissions().settingsOpenedCount(Permission::inputMonitoring), 0);
}

TEST_F(PermissionsWindowTest, AMissingPermissionIsAskedForAndItsGrantShowsWithinASecond) {
    grant(Permission::microphone, false);
    grant(Permission::accessibility, false);
    window.show(false);
    EXPECT_EQ(allGranted, 0);
    EXPECT_EQ(view.presents, 1);
    EXPECT_FALSE(shown().ready);
    EXPECT_EQ(shown().summary, "2 still missing");
    EXPECT_EQ(shown().progress, "1 of 3 done");
    EXPECT_EQ(statuses(), (std::vector<std::string>{"Off", "Off", "On"}));
    loop.runFor(0.1);
    EXPECT_EQ(desktop.permissions().requestCount(Permission::accessibility), 1);

    grant(Permission::microphone, true);
    loop.runFor(PermissionsSetupWindowController::kPollSeconds);
    EXPECT_EQ(statuses(), (std::vector<std::string>{"On", "Off", "On"}));
    EXPECT_EQ(shown().summary, "1 still missing");

    grant(Permission::accessibility, true);
    loop.runFor(PermissionsSetupWindowController::kPollSeconds);
    EXPECT_TRUE(shown().ready);
    EXPECT_EQ(shown().summary, "Ready — tap fn to speak");
    // Polling alone never reports: only "Check again" and "Done" do.
    EXPECT_EQ(allGranted, 0);
}

TEST_F(PermissionsWindowTest, PollingRunsOnlyWhileTheWindowIsShown) {
    grant(Permission::microphone, false);
    window.show(false);
    loop.runFor(3.05);
    const std::size_t whileShown = view.renders.size();
    EXPECT_EQ(whileShown, 4u);  // at the show, then once a second

    window.close();
    EXPECT_FALSE(view.visible);
    loop.runFor(5);
    EXPECT_EQ(view.renders.size(), whileShown);

    window.show(false);
    view.onClosed();  // the user closes it
    const std::size_t reopened = view.renders.size();
    loop.runFor(5);
    EXPECT_EQ(view.renders.size(), reopened);
    EXPECT_FALSE(window.polling());
}

TEST_F(PermissionsWindowTest, CheckAgainAndDoneReportOnlyWhenEverythingIsGranted) {
    struct Row {
        bool micGranted;
        bool pressDone;  // else "Check again"
        int reports;
        bool stillShown;
    };
    const std::vector<Row> rows{
        {false, false, 0, true},
        {true, false, 1, true},
        {false, true, 0, false},
        {true, true, 1, false},
    };
    for (const Row& row : rows) {
        grant(Permission::microphone, false);
        allGranted = 0;
        window.show(true);
        grant(Permission::microphone, row.micGranted);
        if (row.pressDone) {
            view.onDone();
        } else {
            view.onCheckAgain();
        }
        EXPECT_EQ(allGranted, row.reports);
        EXPECT_EQ(view.visible, row.stillShown);
        EXPECT_EQ(window.polling(), row.stillShown);
        window.close();
    }
}

TEST_F(PermissionsWindowTest, TheButtonsAskAndOpenTheHelpOfTheirPermission) {
    // Never asked yet: the question is shown, and the simulated user says yes.
    desktop.permissions().set(Permission::microphone, ports::PermissionStatus::notDetermined);
    grant(Permission::accessibility, false);
    grant(Permission::inputMonitoring, false);
    desktop.permissions().answerRequests(Permission::microphone, sim::PermissionAnswer::grant);
    window.show(true);
    loop.runFor(0.1);
    const int axAsked = desktop.permissions().requestCount(Permission::accessibility);
    const int imOpened = desktop.permissions().settingsOpenedCount(Permission::inputMonitoring);

    view.onOpenSettings(0);
    loop.runFor(0.1);
    EXPECT_EQ(desktop.permissions().requestCount(Permission::microphone), 1);
    EXPECT_EQ(desktop.permissions().settingsOpenedCount(Permission::microphone), 1);
    EXPECT_EQ(shown().steps[0].statusText, "On");

    view.onOpenSettings(1);
    loop.runFor(0.1);
    EXPECT_EQ(desktop.permissions().requestCount(Permission::accessibility), axAsked + 1);
    EXPECT_EQ(desktop.permissions().settingsOpenedCount(Permission::accessibility), 1);

    view.onOpenSettings(2);
    EXPECT_EQ(desktop.permissions().settingsOpenedCount(Permission::inputMonitoring), imOpened + 1);
    // A step that does not exist does nothing.
    view.onOpenSettings(7);
    loop.runFor(0.1);
}

TEST_F(PermissionsWindowTest, TextsInBothLanguages) {
    using Snapshot = PermissionsSetupWindowController::Snapshot;
    struct Row {
        const char* locale;
        Snapshot snapshot;
        const char* title;
        const char* heading;
        const char* summary;
        std::array<const char*, 3> statuses;
        std::array<const char*, 3> steps;
        const char* button;
    };
    const std::vector<Row> rows{
        {"en",
         {true, false, false},
         "Veska · Permissions",
         "Three permissions to start",
         "2 still missing",
         {"On", "Off", "Off"},
         {"Microphone", "Accessibility", "Input Monitoring"},
         "Open Settings"},
        {"vi",
         {true, false, true},
         "Veska · Quyền",
         "Ba quyền để bắt đầu",
         "Còn thiếu 1 quyền",
         {"Đã bật", "Chưa bật", "Đã bật"},
         {"Microphone", "Trợ năng", "Theo dõi phím"},
         "Mở Cài đặt"},
        {"vi",
         {true, true, true},
         "Veska · Quyền",
         "Ba quyền để bắt đầu",
         "Đã sẵn sàng — nhấn fn để nói",
         {"Đã bật", "Đã bật", "Đã bật"},
         {"Microphone", "Trợ năng", "Theo dõi phím"},
         "Mở Cài đặt"},
    };
    for (const Row& row : rows) {
        AppStrings::setLocale(nlohmann::json{{"locale", row.locale}}, sim::SimSystemLanguages({"en-US"}));
        const PermissionsSetupContent content = PermissionsSetupWindowController::content(row.snapshot);
        EXPECT_EQ(content.title, row.title);
        EXPECT_EQ(content.heading, row.heading);
        EXPECT_EQ(content.summary, row.summary);
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(content.steps[i].statusText, row.statuses[i]);
            EXPECT_EQ(content.steps[i].title, row.steps[i]);
            EXPECT_EQ(content.steps[i].buttonTitle, row.button);
        }
    }
    EXPECT_EQ(PermissionsSetupWindowController::content({false, false, false}).steps[0].symbol, "mic.fill");
    AppStrings::setLocale(nlohmann::json{{"locale", "en"}}, sim::SimSystemLanguages({"en-US"}));
}

}  // namespace
}  // namespace veska
