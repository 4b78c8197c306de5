// The HUD as a screen reader finds it on the accessibility bus: a notification whose name and
// description follow the state it shows, and that stops showing when the HUD goes.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "core/ui/AppStrings.h"
#include "integration/hud/HUDRig.h"
#include "support/AccessibleWindows.h"

namespace veska::testing {
namespace {

using Kind = HUDState::Kind;

// Fontconfig keeps a cache for the life of the process.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

struct NoSystemLanguages final : ports::SystemLanguages {
    [[nodiscard]] std::vector<std::string> preferredLanguages() const override { return {}; }
};

/// Reads this process's showing notification on a thread of its own, every 10 ms, while the
/// test's thread runs Qt's event loop (which answers the bus), keeping each change.
class BusWatch {
public:
    explicit BusWatch(const std::string& sessionBus)
        : reader_(sessionBus), thread_([this] { run(); }) {}
    ~BusWatch() {
        stop_ = true;
        thread_.join();
    }
    BusWatch(const BusWatch&) = delete;
    BusWatch& operator=(const BusWatch&) = delete;

    /// Whether a showing notification with this name (and description, when given) was seen.
    bool saw(const std::string& name, const std::optional<std::string>& description = std::nullopt) {
        std::lock_guard lock(mutex_);
        for (const AccessibleWindow& window : seen_) {
            if (window.name == name && (!description || window.description == *description)) return true;
        }
        return false;
    }
    /// The latest reading: no role when nothing shows.
    AccessibleWindow latest() {
        std::lock_guard lock(mutex_);
        return seen_.empty() ? AccessibleWindow{} : seen_.back();
    }
    std::string all() {
        std::lock_guard lock(mutex_);
        std::string out;
        for (const AccessibleWindow& window : seen_) out += "[" + window.name + " | " + window.description + "] ";
        return out;
    }

private:
    void run() {
        while (!stop_) {
            AccessibleWindow now = reader_.showing(::getpid(), "notification");
            {
                std::lock_guard lock(mutex_);
                if (seen_.empty() || seen_.back().name != now.name || seen_.back().description != now.description ||
                    seen_.back().role != now.role) {
                    seen_.push_back(std::move(now));
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    AccessibleWindows reader_;
    std::mutex mutex_;
    std::vector<AccessibleWindow> seen_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class HUDAccessibilityTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!desktop().missing().empty()) GTEST_SKIP() << desktop().missing();
        AppStrings::setLocale(nlohmann::json{{"locale", "en"}}, NoSystemLanguages());
    }
    // Accessibility is on before the QApplication starts, as on a screen reader's desktop.
    static X11TestDesktop& desktop() { return X11TestDesktop::get({.accessibility = true}); }
};

TEST_F(HUDAccessibilityTest, TheNotificationsNameFollowsTheStateShown) {
    const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    ASSERT_NE(bus, nullptr);
    BusWatch watch(bus);
    HUDRig rig;
    rig.hud.begin("claude_web", "Zenity");
    const std::string longError = "The voice stream disconnected before the sentence was finished";
    struct Row {
        HUDState state;
        std::string name;
        std::optional<std::string> description;
    };
    const std::vector<Row> rows = {
        {Kind::listening, "Listening", "Go ahead"},
        {Kind::transcribing, "Finishing the sentence…", std::nullopt},
        {Kind::done, "Inserted into Zenity", std::nullopt},
        {HUDState::error(longError), longError.substr(0, 32), longError},
        {Kind::speaking, "Reading aloud", "Speed 1×"},
    };
    for (const Row& row : rows) {
        rig.showAndSettle(row.state, desktop());
        EXPECT_TRUE(spinUntil([&] { return watch.saw(row.name, row.description); }, 10))
            << row.name << " not read; the bus said: " << watch.all();
    }
    rig.panel.orderOut();
    EXPECT_TRUE(spinUntil([&] { return watch.latest().role.empty(); }, 10))
        << "still showing: " << watch.latest().name;
}

}  // namespace
}  // namespace veska::testing
