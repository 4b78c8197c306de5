// Dictation with the Claude voice stream: live typing, finishing, failures and sign-in.
#include "DictationRig.h"

namespace veska::testing {
namespace {

RigOptions claude(std::string fieldText = "") {
    return {.provider = "claude_web", .fieldText = std::move(fieldText)};
}

TEST(DictationClaude, LiveTextIsTypedAndSettledOnTheFinalText) {
    DictationRig rig(claude());
    rig.tap();
    appsim::FakeVoiceStream* stream = rig.world->claude.current();
    ASSERT_NE(stream, nullptr);
    EXPECT_TRUE(stream->connected);
    EXPECT_EQ(stream->cookieHeader, "sessionKey=sk-ant-test");
    EXPECT_TRUE(rig.world->delegate().hotkeys().swallowsEscape());
    stream->say("xin chao");
    rig.loop.runFor(1);
    EXPECT_EQ(rig.fieldText(), "xin chao");
    EXPECT_EQ(rig.world->hud().text, "xin chao");
    stream->say("Xin chào.");
    rig.tap(2);
    EXPECT_EQ(rig.fieldText(), "Xin chào.");
    EXPECT_EQ(rig.clipboard(), "Xin chào.");
    EXPECT_EQ(rig.app().claudeVoice, nullptr);
    EXPECT_FALSE(rig.app().busy);
    EXPECT_FALSE(rig.world->delegate().hotkeys().swallowsEscape());
    EXPECT_EQ(rig.hudStates(), (States{"listening", "transcribing: Finishing the sentence…",
                                       "done: Inserted into Notes", "idle"}));
}

TEST(DictationClaude, StreamFailureKeepsTheHeardTextOnThePasteboard) {
    DictationRig rig(claude());
    rig.tap();
    appsim::FakeVoiceStream* stream = rig.world->claude.current();
    stream->say("xin chào các bạn");
    rig.loop.runFor(1);
    stream->fail(ClaudeVoiceError::connect);
    rig.loop.runFor(3);
    EXPECT_EQ(rig.clipboard(), "xin chào các bạn");
    EXPECT_EQ(rig.fieldText(), "xin chào các bạn");
    EXPECT_EQ(rig.app().claudeVoice, nullptr);
    EXPECT_EQ(rig.hudStates(), (States{"listening", "error: claude.ai disconnected", "idle"}));
}

TEST(DictationClaude, FinishErrorsEndInOneMessage) {
    const std::pair<ClaudeVoiceError, std::string> rows[] = {
        {ClaudeVoiceError::noMic, "error: Microphone unavailable"},
        {ClaudeVoiceError::server, "error: claude.ai disconnected"},
        {ClaudeVoiceError::connect, "error: claude.ai disconnected"},
    };
    for (const auto& [error, message] : rows) {
        DictationRig rig(claude());
        rig.world->claude.script.finishFailure = error;
        rig.tap();
        rig.tap(3);
        EXPECT_EQ(rig.hudStates(), (States{"listening", "transcribing: Finishing the sentence…", message, "idle"}));
        EXPECT_FALSE(rig.app().busy);
    }
}

TEST(DictationClaude, EmptyFinalTextTakesBackWhatWasTyped) {
    DictationRig rig(claude("a "));
    rig.tap();
    rig.world->claude.current()->say("uh");
    rig.loop.runFor(1);
    EXPECT_EQ(rig.fieldText(), "a uh");
    rig.world->claude.current()->say("  ");
    rig.tap(3);
    EXPECT_EQ(rig.fieldText(), "a ");
    const States states = rig.hudStates();
    EXPECT_NE(std::find(states.begin(), states.end(), "error: Empty"), states.end());
}

TEST(DictationClaude, NoCredentialsChecksTheAccountAndOpensSignIn) {
    DictationRig rig(claude());
    rig.world->claude.signedInCredentials = std::nullopt;
    rig.world->claude.account = ClaudeAccount::signedOut();
    rig.tap(3);
    EXPECT_EQ(rig.hudStates(), (States{"listening", "transcribing: Finishing the sentence…", "error: Sign in to claude.ai", "idle"}));
    EXPECT_EQ(rig.world->claudeLogin.shows, 1);
    EXPECT_EQ(rig.world->claudeLogin.lastForce, false);
    EXPECT_EQ(rig.app().claudeAccount, ClaudeAccount::signedOut());
    EXPECT_EQ(rig.app().lastSttReady, false);
    EXPECT_EQ(rig.world->statusItem.toolTip, "Veska — not signed in to claude.ai");
}

TEST(DictationClaude, NoCredentialsWithAnAccountSaysDisconnected) {
    DictationRig rig(claude());
    rig.world->claude.signedInCredentials = std::nullopt;
    rig.tap(1);
    EXPECT_EQ(rig.world->claudeLogin.shows, 0);
    const States states = rig.hudStates();
    EXPECT_NE(std::find(states.begin(), states.end(), "error: claude.ai disconnected"), states.end());
}

TEST(DictationClaude, MicrophoneThatWillNotOpenSaysSo) {
    DictationRig rig(claude());
    rig.world->claude.script.micFailure = ClaudeVoiceError::noMic;
    rig.tap(3);
    EXPECT_EQ(rig.hudStates(), (States{"error: Microphone unavailable", "idle"}));
    EXPECT_EQ(rig.app().claudeVoice, nullptr);
    EXPECT_FALSE(rig.app().isStarting());
}

TEST(DictationClaude, EscapeRetractsTheLiveText) {
    DictationRig rig(claude("a "));
    rig.desktop.pasteboard().write({.plainText = "user's"});
    rig.tap();
    rig.world->claude.current()->say("xin chào");
    rig.loop.runFor(1);
    EXPECT_EQ(rig.fieldText(), "a xin chào");
    rig.app().cancelAll();
    rig.loop.runFor(2);
    EXPECT_EQ(rig.fieldText(), "a ");
    EXPECT_EQ(rig.clipboard(), "user's");
    EXPECT_EQ(rig.hudStates(), (States{"listening", "stopped: Stopped", "idle"}));
}

TEST(DictationClaude, FixedTakeTypesOnlyTheFixedText) {
    DictationRig rig(claude());
    rig.app().autoFix = true;
    rig.world->ai.replies[AITask::fix] = {.text = "Xin chào.", .error = std::nullopt, .seconds = 0.4};
    rig.tap();
    rig.world->claude.current()->say("xin chao");
    rig.loop.runFor(1);
    EXPECT_EQ(rig.fieldText(), "");
    rig.tap(3);
    EXPECT_EQ(rig.fieldText(), "Xin chào.");
    EXPECT_EQ(rig.hudStates(), (States{"listening", "transcribing: Finishing the sentence…", "fixing: AI is fixing…",
                                       "done: Inserted into Notes", "idle"}));
}

TEST(DictationClaude, TapWhileTheMicrophoneOpensCancelsTheStart) {
    DictationRig rig(claude());
    rig.world->claude.script.micSeconds = 2;
    rig.tap(0.5);
    EXPECT_TRUE(rig.app().isStarting());
    rig.tap(3);
    EXPECT_EQ(rig.app().claudeVoice, nullptr);
    EXPECT_FALSE(rig.app().isStarting());
    EXPECT_EQ(rig.world->claude.current(), nullptr);
    EXPECT_EQ(rig.hudStates(), States{});
}

}  // namespace
}  // namespace veska::testing
