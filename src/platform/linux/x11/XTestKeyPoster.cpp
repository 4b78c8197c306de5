// Synthetic keys on X11 through the XTest extension.
#include "platform/linux/x11/XTestKeyPoster.h"

#include <X11/XKBlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cerrno>

#include "platform/linux/x11/KeyMapping.h"
#include "platform/linux/x11/X11Windows.h"

extern char** environ;

namespace veska::platform {

namespace {

bool isShortcutLetter(ports::KeyCode code) {
    return code == ports::keys::kV || code == ports::keys::kC;
}

}  // namespace

std::optional<std::vector<XKeyTransition>> translateKeys(const std::vector<ports::SyntheticKey>& keys,
                                                         PasteChord chord) {
    std::vector<XKeyTransition> out;
    out.reserve(keys.size() + 2);
    for (const ports::SyntheticKey& key : keys) {
        const std::optional<KeySym> keysym = postedKeysym(key.keyCode);
        if (!keysym) return std::nullopt;
        const bool shifted = chord == PasteChord::controlShiftV && isShortcutLetter(key.keyCode) &&
                             (key.flags & ports::flags::kCommand) != 0 && (key.flags & ports::flags::kShift) == 0;
        if (shifted) out.push_back({XK_Shift_L, true});
        out.push_back({*keysym, key.down});
        if (shifted) out.push_back({XK_Shift_L, false});
    }
    return out;
}

XTestKeyPoster::XTestKeyPoster(std::unique_ptr<X11Connection> connection, PasteChordTable chords,
                               std::shared_ptr<SyntheticKeyLedger> ledger, std::string automationProgram)
    : x_(std::move(connection)),
      chords_(std::move(chords)),
      automationProgram_(std::move(automationProgram)),
      ledger_(ledger ? std::move(ledger) : std::make_shared<SyntheticKeyLedger>()) {
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    hasXTest_ = x_ && XTestQueryExtension(x_->display(), &eventBase, &errorBase, &major, &minor) == True;
}

bool XTestKeyPoster::canPost() const {
    return hasXTest_;
}

PasteChord XTestKeyPoster::focusedChord() const {
    const std::optional<ClientWindow> active = activeClientWindow(*x_);
    if (!active) return PasteChord::controlV;
    return chords_.chordFor(active->instance, active->windowClass);
}

std::array<char, 32> XTestKeyPoster::keymap() const {
    std::array<char, 32> keys{};
    XQueryKeymap(x_->display(), keys.data());
    return keys;
}

std::vector<KeyCode> XTestKeyPoster::heldModifierKeycodes() const {
    const std::array<char, 32> keymap = this->keymap();
    std::vector<KeyCode> held;
    XModifierKeymap* modifiers = XGetModifierMapping(x_->display());
    if (modifiers == nullptr) return held;
    const int count = 8 * modifiers->max_keypermod;
    for (int i = 0; i < count; ++i) {
        const KeyCode code = modifiers->modifiermap[i];
        if (code == 0) continue;
        const bool down = (keymap[code / 8] & (1 << (code % 8))) != 0;
        if (down && std::find(held.begin(), held.end(), code) == held.end()) held.push_back(code);
    }
    XFreeModifiermap(modifiers);
    return held;
}

bool XTestKeyPoster::post(const std::vector<ports::SyntheticKey>& keys) {
    if (!hasXTest_) return false;
    const std::optional<std::vector<XKeyTransition>> transitions = translateKeys(keys, focusedChord());
    if (!transitions) return false;
    std::vector<std::pair<KeyCode, bool>> events;
    events.reserve(transitions->size());
    for (const XKeyTransition& t : *transitions) {
        const KeyCode code = XKeysymToKeycode(x_->display(), t.keysym);
        if (code == 0) return false;  // the layout has no key for it: post nothing
        events.emplace_back(code, t.down);
    }
    std::array<char, 32> down = keymap();
    auto isDown = [&](KeyCode code) { return (down[code / 8] & (1 << (code % 8))) != 0; };
    auto send = [&](KeyCode code, bool press) {
        if (!press && !isDown(code)) return;
        XTestFakeKeyEvent(x_->display(), code, press ? True : False, CurrentTime);
        ledger_->posted(1);
        if (press) {
            down[code / 8] = static_cast<char>(down[code / 8] | (1 << (code % 8)));
        } else {
            down[code / 8] = static_cast<char>(down[code / 8] & ~(1 << (code % 8)));
        }
    };
    for (KeyCode code : heldModifierKeycodes()) send(code, false);
    for (const auto& [code, press] : events) send(code, press);
    XSync(x_->display(), False);
    return true;
}

bool XTestKeyPoster::postViaAutomation(const std::vector<ports::SyntheticKey>& keys) {
    const std::optional<std::vector<XKeyTransition>> transitions = translateKeys(keys, focusedChord());
    if (!transitions || transitions->empty()) return false;
    std::vector<std::string> args{automationProgram_};
    for (const XKeyTransition& t : *transitions) {
        const char* name = XKeysymToString(t.keysym);
        if (name == nullptr) return false;
        args.emplace_back(t.down ? "keydown" : "keyup");
        if (t.down && args.size() == 2) args.emplace_back("--clearmodifiers");
        args.emplace_back(name);
    }
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawnp(&child, automationProgram_.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return false;
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

ports::KeyFlags XTestKeyPoster::heldModifiers() const {
    ports::KeyFlags flags = 0;
    for (KeyCode code : heldModifierKeycodes()) {
        flags |= modifierFlagOfKeysym(XkbKeycodeToKeysym(x_->display(), code, 0, 0));
    }
    return flags;
}

}  // namespace veska::platform
