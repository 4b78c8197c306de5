// Playing a scenario's steps on virtual time.
#include "main/scenario/ScenarioRunner.h"
#include "main/scenario/Overloaded.h"

#include "main/scenario/Expectations.h"
#include "text/Utf.h"

namespace veska::scenario {

namespace {

using Fields = TraceWriter::Fields;

std::string_view actionName(KeyAction action) {
    switch (action) {
    case KeyAction::tap: return "tap";
    case KeyAction::press: return "press";
    case KeyAction::release: return "release";
    case KeyAction::repeat: return "repeat";
    }
    return "tap";
}

}  // namespace

ScenarioRunner::ScenarioRunner(const Scenario& scenario, TraceWriter& writer)
    : scenario_(scenario), world_(scenario), timeline_(world_, writer), clients_(world_, timeline_), actions_(world_, timeline_) {
    for (const ServerSpec& desc : scenario.servers) {
        for (const auto& secret : desc.secrets) writer.mask().addSecret(secret);
        for (const auto& name : desc.sensitiveHeaders) writer.mask().addSensitiveHeader(name);
    }
    world_.checkReferences(scenario.steps);
    if (scenario.app) {
        auto app = std::make_unique<AppObserver>(world_, *scenario.app);
        app_ = app.get();
        timeline_.add(std::move(app));
        auto gestures = std::make_unique<GestureObserver>(world_, app_->app().delegate().hotkeys());
        gestures_ = gestures.get();
        timeline_.add(std::move(gestures));
        return;
    }
    auto gestures = std::make_unique<GestureObserver>(world_);
    gestures_ = gestures.get();
    timeline_.add(std::move(gestures));
}

RunResult ScenarioRunner::run() {
    timeline_.settle();
    for (const Step& step : scenario_.steps) {
        if (step.at) time_ = *step.at;
        timeline_.advanceTo(time_);
        perform(step);
        timeline_.settle();
    }
    result_.failures += actions_.failures() + actions_.reportUnfinished();
    const bool failed = result_.failures != 0;
    timeline_.emit("end", Fields{{"expectations", result_.expectations}, {"failures", result_.failures}}, failed);
    return result_;
}

void ScenarioRunner::fail(const Step& step, const std::string& reason) {
    ++result_.failures;
    timeline_.emit("stepFailed", Fields{{"step", step.index}, {"reason", reason}}, true);
}

void ScenarioRunner::userKey(const UserKey& key) {
    timeline_.emit("key", Fields{{"key", chordName(key.chord.key, key.chord.modifiers())}, {"action", actionName(key.action)}});
    auto& keyboard = world_.desktop().keyboard();
    switch (key.action) {
    case KeyAction::press: keyboard.press(key.chord.key); return;
    case KeyAction::release: keyboard.release(key.chord.key); return;
    case KeyAction::repeat: keyboard.repeat(key.chord.key); return;
    case KeyAction::tap: break;
    }
    for (auto code : key.chord.modifierKeys) keyboard.press(code);
    keyboard.tap(key.chord.key);
    for (auto it = key.chord.modifierKeys.rbegin(); it != key.chord.modifierKeys.rend(); ++it) keyboard.release(*it);
}

void ScenarioRunner::type(const TypeText& type) {
    timeline_.emit("type", Fields{{"text", type.text}});
    auto& keyboard = world_.desktop().keyboard();
    for (const TypedPiece& piece : planTyping(type.text)) {
        if (!piece.key) {
            // An input method commits text without keys into the focused field in front.
            sim::SimElement* field = world_.focusedFieldInFront();
            if (field != nullptr && field->editable) field->replaceSelection(text::toUtf16(piece.committed));
            continue;
        }
        if (piece.shift) keyboard.press(ports::keys::kShift);
        keyboard.tap(*piece.key);
        if (piece.shift) keyboard.release(ports::keys::kShift);
    }
}

void ScenarioRunner::perform(const Step& step) {
    auto& desktop = world_.desktop();
    auto failIf = [&](const std::optional<std::string>& reason) {
        if (reason) fail(step, *reason);
    };
    std::visit(
        Overloaded{
            [&](const UserKey& key) { userKey(key); },
            [&](const PostKeys& post) {
                auto& poster = desktop.keyPoster();
                const bool posted = post.viaAutomation ? poster.postViaAutomation(post.keys) : poster.post(post.keys);
                if (!posted) timeline_.emit("postRefused", Fields{{"via", post.viaAutomation ? "automation" : "events"}});
            },
            [&](const TypeText& text) { type(text); },
            [&](const Activate& activate) {
                const std::int32_t pid = world_.pidOf(activate.app);
                if (pid == 0) return fail(step, "the application is not running");
                desktop.workspace().bringToFront(pid);
            },
            [&](const Focus& focus) {
                sim::SimElement* element = world_.field(focus.field);
                if (element == nullptr) return fail(step, "the field to focus is gone");
                desktop.workspace().bringToFront(element->pid);
                desktop.focus(element->pid, element->id);
            },
            [&](const Select& select) {
                sim::SimElement* element = select.field ? world_.field(*select.field) : world_.focusedFieldInFront();
                if (element == nullptr) return fail(step, "no text field to select in");
                const ports::TextRange range =
                    select.range.value_or(ports::TextRange{0, static_cast<std::int64_t>(element->text.size())});
                if (!element->validRange(range)) return fail(step, "the range lies outside the field's text");
                element->selection = range;
            },
            [&](const Copy& copy) { desktop.pasteboard().writeFromApp(desktop.workspace().frontmostPid(), copy.contents); },
            [&](const SendRequest& request) { clients_.request(request); },
            [&](const Connect& connect) { clients_.connect(connect); },
            [&](const SendFrame& send) { failIf(clients_.send(send)); },
            [&](const Disconnect& disconnect) { failIf(clients_.disconnect(disconnect)); },
            [&](const Cancel& cancel) { failIf(clients_.cancel(cancel.id)); },
            [&](const Wait& wait) {
                time_ += wait.seconds;
                timeline_.advanceTo(time_);
            },
            [&](const SwallowEscape& swallow) {
                timeline_.emit("swallowEscape", Fields{{"on", swallow.on}});
                gestures_->monitor().setSwallowEscape(swallow.on);
            },
            [&](const SuppressFn& suppress) {
                timeline_.emit("suppressFn", Fields{{"seconds", suppress.seconds}});
                gestures_->monitor().suppressFn(suppress.seconds);
            },
            [&](const DisableTap& disable) {
                const bool timeout = disable.notice == ports::KeyEventKind::tapDisabledByTimeout;
                timeline_.emit("tapDisabled", Fields{{"by", timeout ? "timeout" : "userInput"}});
                desktop.keyboard().disableTaps(disable.notice);
            },
            [&](const Expect& expect) {
                ++result_.expectations;
                timeline_.sync();
                Verdict verdict =
                    check(expect.what, world_, clients_,
                          ProductState{gestures_->fired(), actions_.lastLookup(), app_ ? &app_->app() : nullptr});
                Fields out{{"step", step.index}, {"ok", verdict.ok}, {"what", verdict.what}};
                if (!verdict.ok) {
                    ++result_.failures;
                    out["expected"] = std::move(verdict.expected);
                    out["actual"] = std::move(verdict.actual);
                }
                timeline_.emit("expect", std::move(out), !verdict.ok);
            },
            [&](const Lookup& lookup) { failIf(actions_.lookup(step.index, lookup)); },
            [&](const Insert& insert) { failIf(actions_.insert(step.index, insert)); },
            [&](const LiveStart& start) { failIf(actions_.liveStart(start)); },
            [&](const LiveUpdate& update) { failIf(actions_.liveUpdate(update)); },
            [&](const LiveSettle& settle) { failIf(actions_.liveSettle(step.index, settle)); },
            [&](const LiveRetract&) { failIf(actions_.liveRetract(step.index)); },
            [&](const Say& say) {
                timeline_.emit("say", Fields{{"text", say.text}});
                appsim::FakeVoiceStream* stream = app_ ? app_->app().claude.current() : nullptr;
                if (stream == nullptr) return fail(step, "no voice stream is running");
                stream->say(say.text);
            },
            [&](const VoiceFails& fails) {
                timeline_.emit("voiceFails", Fields{{"error", fails.error}});
                appsim::FakeVoiceStream* stream = app_ ? app_->app().claude.current() : nullptr;
                if (stream == nullptr) return fail(step, "no voice stream is running");
                const std::pair<const char*, ClaudeVoiceError> table[] = {{"needLogin", ClaudeVoiceError::needLogin},
                                                                          {"noMic", ClaudeVoiceError::noMic},
                                                                          {"connect", ClaudeVoiceError::connect},
                                                                          {"server", ClaudeVoiceError::server}};
                for (const auto& [name, error] : table) {
                    if (fails.error == name) stream->fail(error);
                }
            },
        },
        step.action);
}

}  // namespace veska::scenario
