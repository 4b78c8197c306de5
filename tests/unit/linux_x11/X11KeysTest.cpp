// Key codes against keysyms, the paste chord per window class, and the translation of posted
// sequences into X key transitions.
#include <gtest/gtest.h>
// Xlib's macros must come after the test framework's headers.
#include <X11/keysym.h>

#include "platform/linux/x11/KeyMapping.h"
#include "platform/linux/x11/PasteChordTable.h"
#include "platform/linux/x11/XTestKeyPoster.h"

namespace veska::platform {
namespace {

namespace keys = ports::keys;
namespace flags = ports::flags;

TEST(KeyMapping, EveryPostableKeyIsObservedAsItself) {
    int mapped = 0;
    for (ports::KeyCode code = 0; code < 128; ++code) {
        if (code == keys::kCommand || code == keys::kRightCommand) continue;  // posted as Control
        const auto keysym = postedKeysym(code);
        if (!keysym) continue;
        ++mapped;
        EXPECT_EQ(observedKeyCode(*keysym), code) << "key code " << code;
    }
    EXPECT_GE(mapped, 80);
}

TEST(KeyMapping, TheKeysTheGesturesWatch) {
    struct Row {
        KeySym keysym;
        ports::KeyCode code;
        ports::KeyFlags flag;
    };
    const Row rows[] = {
        {XK_Control_L, keys::kControl, flags::kControl}, {XK_Control_R, keys::kRightControl, flags::kControl},
        {XK_Alt_L, keys::kOption, flags::kOption},       {XK_Alt_R, keys::kRightOption, flags::kOption},
        {XK_ISO_Level3_Shift, keys::kRightOption, flags::kOption},
        {XK_Super_L, keys::kCommand, flags::kCommand},   {XK_Meta_R, keys::kRightCommand, flags::kCommand},
        {XK_Shift_L, keys::kShift, flags::kShift},       {XK_Shift_R, keys::kRightShift, flags::kShift},
        {XK_Escape, keys::kEscape, 0},                   {XK_L, keys::kL, 0},
        {XK_s, keys::kS, 0},                             {XK_M, keys::kM, 0},
        {XK_BackSpace, keys::kDelete, 0},                {XK_ISO_Left_Tab, keys::kTab, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.keysym);
        EXPECT_EQ(observedKeyCode(row.keysym), row.code);
        EXPECT_EQ(modifierFlagOfKeysym(row.keysym), row.flag);
    }
    EXPECT_FALSE(observedKeyCode(XK_VoidSymbol).has_value());
    EXPECT_FALSE(postedKeysym(keys::kFn).has_value()) << "fn exists only on the observing side";
    EXPECT_EQ(postedKeysym(keys::kCommand), KeySym{XK_Control_L});
}

TEST(PasteChordTable, TerminalsPasteWithShiftAndTheUserMayOverride) {
    const PasteChordTable defaults = PasteChordTable::defaults();
    EXPECT_EQ(defaults.chordFor("xterm", "XTerm"), PasteChord::controlShiftV);
    EXPECT_EQ(defaults.chordFor("gnome-terminal-server", "Gnome-terminal"), PasteChord::controlShiftV);
    EXPECT_EQ(defaults.chordFor("gedit", "Gedit"), PasteChord::controlV);
    EXPECT_EQ(defaults.chordFor("", ""), PasteChord::controlV);

    const PasteChordTable custom = PasteChordTable::withOverrides(
        R"({"paste_chords": {"XTerm": "ctrl+v", "MyEditor": "Ctrl+Shift+V", "broken": "alt+v", "other": 3}})");
    EXPECT_EQ(custom.chordFor("xterm", "XTerm"), PasteChord::controlV);
    EXPECT_EQ(custom.chordFor("myeditor", ""), PasteChord::controlShiftV);
    EXPECT_EQ(custom.chordFor("broken", ""), PasteChord::controlV);
    EXPECT_EQ(custom.chordFor("kitty", "kitty"), PasteChord::controlShiftV) << "defaults stay";

    for (const char* bad : {"", "not json", "[1,2]", R"({"paste_chords": "ctrl+v"})"}) {
        EXPECT_EQ(PasteChordTable::withOverrides(std::string(bad)).chordFor("xterm", "XTerm"), PasteChord::controlShiftV)
            << bad;
    }
    EXPECT_EQ(PasteChordTable::withOverrides(std::nullopt).chordFor("xterm", ""), PasteChord::controlShiftV);
}

TEST(TranslateKeys, CommandBecomesControlAndTerminalsGetShift) {
    const std::vector<ports::SyntheticKey> paste{{keys::kCommand, true, flags::kCommand},
                                                 {keys::kV, true, flags::kCommand},
                                                 {keys::kV, false, flags::kCommand},
                                                 {keys::kCommand, false, 0}};
    using T = XKeyTransition;
    EXPECT_EQ(translateKeys(paste, PasteChord::controlV),
              (std::vector<T>{{XK_Control_L, true}, {XK_v, true}, {XK_v, false}, {XK_Control_L, false}}));
    EXPECT_EQ(translateKeys(paste, PasteChord::controlShiftV),
              (std::vector<T>{{XK_Control_L, true},
                              {XK_Shift_L, true},
                              {XK_v, true},
                              {XK_Shift_L, false},
                              {XK_Shift_L, true},
                              {XK_v, false},
                              {XK_Shift_L, false},
                              {XK_Control_L, false}}));
    // Keys without Command, and a chord that already holds Shift, are left alone.
    EXPECT_EQ(translateKeys({{keys::kV, true, 0}}, PasteChord::controlShiftV), (std::vector<T>{{XK_v, true}}));
    EXPECT_EQ(translateKeys({{keys::kV, true, flags::kCommand | flags::kShift}}, PasteChord::controlShiftV),
              (std::vector<T>{{XK_v, true}}));
    EXPECT_FALSE(translateKeys({{keys::kV, true, 0}, {999, true, 0}}, PasteChord::controlV).has_value());
    EXPECT_EQ(translateKeys({}, PasteChord::controlV), std::vector<T>{});
}

}  // namespace
}  // namespace veska::platform
