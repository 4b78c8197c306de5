// The model race of the HTTP engines: staggered starts, the first text wins, the others stop.
#include "core/ai/ApiTextSession.h"

#include <cstdint>
#include <map>
#include <utility>

#include "runtime/Channel.h"
#include "runtime/Check.h"
#include "runtime/Sleep.h"
#include "runtime/Spawn.h"
#include "text/Ascii.h"
#include "text/WhiteSpace.h"

namespace veska {

namespace {

/// What the model tasks and the stagger timer tell the race.
struct Event {
    enum class Kind { delta, done, fail, tick };
    Kind kind = Kind::tick;
    std::size_t index = 0;  // position of the model in the ordered list
    std::string text;       // delta, done: the model's whole text so far
    double seconds = 0;     // done: from the model's start to the end of its stream
    std::exception_ptr error;
    std::uint64_t tick = 0;  // tick: which scheduled stagger this is

    static Event delta(std::size_t index, std::string text) {
        Event event;
        event.kind = Kind::delta;
        event.index = index;
        event.text = std::move(text);
        return event;
    }
    static Event done(std::size_t index, std::string text, double seconds) {
        Event event = delta(index, std::move(text));
        event.kind = Kind::done;
        event.seconds = seconds;
        return event;
    }
    static Event fail(std::size_t index, std::exception_ptr error) {
        Event event;
        event.kind = Kind::fail;
        event.index = index;
        event.error = std::move(error);
        return event;
    }
    static Event ticked(std::uint64_t tick) {
        Event event;
        event.tick = tick;
        return event;
    }
};

using Events = rt::Channel<Event>;

rt::Task<void> runModel(AIHTTP::Link link, AISource source, std::string model, std::string key,
                        std::string instructions, std::string text, std::size_t index, Events events) {
    rt::Executor& executor = co_await rt::currentExecutor();
    const double start = executor.now();
    std::string accumulator;
    std::exception_ptr failure;
    try {
        co_await AIHTTP::stream(std::move(link), source, std::move(model), std::move(key),
                                std::move(instructions), std::move(text),
                                [&accumulator, &events, index](const std::string& piece) {
                                    accumulator += piece;
                                    events.send(Event::delta(index, accumulator));
                                });
        if (text::trimmed(accumulator).empty()) throw AIError::empty();
    } catch (const rt::Cancelled&) {
        throw;
    } catch (...) {
        failure = std::current_exception();
    }
    // A model that was cancelled posts nothing.
    co_await rt::cancellationPoint();
    if (failure) {
        events.send(Event::fail(index, failure));
        co_return;
    }
    const double seconds = executor.now() - start;
    events.send(Event::done(index, std::move(accumulator), seconds));
}

rt::Task<void> tickAfter(double seconds, std::uint64_t tick, Events events) {
    co_await rt::sleepFor(seconds);
    events.send(Event::ticked(tick));
}

std::optional<ApiTextSession::Engine>& lastEngine();

}  // namespace

/// The state of one `send`: the event channel, the running model tasks and the stagger timer.
/// Lives in `send`'s frame, which cancels and awaits every task of it before returning.
class ApiTextSession::Race {
public:
    Race(const ApiTextSession& session, std::vector<std::string> ordered, std::string text,
         rt::Executor& main, rt::Executor& engines)
        : session_(session),
          ordered_(std::move(ordered)),
          text_(std::move(text)),
          main_(main),
          engines_(engines) {}

    /// Runs the race to its answer; throws the mapped error of the model that decided it.
    rt::Task<std::string> run(OnDelta onDelta) {
        launch(0);
        scheduleTick();
        for (;;) {
            std::optional<Event> event = co_await events_.receive();
            if (!event) throw map(lastError_, session_.source_);
            if (std::optional<std::string> answer = take(*event, onDelta)) co_return std::move(*answer);
        }
    }

    /// Stops the timer and every model, and ends the channel.
    void cancelAll() {
        tick_.cancel();
        for (auto& [index, task] : tasks_) task.cancel();
        events_.close();
    }

    /// Every task the race started and still owns.
    std::vector<rt::JoinHandle<void>*> handles() {
        std::vector<rt::JoinHandle<void>*> out;
        if (tick_.valid()) out.push_back(&tick_);
        for (auto& [index, task] : tasks_) out.push_back(&task);
        return out;
    }

private:
    // The answer once the race is decided by `event`; throws when it fails.
    std::optional<std::string> take(Event& event, const OnDelta& onDelta) {
        switch (event.kind) {
            case Event::Kind::delta:
                if (!winner_) claim(event.index);
                if (winner_ == event.index && onDelta) onDelta(event.text);
                return std::nullopt;
            case Event::Kind::done:
                return finished(event);
            case Event::Kind::fail:
                failed(event.index, event.error);
                return std::nullopt;
            case Event::Kind::tick:
                if (event.tick == tickCount_ && !winner_ && next_ < ordered_.size()) launchNext();
                return std::nullopt;
        }
        return std::nullopt;
    }

    std::optional<std::string> finished(Event& event) {
        session_.link_.health->recordSuccess(ordered_[event.index], event.seconds);
        if (!winner_) claim(event.index);
        if (winner_ != event.index) return std::nullopt;
        setLast(Engine{session_.source_, ordered_[event.index], event.seconds});
        return std::string(text::trimmed(event.text));
    }

    void failed(std::size_t index, const std::exception_ptr& error) {
        --running_;
        if (std::optional<double> cool = coolDown(error)) {
            session_.link_.health->recordFailure(ordered_[index], main_.now() + *cool);
        }
        lastError_ = error;
        if (!winner_ && next_ < ordered_.size()) {
            launchNext();
            return;
        }
        if (!winner_ && running_ < 1) throw map(error, session_.source_);
        if (winner_ == index) throw map(error, session_.source_);
    }

    void launch(std::size_t index) {
        tasks_.insert_or_assign(
            index,
            scope_.spawn(engines_, runModel(session_.link_, session_.source_, ordered_[index], session_.key_,
                                            session_.instructions_, text_, index, events_)));
    }

    void launchNext() {
        launch(next_);
        ++running_;
        ++next_;
        tick_.cancel();
        scheduleTick();
    }

    void scheduleTick() {
        ++tickCount_;
        tick_ = scope_.spawn(main_, tickAfter(session_.hedge_, tickCount_, events_));
    }

    void claim(std::size_t index) {
        winner_ = index;
        tick_.cancel();
        for (auto& [other, task] : tasks_) {
            if (other != index) task.cancel();
        }
    }

    const ApiTextSession& session_;
    const std::vector<std::string> ordered_;
    const std::string text_;
    rt::Executor& main_;
    rt::Executor& engines_;
    Events events_;
    std::map<std::size_t, rt::JoinHandle<void>> tasks_;
    rt::JoinHandle<void> tick_;
    std::uint64_t tickCount_ = 0;  // a tick of an earlier schedule is stale
    std::optional<std::size_t> winner_;
    std::exception_ptr lastError_ = std::make_exception_ptr(AIError::empty());
    int running_ = 1;
    std::size_t next_ = 1;
    rt::Scope scope_;
};

ApiTextSession::ApiTextSession(AIHTTP::Link link, AISource source, std::vector<std::string> models,
                               std::string key, std::string instructions, double hedge, rt::Executor* engines)
    : link_(std::move(link)),
      source_(source),
      models_(std::move(models)),
      key_(std::move(key)),
      instructions_(std::move(instructions)),
      hedge_(hedge),
      engines_(engines) {
    VESKA_CHECK(!models_.empty(), "a model race needs at least one model");
    VESKA_CHECK(link_.http != nullptr && link_.health != nullptr,
                "an AI link needs a client and a health record");
}

rt::Task<void> ApiTextSession::open(std::string instructions) {
    instructions_ = std::move(instructions);
    co_return;
}

rt::Task<std::string> ApiTextSession::send(std::string text, OnDelta onDelta) {
    rt::Executor& main = co_await rt::currentExecutor();
    rt::Executor& engines = engines_ != nullptr ? *engines_ : main;
    Race race(*this, link_.health->order(models_, main.now()), std::move(text), main, engines);
    std::string answer;
    std::exception_ptr failure;
    try {
        answer = co_await race.run(std::move(onDelta));
    } catch (...) {
        failure = std::current_exception();
    }
    // Every way out stops the losers and waits for them, so no model outlives the message.
    race.cancelAll();
    for (rt::JoinHandle<void>* handle : race.handles()) co_await handle->ended();
    if (failure) std::rethrow_exception(failure);
    co_return answer;
}

TranslateError ApiTextSession::map(const AIError& error, AISource source) {
    switch (error.kind()) {
        case AIError::Kind::empty:
            return TranslateError::failed();
        case AIError::Kind::network:
            return TranslateError::unreachable();
        case AIError::Kind::http:
            break;
    }
    const int status = error.status();
    const std::string lowered = text::asciiLowered(error.message());
    if (status == 400 && lowered.find("api key") != std::string::npos) return TranslateError::badKey(source);
    if (status == 401 || status == 403) return TranslateError::badKey(source);
    std::string detail = std::to_string(status);
    if (!error.message().empty()) detail += " · " + error.message();
    return TranslateError::apiFailed(source, std::move(detail));
}

TranslateError ApiTextSession::map(const std::exception_ptr& error, AISource source) {
    try {
        if (error) std::rethrow_exception(error);
    } catch (const AIError& aiError) {
        return map(aiError, source);
    } catch (...) {
        return TranslateError::failed();
    }
    return TranslateError::failed();
}

std::optional<double> ApiTextSession::coolDown(const std::exception_ptr& error) {
    try {
        if (error) std::rethrow_exception(error);
    } catch (const AIError& aiError) {
        if (aiError.kind() != AIError::Kind::http) return kCoolOtherError;
        switch (aiError.status()) {
            case 401:
            case 403:
                return std::nullopt;
            case 404:
                return kCoolNotFound;
            case 429:
                return kCoolRateLimited;
            default:
                return kCoolOtherStatus;
        }
    } catch (...) {
        return kCoolOtherError;
    }
    return kCoolOtherError;
}

const std::optional<ApiTextSession::Engine>& ApiTextSession::last() {
    return lastEngine();
}

void ApiTextSession::setLast(Engine engine) {
    lastEngine() = std::move(engine);
}

namespace {

std::optional<ApiTextSession::Engine>& lastEngine() {
    static std::optional<ApiTextSession::Engine> engine;
    return engine;
}

}  // namespace

}  // namespace veska
