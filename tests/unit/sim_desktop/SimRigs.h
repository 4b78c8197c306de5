// The contract suites' rigs over the simulated desktop: one desktop on one virtual loop each.
#pragma once

#include <memory>
#include <string>

#include "contract/AccessibilityContract.h"
#include "contract/KeyEventSourceContract.h"
#include "contract/KeyPosterContract.h"
#include "contract/PasteboardContract.h"
#include "contract/PermissionsContract.h"
#include "contract/WorkspaceContract.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimText.h"
#include "runtime/VirtualLoop.h"
#include "text/Utf.h"

namespace veska::sim::testing {

/// A desktop with a "Notes" application in front, its text area focused.
class SimRigBase {
public:
    SimRigBase() {
        appPid = desktop.launchApp({.bundleIdentifier = "org.example.Notes", .localizedName = "Notes"}, true);
        field = desktop.addFocusedField(appPid, {.role = std::string(ports::roles::kTextArea), .text = ""});
    }
    void pumpFor(double seconds) { loop.runFor(seconds); }
    void fill(const std::string& text, ports::TextRange selection) {
        SimElement& e = desktop.element(field);
        e.text = text::toUtf16(text);
        e.selection = selection;
    }

    rt::VirtualLoop loop;
    SimDesktop desktop{loop.main()};
    std::int32_t appPid = 0;
    std::uint64_t field = 0;
};

class SimPasteboardRig final : public contract::PasteboardRig, public SimRigBase {
public:
    ports::Pasteboard& pasteboard() override { return desktop.pasteboard(); }
    void writeFromOtherApp(const std::string& text) override {
        desktop.pasteboard().writeFromApp(appPid, {.plainText = text, .html = std::nullopt, .rtf = std::nullopt});
    }
    void pump(double seconds) override { pumpFor(seconds); }
};

class SimWorkspaceRig final : public contract::WorkspaceRig, public SimRigBase {
public:
    ports::Workspace& workspace() override { return desktop.workspace(); }
    contract::LaunchedApp launchApp(const std::string& name) override {
        const std::string id = "org.example." + name;
        return {desktop.launchApp({.bundleIdentifier = id, .localizedName = name}), id, name};
    }
    void bringToFront(std::int32_t pid) override { desktop.workspace().bringToFront(pid); }
    void quit(std::int32_t pid) override { desktop.workspace().quit(pid); }
    std::string existingPath() override {
        desktop.workspace().addFile("/opt/example/Tool.app/Contents/Info.plist");
        return "/opt/example/Tool.app/Contents/Info.plist";
    }
    std::string missingPath() override { return "/opt/example/Tool.app/Contents/Missing"; }
    void pump(double seconds) override { pumpFor(seconds); }
};

class SimPermissionsRig final : public contract::PermissionsRig, public SimRigBase {
public:
    ports::Permissions& permissions() override { return desktop.permissions(); }
    [[nodiscard]] bool canSwitch() const override { return true; }
    void setGranted(ports::Permission permission, bool granted) override {
        desktop.permissions().setGranted(permission, granted);
    }
    bool run(rt::Task<bool> request) override { return loop.run(std::move(request), 60); }
    int settingsShown(ports::Permission permission) override {
        return desktop.permissions().settingsOpenedCount(permission);
    }
};

class SimKeyEventSourceRig final : public contract::KeyEventSourceRig, public SimRigBase {
public:
    ports::KeyEventSource& source() override { return desktop.keyboard(); }
    void userPress(ports::KeyCode code) override { desktop.keyboard().press(code); }
    void userRelease(ports::KeyCode code) override { desktop.keyboard().release(code); }
    void postOwn(const ports::SyntheticKey& key) override { desktop.keyPoster().post({key}); }
    [[nodiscard]] std::int32_t ownPid() const override { return desktop.ownPid(); }
    std::vector<ports::KeyCode> frontAppKeys() override { return desktop.trace().keysReceivedBy(appPid); }
    [[nodiscard]] bool canSwitchInputMonitoring() const override { return true; }
    void setInputMonitoring(bool granted) override {
        desktop.permissions().setGranted(ports::Permission::inputMonitoring, granted);
    }
    void pump(double seconds) override { pumpFor(seconds); }
};

class SimKeyPosterRig final : public contract::KeyPosterRig, public SimRigBase {
public:
    ports::KeyPoster& poster() override { return desktop.keyPoster(); }
    ports::Pasteboard& pasteboard() override { return desktop.pasteboard(); }
    void setField(const std::string& text, ports::TextRange selection) override { fill(text, selection); }
    std::string fieldText() override { return desktop.text(field); }
    void userPress(ports::KeyCode code) override { desktop.keyboard().press(code); }
    void userRelease(ports::KeyCode code) override { desktop.keyboard().release(code); }
    [[nodiscard]] bool canSwitchInputMonitoring() const override { return true; }
    void setInputMonitoring(bool granted) override {
        desktop.permissions().setGranted(ports::Permission::inputMonitoring, granted);
    }
    void pump(double seconds) override { pumpFor(seconds); }
};

class SimAccessibilityRig final : public contract::AccessibilityRig, public SimRigBase {
public:
    ports::Accessibility& accessibility() override { return desktop.accessibility(); }
    std::int32_t showField(const std::string& text, ports::TextRange selection) override {
        fill(text, selection);
        return appPid;
    }
    void quitFieldApp() override { desktop.workspace().quit(appPid); }
    [[nodiscard]] bool canSwitchTrust() const override { return true; }
    void setTrusted(bool trusted) override {
        desktop.permissions().setGranted(ports::Permission::accessibility, trusted);
    }
    void pump(double seconds) override { pumpFor(seconds); }
};

template <class Rig, class Port>
struct SimFactory {
    static std::unique_ptr<Port> make() { return std::make_unique<Rig>(); }
};

}  // namespace veska::sim::testing
