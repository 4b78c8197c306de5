// A text session that records what it was given, answers from a script and can fail or stall.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/ai/AITask.h"
#include "core/ai/TextSession.h"
#include "core/ai/TranslateError.h"
#include "runtime/Sleep.h"

namespace veska::testing {

/// What every session of one factory did, shared by the test and the sessions it made.
struct SessionLog {
    std::vector<AITask> made;
    std::vector<std::string> instructions;
    std::vector<std::string> messages;
    int closes = 0;
    int sessionsAlive = 0;
};

/// How the next session behaves.
struct SessionScript {
    std::string answer;
    std::optional<TranslateError> failOpen;
    std::optional<TranslateError> failSend;
    /// Seconds of virtual time `send` takes before it answers.
    double sendSeconds = 0;
    /// Partial answers `send` reports before the whole one.
    std::vector<std::string> partials;
};

class FakeTextSession : public TextSession {
public:
    FakeTextSession(std::shared_ptr<SessionLog> log, SessionScript script)
        : log_(std::move(log)), script_(std::move(script)) {
        ++log_->sessionsAlive;
    }
    ~FakeTextSession() override { --log_->sessionsAlive; }

    [[nodiscard]] double age() const override { return 0; }

    rt::Task<void> open(std::string instructions) override {
        log_->instructions.push_back(std::move(instructions));
        if (script_.failOpen) throw *script_.failOpen;
        co_return;
    }

    rt::Task<std::string> send(std::string text, OnDelta onDelta) override {
        log_->messages.push_back(std::move(text));
        if (script_.sendSeconds > 0) co_await rt::sleepFor(script_.sendSeconds);
        for (const std::string& partial : script_.partials) onDelta(partial);
        if (script_.failSend) throw *script_.failSend;
        co_return script_.answer;
    }

    void close() override { ++log_->closes; }

private:
    std::shared_ptr<SessionLog> log_;
    SessionScript script_;
};

/// A session script that answers `answer`.
inline SessionScript answering(std::string answer) {
    SessionScript script;
    script.answer = std::move(answer);
    return script;
}

/// A factory making fake sessions that follow `script`, or failing with `failMake`.
inline SessionFactory fakeFactory(std::shared_ptr<SessionLog> log, SessionScript script,
                                  std::optional<TranslateError> failMake = std::nullopt) {
    return [log, script, failMake](AITask task) -> std::unique_ptr<TextSession> {
        log->made.push_back(task);
        if (failMake) throw *failMake;
        return std::make_unique<FakeTextSession>(log, script);
    };
}

}  // namespace veska::testing
