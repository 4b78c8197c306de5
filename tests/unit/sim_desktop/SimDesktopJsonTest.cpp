// Building a simulated desktop from a description, and refusing bad descriptions clearly.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "SimRigs.h"

namespace veska::sim::testing {
namespace {

using nlohmann::json;

const char* const kDescription = R"({
  "ownPid": 77,
  "permissions": {"microphone": "notDetermined", "inputMonitoring": false, "screenRecording": true},
  "pasteboard": {"text": "before", "html": "<p>before</p>"},
  "apps": [
    {"pid": 300, "bundleIdentifier": "com.example.Browser", "name": "Browser",
     "bundlePath": "/Applications/Browser.app",
     "bundleFiles": ["Contents/Frameworks/Electron Framework.framework"],
     "windows": [{"title": "Page", "children": [
        {"role": "AXWebArea", "text": "Xin chào thế giới", "selection": [4, 4], "editable": false,
         "html": "<b>chào</b>", "focused": true,
         "faults": {"read": {"AXSelectedText": "attributeUnsupported"},
                    "parameterized": {"AXStringForRange": {"stalls": true}}}}]}]},
    {"pid": 301, "bundleIdentifier": "com.example.Notes", "name": "Notes", "frontmost": true,
     "keyDelay": 0.01, "shortcut": ["command"],
     "windows": [{"children": [{"role": "AXTextArea", "text": "note", "focused": true,
                                "settable": ["AXValue"]}]}]}
  ],
  "keys": [{"at": 0.5, "press": "control"}, {"at": 0.55, "release": "control"}, {"at": 0.7, "tap": "escape"}]
})";

TEST(SimDesktopJson, BuildsApplicationsTreesPasteboardPermissionsAndKeys) {
    rt::VirtualLoop loop;
    auto desktop = SimDesktop::fromJson(loop.main(), json::parse(kDescription));
    EXPECT_EQ(desktop->ownPid(), 77);
    EXPECT_EQ(desktop->workspace().frontmostPid(), 301);
    EXPECT_TRUE(desktop->workspace().fileExists("/Applications/Browser.app/Contents/Frameworks/Electron Framework.framework"));
    auto& perms = desktop->permissions();
    EXPECT_EQ(perms.status(ports::Permission::microphone), ports::PermissionStatus::notDetermined);
    EXPECT_FALSE(perms.granted(ports::Permission::inputMonitoring));
    EXPECT_TRUE(perms.granted(ports::Permission::accessibility)) << "unlisted permissions stay granted";
    EXPECT_EQ(desktop->pasteboard().html(), "<p>before</p>");

    auto& ax = desktop->accessibility();
    const auto browserFocus = ax.elementAttribute(ax.application(300), ports::AXAttribute::focusedUIElement).value();
    EXPECT_EQ(ax.stringAttribute(browserFocus, ports::AXAttribute::role).value(), "AXWebArea");
    EXPECT_EQ(ax.attribute(browserFocus, ports::AXAttribute::selectedText).error(), ports::AXError::attributeUnsupported);
    EXPECT_EQ(ax.parameterizedAttribute(browserFocus, ports::AXParameterizedAttribute::stringForRange,
                                        ports::TextRange{4, 4}).error(),
              ports::AXError::cannotComplete);
    EXPECT_EQ(ax.rangeAttribute(browserFocus, ports::AXAttribute::selectedTextRange).value(), (ports::TextRange{4, 4}));
    const auto noteFocus = ax.elementAttribute(ax.systemWide(), ports::AXAttribute::focusedUIElement).value();
    EXPECT_EQ(ax.isAttributeSettable(noteFocus, ports::AXAttribute::selectedText).value(), false);

    std::vector<std::pair<double, ports::KeyCode>> seen;
    auto monitor = desktop->keyboard().addGlobalMonitor({}, [&](const ports::KeyEvent& e) {
        seen.emplace_back(loop.now(), e.keyCode);
    });
    loop.runFor(1);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_DOUBLE_EQ(seen[0].first, 0.5);
    EXPECT_EQ(seen[2].second, ports::keys::kEscape);
}

TEST(SimDesktopJson, BadDescriptionsAreRefusedWithTheirPlace) {
    const struct {
        const char* description;
        const char* mentions;
    } rows[] = {
        {R"([1, 2])", "top level"},
        {R"({"ownPid": -4})", "ownPid"},
        {R"({"ownPid": "seven"})", "ownPid"},
        {R"({"apps": {}})", "apps"},
        {R"({"apps": [{"pid": 5}, {"pid": 5}]})", "apps[1].pid"},
        {R"({"apps": [{"pid": 100}]})", "apps[0].pid"},
        {R"({"apps": [{"frontmost": true}, {"frontmost": true}]})", "apps[1].frontmost"},
        {R"({"apps": [{"shortcut": ["hyper"]}]})", "apps[0].shortcut"},
        {R"({"apps": [{"windows": [{"settable": ["AXColour"]}]}]})", "AXColour"},
        {R"({"apps": [{"windows": [{"faults": {"read": {"AXValue": "oops"}}}]}]})", "oops"},
        {R"({"apps": [{"windows": [{"text": "abc", "selection": [2, 5]}]}]})", "selection"},
        {R"({"apps": [{"windows": [{"text": "abc", "selection": [1]}]}]})", "selection"},
        {R"({"apps": [{"windows": [{"overrides": {"AXValue": {"a": 1}}}]}]})", "overrides.AXValue"},
        {R"({"permissions": {"microphone": "maybe"}})", "permissions.microphone"},
        {R"({"keys": [{"at": 1, "press": "hyperspace"}]})", "keys[0].press"},
        {R"({"keys": [{"at": 1}]})", "keys[0]"},
        {R"({"keys": [{"press": "a", "tap": "b"}]})", "keys[0]"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.description);
        rt::VirtualLoop loop;
        try {
            SimDesktop::fromJson(loop.main(), json::parse(row.description));
            ADD_FAILURE() << "accepted";
        } catch (const SimDescriptionError& error) {
            EXPECT_NE(std::string(error.what()).find(row.mentions), std::string::npos) << error.what();
        }
    }
}

TEST(SimDesktopJson, DeepNestingIsRefusedNotRecursedWithoutEnd) {
    json element = json::object();
    for (int i = 0; i < 200; ++i) element = json{{"children", json::array({element})}};
    rt::VirtualLoop loop;
    EXPECT_THROW(SimDesktop::fromJson(loop.main(), json{{"apps", json::array({json{{"windows", json::array({element})}}})}}),
                 SimDescriptionError);
}

}  // namespace
}  // namespace veska::sim::testing
