// Dictation end to end: the real `veska` on a private desktop, its fn key pressed through
// XTest, speech played into its microphone, the voice stream fake answering, and the text
// arriving in a GTK3 text view (read back over AT-SPI) or in xterm.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <fstream>
#include <iterator>
#include <thread>
#include <numbers>

#include <nlohmann/json.hpp>

#include "e2e/support/E2eDesktop.h"
#include "e2e/support/HudObserver.h"
#include "e2e/support/TextTargets.h"
#include "e2e/support/VeskaProcess.h"
#include "e2e/support/XScreen.h"
#include "support/PulseDaemon.h"
#include "platform/linux/atspi/AtspiAccessibility.h"
#include "support/FakeService.h"

// libatspi keeps the connections of the applications it met until the process ends.
extern "C" const char* __lsan_default_suppressions() {  // NOLINT(bugprone-reserved-identifier)
    return "leak:libdbus-1.so\nleak:libatspi.so\nleak:libX11.so\n";
}

namespace veska::e2e {
namespace {

using nlohmann::json;

const std::filesystem::path kOutput = VESKA_E2E_OUTPUT;
constexpr const char* kFnKey = "Menu";
/// Generous: the app runs with sanitizers on a loaded machine.
constexpr double kStartSeconds = 60;
constexpr double kStepSeconds = 20;

/// A voice-like sound: a 180 Hz tone with two harmonics, swelling four times a second.
std::vector<float> speech(double seconds) {
    std::vector<float> samples;
    const int frames = static_cast<int>(seconds * testing::PipeMicDaemon::kRate);
    for (int i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / testing::PipeMicDaemon::kRate;
        const double envelope = 0.5 + 0.5 * std::sin(2 * std::numbers::pi * 4 * t);
        const double voice = std::sin(2 * std::numbers::pi * 180 * t) + 0.5 * std::sin(2 * std::numbers::pi * 360 * t) +
                             0.25 * std::sin(2 * std::numbers::pi * 720 * t);
        const auto v = static_cast<float>(0.2 * envelope * voice);
        samples.push_back(v);
        samples.push_back(v);
    }
    return samples;
}

/// What the voice stream says: two interim guesses while the user speaks, and the corrected
/// final sentence only once the app closes the stream.
json voiceScript(const std::string& finalText) {
    json script = json::parse(R"({"connections": [{
        "replies": [
            {"afterAudioBytes": 16000, "send": {"type": "TranscriptInterim", "data": "xin chao cac"}},
            {"afterAudioBytes": 32000, "send": {"type": "TranscriptInterim", "data": "xin chao cac ban"}}],
        "onCloseStream": [
            {"delayMs": 700, "send": {"type": "TranscriptText", "data": ""}},
            {"delayMs": 750, "send": {"type": "TranscriptEndpoint"}}]}]})");
    script["connections"][0]["onCloseStream"][0]["send"]["data"] = finalText;
    return script;
}

std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const std::string kFinal = "Xin chào các bạn.";
const std::string kLive = "xin chao cac ban";

class Dictation : public ::testing::Test {
protected:
    static void SetUpTestSuite() { desktop = new E2eDesktop(); }
    static void TearDownTestSuite() {
        delete desktop;
        desktop = nullptr;
    }

    void SetUp() override {
        if (!desktop->missing().empty()) GTEST_SKIP() << desktop->missing();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        output = kOutput / info->name();
        std::filesystem::remove_all(output);
        ASSERT_EQ(voice().post("/__fake/reset", "{}").status, 200);
    }

    /// Stops recording the HUD and expects it to have said these phrases in this order; the
    /// picture of each is kept as OUTPUT/NAME.png (phrase, name pairs).
    void expectHudSaid(const std::vector<std::pair<std::string, std::string>>& states) {
        ASSERT_TRUE(recording);
        const std::vector<std::string> said = recording->stop();
        std::vector<std::string> phrases;
        for (const auto& [phrase, name] : states) phrases.push_back(phrase);
        std::string all;
        for (const std::string& words : said) all += "[" + words + "] ";
        EXPECT_TRUE(saidInOrder(said, phrases)) << "the HUD said: " << all;
        for (const auto& [phrase, name] : states) {
            for (const HudFrame& frame : recording->frames()) {
                if (frame.words.find(phrase) == std::string::npos) continue;
                writePng(frame.picture, output / (name + ".png"));
                break;
            }
        }
    }

    /// Expects the picture kept for the state that said `phrase` to read it too, by OCR: what is
    /// drawn matches what the bus says.
    void expectPictureReads(const std::string& phrase) {
        for (const HudFrame& frame : recording->frames()) {
            if (frame.words.find(phrase) == std::string::npos || frame.picture.empty()) continue;
            const std::string read = hud->read(frame.picture, "ocr-" + phrase);
            EXPECT_NE(read.find(phrase), std::string::npos) << "the picture reads: " << read;
            return;
        }
        ADD_FAILURE() << "no picture of the HUD saying " << phrase;
    }

    static std::string clipboard() { return shellOutput("timeout 5 xclip -o -selection clipboard 2>/dev/null"); }

    testing::FakeService& voice() { return *desktop->voice(); }

    /// Starts Veska and waits until it is ready for a dictation: its start-up has checked the
    /// microphone (a capture stream came and went on the sound server), its tray icon is up and
    /// it holds the fn key.
    void startVeska(json preferences = json::object()) {
        preferences["v2.openedOnce"] = true;
        const std::filesystem::path events = output / "sound-events.txt";
        std::filesystem::create_directories(output);
        Launched subscriber({.argv = {"pactl", "-s", desktop->mic()->server(), "subscribe"},
                             .environment = desktop->environment(),
                             .stdoutFile = events});
        // Subscribed once it reports the client of another pactl coming and going.
        ASSERT_TRUE(E2eDesktop::waitFor(
            [&] {
                (void)shellOutput("pactl -s " + desktop->mic()->server() + " info >/dev/null 2>&1");
                return readFile(events).find("on client") != std::string::npos;
            },
            kStepSeconds, 50));
        veska = std::make_unique<VeskaProcess>(
            *desktop, VeskaOptions{.program = VESKA_PROGRAM, .preferences = preferences, .outputDir = output});
        ASSERT_EQ(veska->error(), "");
        // Its key monitor starts before its start-up work. The start-up waits for a first
        // microphone check (a capture stream comes and goes), then puts up the tray icon and
        // decides whether to show the permission window: a docked icon means it has been made.
        const auto trayIconDocked = [&] {
            for (const auto& mine : windowsOf(desktop->x(), veska->pid())) {
                if (mine.viewable && isInsideWindowOf(desktop->x(), mine.id, desktop->trayPid())) return true;
            }
            return false;
        };
        ASSERT_TRUE(E2eDesktop::waitFor(
            [&] { return (microphoneChecks(events) >= 1 && trayIconDocked()) || !veska->running(); },
            kStartSeconds, 50));
        ASSERT_TRUE(veska->running()) << veska->stderrText();
        // Every permission is granted on this desktop: no window comes up to take the focus.
        for (const WindowInfo& window : windowsOf(desktop->x(), veska->pid())) {
            const bool normal = std::find(window.types.begin(), window.types.end(), "normal") != window.types.end();
            EXPECT_FALSE(window.viewable && normal && !window.overrideRedirect)
                << "the window " << window.name << " opened at start";
        }
        closeStrayWindows();
        // Asked once it surely holds the key: a grab of ours while it takes it would refuse it.
        ASSERT_TRUE(keyGrabbedByOther(desktop->x(), kFnKey)) << "veska does not hold the fn key";
        hud = std::make_unique<HudObserver>(*desktop, veska->pid(), output);
        recording = std::make_unique<HudRecording>(*desktop, veska->pid(), output);
    }

    /// A window of Veska's that took the focus is closed as a user would close it, and the test's
    /// application is put in front again, so that keys and dictation go where the test means.
    void closeStrayWindows() {
        for (const WindowInfo& window : windowsOf(desktop->x(), veska->pid())) {
            const bool normal = std::find(window.types.begin(), window.types.end(), "normal") != window.types.end();
            if (!window.viewable || !normal || isInsideWindowOf(desktop->x(), window.id, desktop->trayPid())) continue;
            askToClose(desktop->x(), window.id);
            EXPECT_TRUE(E2eDesktop::waitFor([&] {
                const auto now = describe(desktop->x(), window.id);
                return !now || !now->viewable;
            }, kStepSeconds)) << "the window " << window.name << " stayed";
            if (refocus) refocus();
        }
    }

    void tapFn() {
        closeStrayWindows();
        pressKey(desktop->x(), kFnKey, true);
        pressKey(desktop->x(), kFnKey, false);
    }

    /// The voice stream's one connection as the fake recorded it.
    json connection() {
        const json all = json::parse(voice().get("/__fake/connections").body)["connections"];
        return all.empty() ? json() : all.back();
    }

    static int microphoneChecks(const std::filesystem::path& events) {
        const std::string text = readFile(events);
        int count = 0;
        for (std::size_t at = text.find("'new' on source-output"); at != std::string::npos;
             at = text.find("'new' on source-output", at + 1)) {
            ++count;
        }
        return count;
    }

    int connectionAudioBytes() {
        const json record = connection();
        return record.is_object() ? record.value("audioBytes", 0) : 0;
    }

    void TearDown() override {
        refocus = nullptr;
        recording.reset();
        if (veska) {
            EXPECT_TRUE(veska->running()) << "veska ended early:\n" << veska->stderrText();
            veska->stop();
        }
    }

    static E2eDesktop* desktop;
    std::filesystem::path output;
    std::unique_ptr<VeskaProcess> veska;
    std::unique_ptr<HudObserver> hud;
    std::unique_ptr<HudRecording> recording;
    /// Puts the test's application in front again.
    std::function<bool()> refocus;
};
E2eDesktop* Dictation::desktop = nullptr;

TEST_F(Dictation, TappedFnTypesWhileSpeakingAndCorrectsAtTheEnd) {
    platform::AtspiAccessibility ax;
    GtkTextView view(*desktop, ax, "e2e-gtk-tap");
    ASSERT_EQ(view.error(), "");
    ASSERT_EQ(voice().post("/__fake/script", voiceScript(kFinal).dump()).status, 200);
    startVeska();
    ASSERT_TRUE(view.focus());
    refocus = [&] { return view.focus(); };

    tapFn();
    EXPECT_TRUE(E2eDesktop::waitFor([&] { return hud->window().has_value(); }, kStepSeconds)) << "no HUD";
    desktop->mic()->play(speech(2));
    // Typed live, before the user stops.
    EXPECT_TRUE(E2eDesktop::waitFor([&] { return view.text() == kLive; }, kStepSeconds)) << view.text().value_or("?");

    tapFn();
    EXPECT_TRUE(E2eDesktop::waitFor([&] { return view.text() == kFinal; }, kStepSeconds)) << view.text().value_or("?");
    EXPECT_TRUE(E2eDesktop::waitFor([&] { return !hud->window(); }, kStepSeconds)) << "the HUD stayed on screen";
    expectHudSaid({{"listening", "listening"}, {"finishing", "transcribing"}, {"inserted", "done"}});
    if (ocrAvailable()) {
        expectPictureReads("inserted");
    } else {
        ADD_FAILURE() << "tesseract is not installed (scripts/setup installs it)";
    }
    EXPECT_EQ(view.text(), kFinal);
    // The final text is also left on the clipboard.
    EXPECT_EQ(clipboard(), kFinal);

    const json record = connection();
    EXPECT_EQ(record["problems"], json::array()) << record.dump();
    EXPECT_EQ(record["headers"]["cookie"], "sessionKey=test-session; lastActiveOrg=org-e2e");
    EXPECT_EQ(record["messages"].front()["text"], R"({"type":"KeepAlive"})");
    EXPECT_EQ(record["messages"].back()["text"], R"({"type":"CloseStream"})");
    EXPECT_EQ(record["query"].back(), json::array({"organization_uuid", "org-e2e"}));
}

TEST_F(Dictation, IntoXtermTheTextIsPasted) {
    XtermTarget term(*desktop, "e2e-xterm");
    ASSERT_EQ(term.error(), "");
    ASSERT_EQ(voice().post("/__fake/script", voiceScript(kFinal).dump()).status, 200);
    startVeska();
    ASSERT_TRUE(term.focus());
    refocus = [&] { return term.focus(); };

    tapFn();
    EXPECT_TRUE(E2eDesktop::waitFor([&] { return hud->window().has_value(); }, kStepSeconds)) << "no HUD";
    desktop->mic()->play(speech(2));
    EXPECT_TRUE(E2eDesktop::waitFor([&] { return term.text() == kLive; }, kStepSeconds)) << term.text();
    tapFn();
    // The terminal cannot be written through accessibility: what it got came by paste (the
    // accented letters are not on the keyboard) and by erasing keys for the correction.
    EXPECT_TRUE(E2eDesktop::waitFor([&] { return term.text() == kFinal; }, kStepSeconds)) << term.text();
    EXPECT_TRUE(E2eDesktop::waitFor([&] { return !hud->window(); }, kStepSeconds)) << "the HUD stayed on screen";
    expectHudSaid({{"finishing", "transcribing"}, {"inserted", "done"}});
    EXPECT_EQ(clipboard(), kFinal);
    EXPECT_EQ(connection()["problems"], json::array());
}

TEST_F(Dictation, EscapeWhileStreamingTakesTheTextBackAndRestoresTheClipboard) {
    XtermTarget term(*desktop, "e2e-xterm-escape");
    ASSERT_EQ(term.error(), "");
    const std::string before = "trước khi nói";
    Launched owner({.argv = {"sh", "-c", "printf '%s' '" + before + "' | xclip -quiet -selection clipboard -i"},
                    .environment = desktop->environment()});
    ASSERT_TRUE(E2eDesktop::waitFor([&] { return clipboard() == before; }, kStepSeconds));
    ASSERT_EQ(voice().post("/__fake/script", voiceScript(kFinal).dump()).status, 200);
    startVeska();
    ASSERT_TRUE(term.focus());
    refocus = [&] { return term.focus(); };

    tapFn();
    desktop->mic()->play(speech(2));
    ASSERT_TRUE(E2eDesktop::waitFor([&] { return term.text() == kLive; }, kStepSeconds)) << term.text();
    pressKey(desktop->x(), "Escape", true);
    pressKey(desktop->x(), "Escape", false);
    EXPECT_TRUE(E2eDesktop::waitFor([&] { return term.text().empty(); }, kStepSeconds)) << term.text();
    EXPECT_TRUE(E2eDesktop::waitFor([&] { return !hud->window(); }, kStepSeconds)) << "the HUD stayed on screen";
    expectHudSaid({{"stopped", "stopped"}});
    EXPECT_TRUE(E2eDesktop::waitFor([&] { return clipboard() == before; }, kStepSeconds)) << clipboard();
    // Escape was Veska's while it streamed: the terminal never saw it.
    EXPECT_EQ(term.received().find('\x1b'), std::string::npos);
    // The stream was dropped, not finished.
    const json record = connection();
    for (const json& message : record["messages"]) EXPECT_NE(message.value("text", ""), R"({"type":"CloseStream"})");
    EXPECT_TRUE(E2eDesktop::waitFor([&] { return connection()["outcome"] == "closed"; }, kStepSeconds))
        << connection()["outcome"];
}

TEST_F(Dictation, HeldFnIsPushToTalk) {
    platform::AtspiAccessibility ax;
    GtkTextView view(*desktop, ax, "e2e-gtk-hold");
    ASSERT_EQ(view.error(), "");
    ASSERT_EQ(voice().post("/__fake/script", voiceScript(kFinal).dump()).status, 200);
    startVeska();
    ASSERT_TRUE(view.focus());
    refocus = [&] { return view.focus(); };

    closeStrayWindows();
    pressKey(desktop->x(), kFnKey, true);
    EXPECT_TRUE(E2eDesktop::waitFor([&] { return hud->window().has_value(); }, kStepSeconds)) << "no HUD while held";
    desktop->mic()->play(speech(2));
    // The stream has heard both guesses before the key comes up.
    EXPECT_TRUE(E2eDesktop::waitFor([&] { return connectionAudioBytes() >= 32000; }, kStepSeconds));
    pressKey(desktop->x(), kFnKey, false);
    EXPECT_TRUE(E2eDesktop::waitFor([&] { return view.text() == kFinal; }, kStepSeconds)) << view.text().value_or("?");
    EXPECT_TRUE(E2eDesktop::waitFor([&] { return !hud->window(); }, kStepSeconds)) << "the HUD stayed on screen";
    expectHudSaid({{"finishing", "transcribing"}, {"inserted", "done"}});
    EXPECT_EQ(connection()["messages"].back()["text"], R"({"type":"CloseStream"})");
}

// While the fn key is held the field in front keeps the focus (the key source gives back the
// keyboard its grab took), so the words are typed live during the hold as after a tap.
TEST_F(Dictation, HeldFnTypesWhileSpeaking) {
    platform::AtspiAccessibility ax;
    GtkTextView view(*desktop, ax, "e2e-gtk-hold-live");
    ASSERT_EQ(view.error(), "");
    ASSERT_EQ(voice().post("/__fake/script", voiceScript(kFinal).dump()).status, 200);
    startVeska();
    ASSERT_TRUE(view.focus());
    refocus = [&] { return view.focus(); };

    pressKey(desktop->x(), kFnKey, true);
    desktop->mic()->play(speech(2));
    EXPECT_TRUE(E2eDesktop::waitFor([&] { return view.text() == kLive; }, kStepSeconds)) << view.text().value_or("?");
    pressKey(desktop->x(), kFnKey, false);
    EXPECT_TRUE(E2eDesktop::waitFor([&] { return view.text() == kFinal; }, kStepSeconds)) << view.text().value_or("?");
}

TEST_F(Dictation, ARefusedStreamShowsTheErrorAndTypesNothing) {
    platform::AtspiAccessibility ax;
    GtkTextView view(*desktop, ax, "e2e-gtk-refused");
    ASSERT_EQ(view.error(), "");
    ASSERT_EQ(voice().post("/__fake/script", R"({"connections": [{"refuse": 500}]})").status, 200);
    startVeska();
    ASSERT_TRUE(view.focus());
    refocus = [&] { return view.focus(); };

    tapFn();
    desktop->mic()->play(speech(1));
    EXPECT_TRUE(E2eDesktop::waitFor([&] { return hud->window().has_value(); }, kStepSeconds)) << "no HUD";
    EXPECT_TRUE(E2eDesktop::waitFor([&] { return !hud->window(); }, kStepSeconds)) << "the error stayed on screen";
    expectHudSaid({{"disconnected", "error"}});
    EXPECT_EQ(view.text(), "");
    EXPECT_EQ(connection()["outcome"], "refused");
}

}  // namespace
}  // namespace veska::e2e
