// The end-to-end rig itself: its measures of text, and its desktop against the real programs.
#include <gtest/gtest.h>

#include <X11/extensions/XTest.h>

#include "e2e/support/E2eDesktop.h"
#include "e2e/support/TextMeasure.h"
#include "e2e/support/TextTargets.h"
#include "e2e/support/VeskaProcess.h"
#include "e2e/support/XScreen.h"
#include "platform/linux/atspi/AtspiAccessibility.h"
#include "support/FakeService.h"

// libatspi keeps the connections of the applications it met until the process ends.
extern "C" const char* __lsan_default_suppressions() {  // NOLINT(bugprone-reserved-identifier)
    return "leak:libdbus-1.so\nleak:libatspi.so\nleak:libX11.so\n";
}

namespace veska::e2e {
namespace {

const std::filesystem::path kOutput = VESKA_E2E_OUTPUT;

TEST(TextMeasure, DistanceCountsUserPerceivedCharacters) {
    const struct {
        const char* a;
        const char* b;
        std::size_t distance;
    } rows[] = {
        {"", "", 0},
        {"tiếng Việt", "tiếng Việt", 0},
        {"tiếng Việt", "tiếng Viet", 1},           // one letter with its tone mark
        {"tiếng Việt", "tiê\xCC\x81ng Việt", 1},   // decomposed: one cluster, but not the same one
        {"người", "ngườii", 1},                     // a doubled letter
        {"xin chào các bạn", "in chào các bạn", 1}, // a drop at the start shifts everything once
        {"👍🏽 ok", "👍 ok", 1},                       // an emoji with its skin tone is one character
        {"abc", "", 3},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.a) + " | " + row.b);
        EXPECT_EQ(graphemeDistance(row.a, row.b), row.distance);
    }
    EXPECT_EQ(graphemes("ế👍🏽a").size(), 3U);
}

TEST(TextMeasure, MixedTextHasTheLengthAskedAndBothLanguages) {
    for (std::size_t length : {0U, 1U, 37U, 2000U}) {
        const std::string text = mixedText(length, 7);
        EXPECT_EQ(graphemes(text).size(), length);
        EXPECT_EQ(text, mixedText(length, 7));
    }
    const std::string text = mixedText(2000, 7);
    EXPECT_NE(text.find("đ"), std::string::npos);
    EXPECT_NE(text.find("e"), std::string::npos);
    EXPECT_NE(mixedText(200, 1), mixedText(200, 2));
}

TEST(TextMeasure, TerminalEraseTakesBackWholeCharacters) {
    const struct {
        std::string bytes;
        std::string shown;
    } rows[] = {
        {"hello", "hello"},
        {"hello wor\x7f\x7f\x7fworld", "hello world"},
        {"chào\x7f" "o", "chào"},    // the precomposed à goes with one erase
        {"\x7f\x7f" "ab", "ab"},     // erasing nothing
        {"a\x1b" "b\x08" "c", "ac"},  // ESC is dropped, BS erases like DEL
        {"👍🏽\x7f", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.shown);
        EXPECT_EQ(applyTerminalErase(row.bytes), row.shown);
    }
}

class Rig : public ::testing::Test {
protected:
    static void SetUpTestSuite() { desktop = new E2eDesktop(); }
    static void TearDownTestSuite() {
        delete desktop;
        desktop = nullptr;
    }
    void SetUp() override {
        if (!desktop->missing().empty()) GTEST_SKIP() << desktop->missing();
    }
    static E2eDesktop* desktop;
};
E2eDesktop* Rig::desktop = nullptr;

TEST_F(Rig, TheDesktopHasItsServicesAndATray) {
    EXPECT_NE(desktop->trayWindow(), 0U);
    ASSERT_NE(desktop->voice(), nullptr);
    EXPECT_EQ(desktop->voice()->get("/__fake/connections").status, 200);
    ASSERT_NE(desktop->mic(), nullptr);
    const Environment env = desktop->environment();
    EXPECT_EQ(env.at("PULSE_SERVER").rfind("unix:", 0), 0U);
    EXPECT_EQ(env.at("DISPLAY"), desktop->display());
}

TEST_F(Rig, AGtkTextViewIsReadBackOverAccessibilityAndPhotographed) {
    platform::AtspiAccessibility ax;
    GtkTextView view(*desktop, ax, "rig-gtk", "xin chào ");
    ASSERT_EQ(view.error(), "");
    EXPECT_EQ(view.text(), "xin chào ");
    EXPECT_EQ(view.length(), 9);
    // Keys from another program reach the focused view.
    for (const char* key : {"o", "k"}) {
        pressKey(desktop->x(), key, true);
        pressKey(desktop->x(), key, false);
    }
    EXPECT_TRUE(E2eDesktop::waitFor([&] { return view.text() == "xin chào ok"; }, 10)) << view.text().value_or("?");
    const Image shot = capture(desktop->x(), view.window());
    ASSERT_FALSE(shot.empty());
    EXPECT_GT(shot.countUnlikeCorner(40), 100) << "the window looks blank";
    EXPECT_TRUE(writePng(shot, kOutput / "rig" / "gtk-view.png"));
    EXPECT_GT(std::filesystem::file_size(kOutput / "rig" / "gtk-view.png"), 100U);
}

TEST_F(Rig, XtermReceivesAPasteOfTheClipboardAndErasesByCharacter) {
    XtermTarget term(*desktop, "rig-xterm");
    ASSERT_EQ(term.error(), "");
    // xclip holds the clipboard until someone else takes it; TARGETS answering means it owns it.
    Launched xclip({.argv = {"sh", "-c", "printf 'Việt ok' | xclip -quiet -selection clipboard -i"},
                    .environment = desktop->environment()});
    ASSERT_TRUE(E2eDesktop::waitFor(
        [&] { return shellOutput("timeout 2 xclip -o -selection clipboard 2>/dev/null") == "Việt ok"; }, 10));
    pressKey(desktop->x(), "Control_L", true);
    pressKey(desktop->x(), "Shift_L", true);
    pressKey(desktop->x(), "v", true);
    pressKey(desktop->x(), "v", false);
    pressKey(desktop->x(), "Shift_L", false);
    pressKey(desktop->x(), "Control_L", false);
    EXPECT_TRUE(E2eDesktop::waitFor([&] { return term.text() == "Việt ok"; }, 10)) << term.text();
    pressKey(desktop->x(), "BackSpace", true);
    pressKey(desktop->x(), "BackSpace", false);
    EXPECT_TRUE(E2eDesktop::waitFor([&] { return term.text() == "Việt o"; }, 10)) << term.text();
}

}  // namespace
}  // namespace veska::e2e
