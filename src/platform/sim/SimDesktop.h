// The simulated desktop: applications, accessibility trees, pasteboard, keyboard, permissions.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "platform/sim/SimAccessibility.h"
#include "platform/sim/SimElementTree.h"
#include "platform/sim/SimKeyEffects.h"
#include "platform/sim/SimKeyPoster.h"
#include "platform/sim/SimKeyboard.h"
#include "platform/sim/SimPasteboard.h"
#include "platform/sim/SimPermissions.h"
#include "platform/sim/SimTrace.h"
#include "platform/sim/SimWorkspace.h"

namespace veska::sim {

/// A scenario description that cannot be built; the message says what and where.
class SimDescriptionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct SimDesktopOptions {
    std::int32_t ownPid = 100;
    std::string ownBundleIdentifier = "app.veska.Veska";
    std::string ownName = "Veska";
};

/// One whole simulated desktop on one executor's virtual time. Owns every part and wires
/// them: keys reach the keyboard's taps and monitors, then act on the focused element of the
/// application in front. Veska's own process is launched as an application, in the
/// background. Each part implements its port and is handed to the code under test as that
/// port. Deterministic; lives on the loop's thread; destroy it after the code using its ports.
class SimDesktop {
public:
    explicit SimDesktop(rt::Executor& executor, SimDesktopOptions options = {});
    SimDesktop(const SimDesktop&) = delete;
    SimDesktop& operator=(const SimDesktop&) = delete;

    /// Builds a desktop from a description (format in docs/simulated-desktop.md); throws
    /// `SimDescriptionError` when the description is malformed.
    static std::unique_ptr<SimDesktop> fromJson(rt::Executor& executor, const nlohmann::json& description);

    [[nodiscard]] SimTrace& trace() { return trace_; }
    [[nodiscard]] SimPermissions& permissions() { return permissions_; }
    [[nodiscard]] SimWorkspace& workspace() { return workspace_; }
    [[nodiscard]] SimPasteboard& pasteboard() { return pasteboard_; }
    [[nodiscard]] SimElementTree& elements() { return tree_; }
    [[nodiscard]] SimAccessibility& accessibility() { return accessibility_; }
    [[nodiscard]] SimKeyboard& keyboard() { return keyboard_; }
    [[nodiscard]] SimKeyPoster& keyPoster() { return poster_; }
    [[nodiscard]] std::int32_t ownPid() const { return workspace_.ownProcessId(); }

    /// Launches an application, optionally bringing it to the front.
    std::int32_t launchApp(SimAppSpec desc, bool frontmost = false);
    /// Adds an element under `parent` (0: a new window of the application).
    std::uint64_t addElement(std::int32_t pid, std::uint64_t parent, const SimElementSpec& desc);
    /// The common shape: a window holding one text element that has the application's focus.
    std::uint64_t addFocusedField(std::int32_t pid, const SimElementSpec& field);
    void focus(std::int32_t pid, std::uint64_t element) { tree_.focus(pid, element); }

    /// An element that must exist (a test's own handle).
    [[nodiscard]] SimElement& element(std::uint64_t id);
    [[nodiscard]] std::string text(std::uint64_t id) { return element(id).textUtf8(); }
    [[nodiscard]] ports::TextRange selection(std::uint64_t id) { return element(id).selection; }

private:
    SimTrace trace_;
    SimPermissions permissions_;
    SimWorkspace workspace_;
    SimPasteboard pasteboard_;
    SimElementTree tree_;
    SimAccessibility accessibility_;
    SimKeyboard keyboard_;
    SimKeyEffects effects_;
    SimKeyPoster poster_;
};

}  // namespace veska::sim
