// Dictation with the recorded-file source: the state table, cancellation, empty transcripts,
// failures and the recorded files.
#include "DictationRig.h"

namespace veska::testing {
namespace {

TEST(DictationChatGPT, TapRecordsThenTapInsertsTheTranscript) {
    DictationRig rig;
    rig.tap();
    EXPECT_TRUE(rig.app().isRecording());
    EXPECT_EQ(rig.world->statusItem.symbol, "mic.fill");
    EXPECT_TRUE(rig.world->statusItem.cancelEnabled);
    rig.tap(0.1);
    EXPECT_TRUE(rig.app().busy);
    EXPECT_FALSE(rig.app().isRecording());
    rig.loop.runFor(2);
    EXPECT_EQ(rig.fieldText(), "xin chào");
    EXPECT_FALSE(rig.app().busy);
    EXPECT_EQ(rig.hudStates(), (States{"listening", "transcribing: Transcribing…", "done: Inserted into Notes", "idle"}));
    EXPECT_TRUE(rig.world->mic.files.empty());
    EXPECT_FALSE(rig.world->statusItem.cancelEnabled);
}

TEST(DictationChatGPT, TapWhilePermissionQuestionIsOpenCancelsTheStart) {
    DictationRig rig({.microphone = false});
    rig.desktop.permissions().set(ports::Permission::microphone, ports::PermissionStatus::notDetermined);
    rig.desktop.permissions().answerRequests(ports::Permission::microphone, sim::PermissionAnswer::grant, 5);
    rig.tap(1);
    EXPECT_TRUE(rig.app().isStarting());
    EXPECT_TRUE(rig.world->delegate().hotkeys().swallowsEscape());
    rig.tap(10);
    EXPECT_FALSE(rig.app().isStarting());
    EXPECT_FALSE(rig.app().isRecording());
    EXPECT_FALSE(rig.world->delegate().hotkeys().swallowsEscape());
    EXPECT_EQ(rig.world->mic.started, 0);
    EXPECT_EQ(rig.world->hud().state.kind(), HUDState::Kind::idle);
    EXPECT_EQ(rig.hudStates(), States{});
}

TEST(DictationChatGPT, HoldStartIsIgnoredWhileStarting) {
    DictationRig rig({.microphone = false});
    rig.desktop.permissions().set(ports::Permission::microphone, ports::PermissionStatus::notDetermined);
    rig.desktop.permissions().answerRequests(ports::Permission::microphone, sim::PermissionAnswer::grant, 5);
    rig.tap(1);
    rig.world->delegate().hotkeys().onSTTHoldStart();
    rig.loop.runFor(1);
    EXPECT_EQ(rig.desktop.permissions().requestCount(ports::Permission::microphone), 1);
    rig.loop.runFor(5);
    EXPECT_TRUE(rig.app().isRecording());
}

TEST(DictationChatGPT, RefusedMicrophoneSaysMicPermission) {
    DictationRig rig({.microphone = false});
    rig.desktop.permissions().answerRequests(ports::Permission::microphone, sim::PermissionAnswer::deny, 0.5);
    rig.tap(2);
    EXPECT_EQ(rig.hudStates(), (States{"error: Mic permission"}));
    EXPECT_FALSE(rig.app().isStarting());
    EXPECT_FALSE(rig.app().isRecording());
}

TEST(DictationChatGPT, MissingAccessibilityShowsThePermissionWindowAndStillRecords) {
    DictationRig rig({.accessibility = false});
    const int shownAtStart = rig.world->permissionsWindow.shows;
    rig.tap();
    EXPECT_EQ(rig.world->permissionsWindow.shows, shownAtStart + 1);
    EXPECT_TRUE(rig.app().isRecording());
    EXPECT_EQ(rig.hudStates(), (States{"error: Thiếu quyền · xem menu AL", "listening"}));
    rig.world->permissionsWindow.onAllGranted();
    EXPECT_EQ(rig.hudStates(), (States{"done: Inserted into Notes"}));
}

TEST(DictationChatGPT, RecorderFailureSaysMicError) {
    DictationRig rig;
    rig.world->mic.startFailure = "no device";
    rig.tap();
    EXPECT_EQ(rig.hudStates(), (States{"error: Mic error"}));
    EXPECT_FALSE(rig.app().isStarting());
}

TEST(DictationChatGPT, BlankTranscriptsSayEmptyAndInsertNothing) {
    for (const std::string transcript : {"", "   ", " \n\t "}) {
        DictationRig rig({.fieldText = "keep"});
        rig.world->core.transcript = transcript;
        rig.tap();
        rig.tap(2);
        EXPECT_EQ(rig.fieldText(), "keep");
        EXPECT_EQ(rig.hudStates(), (States{"listening", "transcribing: Transcribing…", "error: Empty"}));
        EXPECT_TRUE(rig.world->mic.files.empty());
        EXPECT_FALSE(rig.app().busy);
    }
}

TEST(DictationChatGPT, CoreErrorShowsItsDescription) {
    DictationRig rig;
    rig.world->core.transcribeError = "Local core unreachable — start packages/local-core";
    rig.tap();
    rig.tap(2);
    EXPECT_EQ(rig.hudStates(),
              (States{"listening", "transcribing: Transcribing…", "error: Local core unreachable — start packages/local-core"}));
    EXPECT_EQ(rig.world->hud().state.message(), "Local core unreachable — start packages/local-core");
    EXPECT_TRUE(rig.world->mic.files.empty());
    EXPECT_FALSE(rig.app().busy);
}

// Every way a take ends leaves no recorded file behind.
TEST(DictationChatGPT, RecordedFilesAreDeletedOnEveryPath) {
    struct Row {
        const char* name;
        std::string transcript;
        std::optional<std::string> error;
        double escapeAfter;  // 0: no Escape
        bool fix;
    };
    const Row rows[] = {
        {"inserted", "xin chào", std::nullopt, 0, false},
        {"empty", " ", std::nullopt, 0, false},
        {"core error", "x", "Bad response", 0, false},
        {"escape while transcribing", "xin chào", std::nullopt, 0.2, false},
        {"escape during the AI step", "xin chào", std::nullopt, 0.7, true},
        {"escape while recording", "xin chào", std::nullopt, -1, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DictationRig rig;
        rig.world->core.transcript = row.transcript;
        rig.world->core.transcribeError = row.error;
        rig.app().autoFix = row.fix;
        rig.tap();
        ASSERT_EQ(rig.world->mic.files.size(), 1U);
        if (row.escapeAfter < 0) {
            rig.app().cancelAll();
        } else {
            rig.app().toggleSTT();
            if (row.escapeAfter > 0) {
                rig.loop.runFor(row.escapeAfter);
                rig.app().cancelAll();
            }
        }
        rig.loop.runFor(3);
        EXPECT_TRUE(rig.world->mic.files.empty());
        EXPECT_FALSE(rig.app().busy);
        EXPECT_FALSE(rig.app().isRecording());
    }
}

TEST(DictationChatGPT, EscapeDuringTheAIStepStopsAndInsertsNothing) {
    DictationRig rig({.fieldText = "keep"});
    rig.app().autoFix = true;
    rig.tap();
    rig.tap(0.7);  // transcribed after 0.5 s; the fixer answers after 0.4 s more
    ASSERT_EQ(rig.world->hud().state.kind(), HUDState::Kind::fixing);
    rig.app().cancelAll();
    rig.loop.runFor(3);
    EXPECT_EQ(rig.fieldText(), "keep");
    EXPECT_FALSE(rig.app().busy);
    EXPECT_EQ(rig.hudStates(),
              (States{"listening", "transcribing: Transcribing…", "fixing: AI is fixing…", "stopped: Stopped", "idle"}));
    EXPECT_EQ(rig.world->ai.sessionsOpen, 0);
}

TEST(DictationChatGPT, ANewTakeWhileFinishingCancelsTheOldOneFirst) {
    DictationRig rig({.fieldText = ""});
    rig.app().autoFix = true;
    rig.tap();
    rig.tap(0.7);
    ASSERT_TRUE(rig.app().busy);
    rig.app().startSTT();
    rig.loop.runFor(0.5);
    EXPECT_TRUE(rig.app().isRecording());
    EXPECT_FALSE(rig.app().busy);
    EXPECT_EQ(rig.fieldText(), "");
    EXPECT_EQ(rig.world->mic.files.size(), 1U);
}

TEST(DictationChatGPT, LevelMeterMapsDecibelsWhileRecording) {
    DictationRig rig;
    rig.tap();
    const std::pair<double, double> rows[] = {{-160, 0}, {-55, 0}, {-36, 0.5}, {-17, 1}, {0, 1}};
    for (auto [db, level] : rows) {
        rig.world->mic.powerDb = db;
        rig.loop.runFor(0.07);
        EXPECT_NEAR(rig.world->hud().level, level, 1e-9) << db;
    }
    rig.tap(0.1);
    rig.world->mic.powerDb = -36;
    rig.loop.runFor(0.2);
    EXPECT_EQ(rig.world->hud().level, 0);
}

TEST(DictationChatGPT, ErrorWhileBusySchedulesNoReturnToIdle) {
    DictationRig rig;
    rig.app().busy = true;
    rig.app().setHUD(HUDState::error("boom"));
    rig.loop.runFor(3);
    EXPECT_EQ(rig.world->statusItem.symbol, "exclamationmark.triangle.fill");
    rig.app().busy = false;
    rig.app().setHUD(HUDState::error("boom"));
    rig.loop.runFor(2.1);
    EXPECT_EQ(rig.world->statusItem.symbol, "exclamationmark.triangle.fill");
    rig.loop.runFor(0.2);
    EXPECT_EQ(rig.world->statusItem.symbol, "waveform");
}

TEST(DictationChatGPT, KeyboardPasteTargetWithoutInputMonitoringSaysSo) {
    DictationRig rig({.inputMonitoring = false, .targetBundle = "com.apple.Terminal"});
    rig.tap();
    rig.tap(3);
    const States states = rig.hudStates();
    ASSERT_FALSE(states.empty());
    EXPECT_EQ(states.back() == "idle" ? states[states.size() - 2] : states.back(), "error: Bật Input Monitoring");
}

}  // namespace
}  // namespace veska::testing
