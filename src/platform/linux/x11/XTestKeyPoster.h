// Synthetic keys on X11 through the XTest extension.
#pragma once

#include <X11/Xlib.h>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/x11/PasteChordTable.h"
#include "platform/linux/x11/SyntheticKeyLedger.h"
#include "platform/linux/x11/X11Connection.h"
#include "ports/KeyPoster.h"

namespace veska::platform {

/// One key transition as the X server sees it.
struct XKeyTransition {
    KeySym keysym = 0;
    bool down = true;
    friend bool operator==(const XKeyTransition&, const XKeyTransition&) = default;
};

/// The X transitions for a posted sequence: Command stands for Control, and in a window whose
/// paste chord is Control+Shift+V every Command+V and Command+C is sent with Shift held.
/// Nothing when a key has no X counterpart (then nothing is posted at all).
[[nodiscard]] std::optional<std::vector<XKeyTransition>> translateKeys(const std::vector<ports::SyntheticKey>& keys,
                                                                        PasteChord chord);

/// Posts keys into whichever window has the focus, with XTest on a connection of its own.
/// Modifiers the user still holds are released first, so that a held Control does not turn a
/// Backspace into "delete word". The automation route runs `xdotool` in a process of its own
/// (its keys reach key watchers as another program's). A key-up of a key that is not down is
/// left out: the server would drop it and the ledger would count a key no one sees.
/// Synchronous; one executor at a time.
class XTestKeyPoster : public ports::KeyPoster {
public:
    XTestKeyPoster(std::unique_ptr<X11Connection> connection, PasteChordTable chords,
                   std::shared_ptr<SyntheticKeyLedger> ledger, std::string automationProgram = "xdotool");

    [[nodiscard]] bool canPost() const override;
    bool post(const std::vector<ports::SyntheticKey>& keys) override;
    bool postViaAutomation(const std::vector<ports::SyntheticKey>& keys) override;
    [[nodiscard]] ports::KeyFlags heldModifiers() const override;

    /// The transitions this poster sent, for the key source to recognise them.
    [[nodiscard]] const SyntheticKeyLedger& ledger() const { return *ledger_; }

private:
    [[nodiscard]] PasteChord focusedChord() const;
    [[nodiscard]] std::vector<KeyCode> heldModifierKeycodes() const;
    [[nodiscard]] std::array<char, 32> keymap() const;

    std::unique_ptr<X11Connection> x_;
    PasteChordTable chords_;
    std::string automationProgram_;
    std::shared_ptr<SyntheticKeyLedger> ledger_;
    bool hasXTest_ = false;
};

}  // namespace veska::platform
