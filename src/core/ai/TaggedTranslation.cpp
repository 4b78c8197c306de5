// The translate flow: segments, chunks, one message per chunk, partial and final rendering.
#include "core/ai/TaggedTranslation.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "core/ai/TranslateError.h"
#include "text/Characters.h"
#include "text/WhiteSpace.h"

namespace veska::Translator {

namespace {

// Holds the current session and closes it when replaced or when the call ends in any way.
class SessionHolder {
public:
    SessionHolder() = default;
    SessionHolder(const SessionHolder&) = delete;
    SessionHolder& operator=(const SessionHolder&) = delete;
    ~SessionHolder() { reset(); }

    void reset(std::unique_ptr<TextSession> next = nullptr) {
        if (session_) session_->close();
        session_ = std::move(next);
    }
    TextSession& operator*() const { return *session_; }

private:
    std::unique_ptr<TextSession> session_;
};

// Everything one call renders from; lives in the call's frame.
struct Job {
    std::vector<std::string> lines;
    std::vector<Segment> segments;
    Tag mark;
    std::string join;
    Style style;
    Results results;
};

std::string message(const Job& job, const std::vector<std::size_t>& chunk) {
    std::string out;
    for (std::size_t index : chunk) {
        if (!out.empty()) out += '\n';
        out += job.mark.open + std::to_string(index) + job.mark.close + " " + job.segments[index].text;
    }
    return out;
}

std::string shown(const Job& job, const Results& results, std::optional<std::string_view> loose) {
    std::string text = render(job.lines, job.segments, results, job.join, loose, job.mark);
    return job.style == Style::reading ? paragraphs(text) : text;
}

void merge(Results& into, const Results& from) {
    for (const auto& [index, text] : from) into[index] = text;
}

// Takes a complete answer of `chunk` into the results.
void settle(Job& job, const std::vector<std::size_t>& chunk, const std::string& answer) {
    Results parsed = parse(answer, chunk, job.mark);
    bool whole = std::all_of(chunk.begin(), chunk.end(), [&](std::size_t i) { return parsed.contains(i); });
    if (whole) {
        merge(job.results, parsed);
        return;
    }
    job.results[chunk.front()] = std::string(text::trimmed(job.mark.stripped(answer)));
    for (std::size_t k = 1; k < chunk.size(); ++k) job.results[chunk[k]] = std::string();
}

bool joinsWithoutSpace(const TranslateLang& to) {
    return to.code.starts_with("zh") || to.code.starts_with("ja") || to.code.starts_with("th");
}

}  // namespace

rt::Task<std::string> translate(std::string text, TranslateLang to, Style style, bool markdown,
                                std::optional<OnPartial> onPartial, SessionFactory makeSession) {
    const std::string_view trimmed = text::trimmed(text);
    if (trimmed.empty()) co_return text;
    if (text::characterCount(text) > kTextLimit) throw TranslateError::tooLong();
    const std::string leading(text::leadingWhiteSpace(text));
    const std::string trailing(text::trailingWhiteSpace(text));

    Job job{.lines = {},
            .segments = {},
            .mark = Tag::free(trimmed),
            .join = joinsWithoutSpace(to) ? "" : " ",
            .style = style,
            .results = {}};
    for (std::string_view line : text::splitAt(trimmed, "\n")) job.lines.emplace_back(line);
    job.segments = segments(job.lines, kPieceLimit);
    const std::string prompt = instructions(to.english, style, job.mark, markdown);

    SessionHolder session;
    session.reset(makeSession(AITask::translate));
    co_await (*session).open(prompt);
    for (const std::vector<std::size_t>& chunk : chunks(job.segments, kMessageBudget)) {
        if ((*session).age() > kSessionAgeSeconds) {
            session.reset();
            session.reset(makeSession(AITask::translate));
            co_await (*session).open(prompt);
        }
        TextSession::OnDelta onDelta = [&job, &chunk, &onPartial](const std::string& answerSoFar) {
            if (!onPartial || !*onPartial) return;
            Results copy = job.results;
            merge(copy, parse(answerSoFar, chunk, job.mark));
            (*onPartial)(shown(job, copy, answerSoFar));
        };
        std::string answer = co_await (*session).send(message(job, chunk), std::move(onDelta));
        settle(job, chunk, answer);
    }
    std::string rendered = shown(job, job.results, std::nullopt);
    session.reset();
    co_return leading + rendered + trailing;
}

}  // namespace veska::Translator
