// `veska` itself: it starts on a private desktop, runs its start-up, and ends cleanly on a
// signal; without an X display it says why and fails.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <sys/wait.h>

#include <fstream>

#include "e2e/support/E2eDesktop.h"
#include "e2e/support/Launched.h"
#include "e2e/support/VeskaProcess.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

namespace veska {
namespace {

/// Whether a window of Veska's (WM_CLASS "veska") sits inside another client's window below
/// `window`: the tray icon, embedded by the tray host.
bool embeddedVeskaWindow(Display* x, Window window, bool belowRoot) {
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(x, window, &root, &parent, &children, &count) == 0) return false;
    bool found = false;
    for (unsigned int i = 0; i < count && !found; ++i) {
        XClassHint hint{};
        if (belowRoot && XGetClassHint(x, children[i], &hint) != 0) {
            found = hint.res_name != nullptr && std::string(hint.res_name) == "veska";
            XFree(hint.res_name);
            XFree(hint.res_class);
        }
        if (!found) found = embeddedVeskaWindow(x, children[i], true);
    }
    if (children != nullptr) XFree(children);
    return found;
}

/// The children of the root window that are not Veska's own.
std::vector<Window> topLevels(Display* x) {
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    std::vector<Window> out;
    if (XQueryTree(x, DefaultRootWindow(x), &root, &parent, &children, &count) == 0) return out;
    for (unsigned int i = 0; i < count; ++i) {
        XClassHint hint{};
        bool ours = false;
        if (XGetClassHint(x, children[i], &hint) != 0) {
            ours = hint.res_name != nullptr && std::string(hint.res_name) == "veska";
            XFree(hint.res_name);
            XFree(hint.res_class);
        }
        if (!ours) out.push_back(children[i]);
    }
    if (children != nullptr) XFree(children);
    return out;
}

nlohmann::json readJson(const std::filesystem::path& path) {
    std::ifstream in(path);
    return nlohmann::json::parse(in, nullptr, false);
}

TEST(VeskaSmoke, StartsOnADesktopAndEndsCleanlyOnSigterm) {
    e2e::E2eDesktop desktop(e2e::DesktopOptions{.tray = true, .sound = true, .voiceFake = false});
    if (!desktop.missing().empty()) GTEST_SKIP() << desktop.missing();
    // The rig prepares the home and environment; the program runs here so its exit status is seen.
    testing::TempDir output;
    e2e::VeskaProcess home(
        desktop, e2e::VeskaOptions{.program = VESKA_PROGRAM, .signedIn = false, .outputDir = output.path()},
        false);
    ASSERT_EQ(home.error(), "");
    const auto errFile = output.path() / "stderr.txt";
    e2e::Launched veska(
        e2e::LaunchPlan{.argv = {VESKA_PROGRAM}, .environment = home.environment(), .stderrFile = errFile});
    const auto stderrText = [&] {
        std::ifstream in(errFile);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    // The start-up task has run once the first-run keys are stored.
    const auto prefs = home.configDir() / "preferences.json";
    EXPECT_TRUE(e2e::E2eDesktop::waitFor(
        [&] {
            const nlohmann::json stored = readJson(prefs);
            return stored.is_object() && stored.value("v2.openedOnce", false) &&
                   stored.value("v2.launchLoginPrimed", false);
        },
        30, 50))
        << stderrText();
    // The tray icon is embedded in the tray host.
    if (desktop.trayWindow() != 0) {
        EXPECT_TRUE(e2e::E2eDesktop::waitFor(
            [&] {
                for (Window top : topLevels(desktop.x())) {
                    if (embeddedVeskaWindow(desktop.x(), top, false)) return true;
                }
                return false;
            },
            15, 50))
            << stderrText();
    }
    // Launch at login is switched on once, on the first run.
    const auto& environment = home.environment();
    const std::string configHome = environment.contains("XDG_CONFIG_HOME")
                                       ? environment.at("XDG_CONFIG_HOME")
                                       : environment.at("HOME") + "/.config";
    EXPECT_TRUE(std::filesystem::exists(configHome + "/autostart/veska.desktop"));
    ASSERT_TRUE(veska.running()) << stderrText();
    EXPECT_TRUE(veska.stop(10)) << "had to be killed\n" << stderrText();
    // Ended by itself: the signal was handled, the event loop left and everything taken down.
    EXPECT_TRUE(WIFEXITED(veska.exitStatus())) << stderrText();
    EXPECT_EQ(WEXITSTATUS(veska.exitStatus()), 0) << stderrText();
}

TEST(VeskaSmoke, WithoutAnXDisplayItSaysWhyAndFails) {
    testing::TempDir home;
    struct Row {
        std::map<std::string, std::string> variables;
        const char* says;
    };
    const std::vector<Row> rows{
        {{}, "DISPLAY is not set"},
        {{{"WAYLAND_DISPLAY", "wayland-9"}}, "Wayland session without X11"},
        {{{"DISPLAY", ":93999"}}, "cannot open the X11 display \":93999\""},
    };
    for (const Row& row : rows) {
        std::map<std::string, std::string> environment = row.variables;
        environment["HOME"] = home.path().string();
        environment["PATH"] = "/usr/bin:/bin";
        const testing::ProcessResult result = testing::runProcess({VESKA_PROGRAM}, environment, "", 30);
        EXPECT_EQ(result.exitCode, 1) << result.err;
        EXPECT_NE(result.err.find(row.says), std::string::npos) << result.err;
        // Nothing was set up in the home.
        EXPECT_FALSE(std::filesystem::exists(home.path() / ".config")) << row.says;
    }
}

}  // namespace
}  // namespace veska
