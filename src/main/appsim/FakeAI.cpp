#include "main/appsim/FakeAI.h"

#include "runtime/Sleep.h"

namespace veska::appsim {

TranslateError makeTranslateError(TranslateError::Kind kind, AISource source) {
    using K = TranslateError::Kind;
    switch (kind) {
        case K::noKey: return TranslateError::noKey(source);
        case K::badKey: return TranslateError::badKey(source);
        case K::apiFailed: return TranslateError::apiFailed(source, "500 · server error");
        case K::needLogin: return TranslateError::needLogin(source);
        case K::signedOut: return TranslateError::signedOut();
        case K::unreachable: return TranslateError::unreachable();
        case K::tooLong: return TranslateError::tooLong();
        case K::failed: return TranslateError::failed();
    }
    return TranslateError::failed();
}

namespace {

const char* taskName(AITask task) {
    switch (task) {
        case AITask::translate: return "translate";
        case AITask::write: return "write";
        case AITask::fix: return "fix";
    }
    return "fix";
}

class FakeSession final : public TextSession {
public:
    FakeSession(FakeAIEngines& owner, AITask task, AIReply reply) : owner_(owner), task_(task), reply_(std::move(reply)) {
        ++owner_.sessionsOpen;
    }
    ~FakeSession() override { close(); }
    FakeSession(const FakeSession&) = delete;
    FakeSession& operator=(const FakeSession&) = delete;

    double age() const override { return 0; }

    rt::Task<void> open(std::string instructions) override {
        instructions_ = std::move(instructions);
        co_return;
    }

    rt::Task<std::string> send(std::string text, OnDelta onDelta) override {
        owner_.sent.push_back({task_, instructions_, text});
        if (owner_.log != nullptr) owner_.log->add("aiRequest", {{"task", taskName(task_)}, {"text", text}});
        co_await rt::sleepFor(reply_.seconds);
        if (reply_.error) throw makeTranslateError(*reply_.error, owner_.source(task_));
        std::string answer = reply_.text.value_or(text);
        if (onDelta) onDelta(answer);
        co_return answer;
    }

    void close() override {
        if (closed_) return;
        closed_ = true;
        --owner_.sessionsOpen;
    }

private:
    FakeAIEngines& owner_;
    AITask task_;
    AIReply reply_;
    std::string instructions_;
    bool closed_ = false;
};

}  // namespace

AISource FakeAIEngines::source(AITask task) {
    auto found = sources.find(task);
    return found == sources.end() ? AISource::grok : found->second;
}

std::unique_ptr<TextSession> FakeAIEngines::makeSession(AITask task) {
    auto found = replies.find(task);
    return std::make_unique<FakeSession>(*this, task, found == replies.end() ? AIReply{} : found->second);
}

}  // namespace veska::appsim
