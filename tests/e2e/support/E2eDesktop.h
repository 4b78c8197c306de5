// The private desktop for running Veska end to end: X server, session bus, accessibility bus,
// tray host, sound server with a microphone the test speaks into, and the voice stream fake.
#pragma once

#include <X11/Xlib.h>

#include "e2e/support/Launched.h"
#include "support/PrivateDesktop.h"

namespace veska::e2e {

struct DesktopOptions {
    int width = 1280;
    int height = 800;
    /// `trayer`, an XEmbed tray host, on the top edge.
    bool tray = true;
    /// A PulseAudio daemon whose default source is a microphone fed by the test.
    bool sound = true;
    /// The Claude voice stream fake (tests/fakes/claude-voice).
    bool voiceFake = true;
};

/// The shared private desktop with accessibility switched on, xdotool and zenity at hand, and
/// by default everything else Veska meets on a user's desktop.
class E2eDesktop : public testing::PrivateDesktop {
public:
    explicit E2eDesktop(DesktopOptions options = {})
        : PrivateDesktop({.width = options.width,
                          .height = options.height,
                          .accessibility = true,
                          .tray = options.tray,
                          .sound = options.sound,
                          .voiceFake = options.voiceFake,
                          .programs = {"xdotool", "zenity"}}) {}
};

}  // namespace veska::e2e
