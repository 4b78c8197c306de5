// Inserting a finished text: which route each application gets, the waits, the pasteboard.
#include <gtest/gtest.h>

#include "SelectionRig.h"

namespace veska::testing {
namespace {

namespace k = ports::keys;
namespace f = ports::flags;
using ports::AXAttribute;
using sim::TraceKind;

constexpr const char* kElectron = "Contents/Frameworks/Electron Framework.framework";

TEST(SelectionInsert, PrefersKeyboardPasteForTerminalsBrowsersEditorsAndElectronApps) {
    struct Row {
        const char* identifier;
        std::string bundlePath;
        std::vector<std::string> bundleFiles;
        bool expected;
    };
    const std::vector<Row> rows{
        {"", "", {}, true},
        {"com.apple.Terminal", "", {}, true},
        {"com.googlecode.iterm2.nightly", "", {}, true},
        {"com.microsoft.VSCode", "", {}, true},
        {"org.mozilla.Firefox", "", {}, true},
        {"dev.zed.Zed", "", {}, true},
        {"com.example.Marcato", "", {}, true},  // "arc" anywhere in the identifier
        {"org.example.Notes", "", {}, false},
        {"com.apple.TextEdit", "", {}, false},
        {"com.example.Writer", "/Applications/Writer.app", {kElectron}, true},
        {"com.example.Writer", "/Applications/Writer.app", {"Contents/Frameworks/Sparkle.framework"}, false},
        {"com.example.Writer", "", {kElectron}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.identifier) + " at " + row.bundlePath);
        SelectionRig rig;
        const std::int32_t pid = rig.desktop.launchApp(
            {.bundleIdentifier = row.identifier, .bundlePath = row.bundlePath, .bundleFiles = row.bundleFiles});
        EXPECT_EQ(rig.service.prefersKeyboardPaste(pid), row.expected);
    }
    SelectionRig rig;
    EXPECT_TRUE(rig.service.prefersKeyboardPaste(4242));  // no such process
}

enum class Route { accessibility, commandV, automation };

TEST(SelectionInsert, ChoosesTheRouteAndWaitsPerApplicationAndAlwaysLeavesTheText) {
    struct Row {
        const char* name;
        const char* identifier;
        std::string role;
        bool inputMonitoring;
        std::function<void(sim::SimElement&)> fault;
        Route route;
        double commandVAt;  // when ⌘V is posted (route commandV)
        double elapsed;     // when insertText returns
        std::string fieldAfter;
    };
    auto none = [](sim::SimElement&) {};
    const std::vector<Row> rows{
        {"native field takes the selected text", "org.example.Notes", "AXTextField", true, none, Route::accessibility,
         0, 0.03, "ab[hello]"},
        {"a settable question that fails does not stop it", "org.example.Notes", "AXTextField", true,
         [](sim::SimElement& e) { e.settableFaults[AXAttribute::selectedText] = {.error = ports::AXError::cannotComplete}; },
         Route::accessibility, 0, 0.03, "ab[hello]"},
        {"code editor pastes with long timings", "com.microsoft.VSCode", "AXTextArea", true, none, Route::commandV,
         0.11, 0.29, "ab[hello]"},
        {"static text is no text control", "org.example.Notes", "AXStaticText", true, none, Route::commandV, 0.06,
         0.18, "ab[]"},
        {"selected text not settable", "org.example.Notes", "AXTextField", true,
         [](sim::SimElement& e) { e.settable.erase(AXAttribute::selectedText); }, Route::commandV, 0.06, 0.18,
         "ab[hello]"},
        {"refused write falls back to a paste", "org.example.Notes", "AXTextArea", true,
         [](sim::SimElement& e) { e.writeFaults[AXAttribute::selectedText] = {.error = ports::AXError::failure}; },
         Route::commandV, 0.06, 0.18, "ab[hello]"},
        {"no input monitoring: the automation route", "com.microsoft.VSCode", "AXTextArea", false, none,
         Route::automation, 0, 0.03 + 0.08 + 0.08, "ab[hello]"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SelectionRig rig;
        const std::int32_t pid = rig.desktop.launchApp({.bundleIdentifier = row.identifier}, true);
        const std::uint64_t field = rig.desktop.addFocusedField(pid, {.role = row.role, .text = "ab[]", .selection = ports::TextRange{3, 0}});
        row.fault(rig.desktop.element(field));
        rig.desktop.permissions().setGranted(ports::Permission::inputMonitoring, row.inputMonitoring);
        rig.setPasteboard("before");

        EXPECT_TRUE(rig.loop.run(rig.service.insertText("hello", rig.desktop.workspace().application(pid))));
        EXPECT_NEAR(rig.loop.now(), row.elapsed, 1e-9);
        EXPECT_EQ(rig.desktop.text(field), row.fieldAfter);
        EXPECT_EQ(rig.desktop.pasteboard().contents(), (ports::PasteboardContents{.plainText = "hello"}));

        std::vector<ports::KeyCode> pastes;
        double pastedAt = -1;
        for (const sim::TraceEntry& e : rig.posted()) {
            if (e.keyCode == k::kV && e.down) {
                pastes.push_back(e.keyCode);
                pastedAt = e.time;
            }
        }
        EXPECT_EQ(pastes.size(), row.route == Route::accessibility ? 0U : 1U);
        if (row.route == Route::commandV) EXPECT_NEAR(pastedAt, row.commandVAt, 1e-9);
        EXPECT_EQ(rig.desktop.keyPoster().automationRuns(), row.route == Route::automation ? 1 : 0);
        EXPECT_EQ(rig.desktop.permissions().settingsOpenedCount(ports::Permission::inputMonitoring),
                  row.route == Route::automation ? 1 : 0);
    }
}

TEST(SelectionInsert, EmptyTextDoesNothing) {
    SelectionRig rig;
    rig.field("AXTextField", "x");
    rig.setPasteboard("mine", "<b>mine</b>");
    const std::int64_t changes = rig.desktop.pasteboard().changeCount();
    EXPECT_FALSE(rig.loop.run(rig.service.insertText("", std::nullopt)));
    EXPECT_EQ(rig.desktop.pasteboard().changeCount(), changes);
    EXPECT_EQ(rig.desktop.pasteboard().contents().html, "<b>mine</b>");
    EXPECT_TRUE(rig.posted().empty());
    EXPECT_EQ(rig.loop.now(), 0);
}

TEST(SelectionInsert, ReleasesHeldModifiersBeforeTheChord) {
    SelectionRig rig;
    const std::int32_t pid = rig.desktop.launchApp({.bundleIdentifier = "com.google.Chrome"}, true);
    const std::uint64_t field = rig.desktop.addFocusedField(pid, {.role = "AXTextArea", .text = ""});
    rig.desktop.keyboard().press(k::kControl);  // still held from the user's gesture
    EXPECT_TRUE(rig.loop.run(rig.service.insertText("hi", std::nullopt)));
    EXPECT_EQ(rig.desktop.text(field), "hi");

    std::vector<ports::SyntheticKey> keys;
    for (const sim::TraceEntry& e : rig.posted()) keys.push_back({e.keyCode, e.down, e.flags});
    const std::vector<ports::SyntheticKey> expected{
        {k::kControl, false, 0},      {k::kRightControl, false, 0}, {k::kOption, false, 0},
        {k::kRightOption, false, 0},  {k::kShift, false, 0},        {k::kRightShift, false, 0},
        {k::kCommand, true, f::kCommand}, {k::kV, true, f::kCommand}, {k::kV, false, f::kCommand},
        {k::kCommand, false, 0},
    };
    EXPECT_EQ(keys, expected);
}

TEST(SelectionInsert, TargetIsActivatedOrReplacedWhenItQuit) {
    struct Row {
        const char* name;
        bool quit;
        int activations;
        double elapsed;
        bool targetGetsText;
    };
    const std::vector<Row> rows{
        {"background target comes to the front first", false, 1, 0.2 + 0.03, true},
        {"quit target: the front app gets the text", true, 0, 0.03, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SelectionRig rig;
        const std::uint64_t frontField = rig.field("AXTextField", "");
        const std::int32_t target =
            rig.desktop.launchApp({.bundleIdentifier = "org.example.Mail", .activationDelaySeconds = 0.1});
        const std::uint64_t targetField = rig.desktop.addFocusedField(target, {.role = "AXTextArea", .text = ""});
        const std::optional<ports::RunningApp> snapshot = rig.desktop.workspace().application(target);
        if (row.quit) rig.desktop.workspace().quit(target);

        EXPECT_TRUE(rig.loop.run(rig.service.insertText("x", snapshot)));
        EXPECT_EQ(rig.desktop.workspace().activationRequests(target), row.activations);
        EXPECT_NEAR(rig.loop.now(), row.elapsed, 1e-9);
        if (!row.quit) EXPECT_EQ(rig.desktop.text(targetField), "x");
        EXPECT_EQ(rig.desktop.text(frontField), row.targetGetsText ? "" : "x");
    }
}

TEST(SelectionInsert, WithoutAnyAppThePasteUsesLongTimings) {
    SelectionRig rig;
    rig.desktop.workspace().clearFront();
    EXPECT_TRUE(rig.loop.run(rig.service.insertText("x", std::nullopt)));
    EXPECT_NEAR(rig.loop.now(), 0.03 + 0.08 + 0.18, 1e-9);
    EXPECT_EQ(rig.desktop.pasteboard().plainText(), "x");
}

TEST(SelectionInsert, SettingsPageOpensOncePerRunAndKeysThatCannotBeMadeSkipTheirWait) {
    SelectionRig rig;
    rig.desktop.permissions().setGranted(ports::Permission::inputMonitoring, false);
    rig.desktop.keyPoster().setEventsFail(true);
    const std::int32_t pid = rig.desktop.launchApp({.bundleIdentifier = "com.tinyspeck.slackmacgap"}, true);
    const std::uint64_t field = rig.desktop.addFocusedField(pid, {.role = "AXTextArea", .text = ""});
    EXPECT_TRUE(rig.loop.run(rig.service.insertText("one", std::nullopt)));
    EXPECT_NEAR(rig.loop.now(), 0.08 + 0.08, 1e-9);  // no modifier wait: the key-ups could not be made
    EXPECT_TRUE(rig.loop.run(rig.service.insertText("two", std::nullopt)));
    EXPECT_EQ(rig.desktop.permissions().settingsOpenedCount(ports::Permission::inputMonitoring), 1);
    EXPECT_EQ(rig.desktop.keyPoster().automationRuns(), 2);
    EXPECT_EQ(rig.desktop.text(field), "onetwo");
}

TEST(SelectionInsert, InputMonitoringIsProbedOnEveryCall) {
    SelectionRig rig;
    EXPECT_TRUE(rig.service.hasInputMonitoring());
    rig.desktop.permissions().setGranted(ports::Permission::inputMonitoring, false);
    EXPECT_FALSE(rig.service.hasInputMonitoring());
    rig.desktop.permissions().setGranted(ports::Permission::inputMonitoring, true);
    EXPECT_TRUE(rig.service.hasInputMonitoring());
    rig.desktop.keyboard().refuseTaps(ports::TapLocation::session, ports::TapOptions::defaultTap);
    EXPECT_FALSE(rig.service.hasInputMonitoring());
}

}  // namespace
}  // namespace veska::testing
