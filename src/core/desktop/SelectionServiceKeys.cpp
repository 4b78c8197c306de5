// Synthetic keys and the input-monitoring permission: Command chords, modifier releases, probe.
#include "core/desktop/SelectionService.h"

#include <array>
#include <vector>

namespace veska {

namespace {

namespace keys = ports::keys;

/// Both Controls, both Options and both Shifts; Command is left alone.
constexpr std::array<ports::KeyCode, 6> kStuckModifiers{keys::kControl, keys::kRightControl, keys::kOption,
                                                        keys::kRightOption, keys::kShift, keys::kRightShift};

std::vector<ports::SyntheticKey> commandChord(ports::KeyCode keyCode) {
    return {
        {keys::kCommand, true, ports::flags::kCommand},
        {keyCode, true, ports::flags::kCommand},
        {keyCode, false, ports::flags::kCommand},
        {keys::kCommand, false, ports::flags::kNone},
    };
}

}  // namespace

SelectionService::SelectionService(DesktopServices services) : services_(services) {}

bool SelectionService::hasInputMonitoring() {
    // A tap that could swallow key-downs is what the permission guards; it is dropped at once.
    const ports::TapRequest probe{
        .location = ports::TapLocation::session,
        .options = ports::TapOptions::defaultTap,
        .mask = {.keyDown = true, .keyUp = false, .flagsChanged = false},
    };
    std::unique_ptr<ports::KeyTap> tap =
        services_.keys.createTap(probe, [](const ports::KeyEvent&) { return ports::TapVerdict::pass; });
    return tap != nullptr;
}

void SelectionService::requestInputMonitoring() {
    // Probing first makes the platform list Veska on the settings page.
    (void)hasInputMonitoring();
    services_.permissions.openSettings(ports::Permission::inputMonitoring);
}

bool SelectionService::postCommandC(ports::KeyCode keyCode) { return services_.poster.post(commandChord(keyCode)); }

bool SelectionService::pasteViaSystemEvents() { return services_.poster.postViaAutomation(commandChord(keys::kV)); }

void SelectionService::releaseStuckModifiers() { (void)postModifierReleases(); }

bool SelectionService::postModifierReleases() {
    std::vector<ports::SyntheticKey> ups;
    ups.reserve(kStuckModifiers.size());
    for (ports::KeyCode code : kStuckModifiers) ups.push_back({code, false, ports::flags::kNone});
    return services_.poster.post(ups);
}

}  // namespace veska
