// The interface of every AI text session: open with instructions, send messages, close.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "core/ai/AITask.h"
#include "runtime/Task.h"

namespace veska {

/// One conversation with an AI text engine. The caller owns the session it got and calls
/// `close()` on every path once done. `open` and `send` throw `TranslateError` on failure;
/// cancellation (`rt::Cancelled`) passes through as it is. Used on the main executor.
class TextSession {
public:
    /// Receives the whole answer received so far each time it grows, on the main executor.
    using OnDelta = std::function<void(const std::string& answerSoFar)>;

    virtual ~TextSession() = default;

    /// How long the session's connection has been open, in seconds (0 for sessions that hold
    /// no connection).
    [[nodiscard]] virtual double age() const = 0;
    /// Takes the system instructions for the following messages; opens a connection when the
    /// session holds one.
    virtual rt::Task<void> open(std::string instructions) = 0;
    /// Sends one user message and returns the complete answer.
    virtual rt::Task<std::string> send(std::string text, OnDelta onDelta) = 0;
    /// Releases whatever the session holds.
    virtual void close() = 0;
};

/// Builds the session for an action (the configured source for that task); throws
/// `TranslateError` (for example `noKey`) when it cannot.
using SessionFactory = std::function<std::unique_ptr<TextSession>(AITask task)>;

}  // namespace veska
