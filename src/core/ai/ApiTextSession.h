// The text session of the HTTP engines: each message races the models of one source.
#pragma once

#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "core/ai/AIError.h"
#include "core/ai/AIHTTP.h"
#include "core/ai/AISource.h"
#include "core/ai/TextSession.h"
#include "core/ai/TranslateError.h"
#include "runtime/Executor.h"

namespace veska {

/// A `TextSession` over `AIHTTP` for Gemini or DeepSeek. Every `send` is a race: the model
/// expected fastest starts first, the next one `hedge` seconds later while none has produced
/// text (at once when one fails), the first model with text wins and the others are cancelled
/// at once. Speeds and failures go to the link's `AIHealth`. Holds no connection and no state
/// between messages but its instructions. Used on the main executor; the model tasks run on
/// `engines` (the main executor itself when none is given) and talk to the race only through
/// its event channel.
class ApiTextSession final : public TextSession {
public:
    /// The engine that produced the latest successful answer, and how long it took.
    struct Engine {
        AISource source = AISource::gemini;
        std::string model;
        double seconds = 0;
        bool operator==(const Engine&) const = default;
    };

    /// Cool-downs after a failure, in seconds (401 and 403 record none).
    static constexpr double kCoolNotFound = 600;
    static constexpr double kCoolRateLimited = 90;
    static constexpr double kCoolOtherStatus = 30;
    static constexpr double kCoolOtherError = 20;

    /// `models`: at least one name.
    ApiTextSession(AIHTTP::Link link, AISource source, std::vector<std::string> models, std::string key,
                   std::string instructions, double hedge, rt::Executor* engines = nullptr);

    [[nodiscard]] double age() const override { return 0; }
    rt::Task<void> open(std::string instructions) override;
    /// Throws `TranslateError` (the last failing model's error, mapped) or `rt::Cancelled`.
    rt::Task<std::string> send(std::string text, OnDelta onDelta) override;
    void close() override {}

    [[nodiscard]] AISource source() const { return source_; }
    [[nodiscard]] const std::vector<std::string>& models() const { return models_; }
    [[nodiscard]] const std::string& instructions() const { return instructions_; }
    [[nodiscard]] double hedge() const { return hedge_; }

    /// The `TranslateError` the user sees for an engine failure of `source`.
    [[nodiscard]] static TranslateError map(const std::exception_ptr& error, AISource source);
    [[nodiscard]] static TranslateError map(const AIError& error, AISource source);
    /// How long a model that failed with `error` is left to cool; nothing for 401 and 403.
    [[nodiscard]] static std::optional<double> coolDown(const std::exception_ptr& error);

    /// The engine of the latest successful answer of an HTTP or ChatGPT session; absent until
    /// the first. Read and written on the main executor.
    [[nodiscard]] static const std::optional<Engine>& last();
    static void setLast(Engine engine);

private:
    class Race;

    const AIHTTP::Link link_;
    const AISource source_;
    const std::vector<std::string> models_;
    const std::string key_;
    std::string instructions_;
    const double hedge_;
    rt::Executor* engines_;
};

}  // namespace veska
