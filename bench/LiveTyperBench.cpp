// Live typing: the cost of one step's diff on a full-length transcript, and the keystrokes a
// dictation costs compared with retyping every partial transcript whole.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/desktop/LiveTyper.h"
#include "core/desktop/LiveTyperDiff.h"
#include "core/desktop/SelectionService.h"
#include "platform/sim/SimDesktop.h"
#include "runtime/VirtualLoop.h"

using namespace veska;

namespace {

constexpr std::size_t kTranscriptCharacters = 15'000;

const std::vector<std::string> kWords{
    "hello", "world", "xin", "ch\xC3\xA0o", "Vi\xE1\xBB\x87t", "Vie\xCC\xA3\xCC\x82t", "\xC4\x91\xC6\xB0\xE1\xBB\xA3""c",
    "meeting", "tomorrow", "m\xE1\xBB\x99t", "ng\xC6\xB0\xE1\xBB\x9Di", "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD", "the",
    "report", "h\xC3\xB4m", "nay", "and", "c\xC3\xA1""c", "b\xE1\xBA\xA1n", "please"};

std::size_t characters(const std::string& text) { return typingEdit(text, "").deletedCharacters; }

/// Words picked with a fixed seed until the text holds exactly `count` characters.
std::string transcriptOf(std::size_t count) {
    std::mt19937 random(7);
    std::string text;
    while (characters(text) < count) text += kWords[random() % kWords.size()] + " ";
    return std::string(dropLastCharacters(text, characters(text) - count));
}

/// One step on a 15,000-character transcript whose last word was heard again differently.
void stepOnFullTranscriptRevisingTheLastWord(benchmark::State& state) {
    const std::string typed = transcriptOf(kTranscriptCharacters);
    const std::string next = std::string(dropLastCharacters(typed, 4)) + "Vi\xE1\xBB\x87t.";
    for (auto _ : state) {
        const TypingEdit edit = typingEdit(typed, next);
        const double pause = edit.empty() ? 0.0 : pauseAfterTyping(edit.deletedCharacters);
        benchmark::DoNotOptimize(edit);
        benchmark::DoNotOptimize(pause);
    }
}
BENCHMARK(stepOnFullTranscriptRevisingTheLastWord)->Unit(benchmark::kMicrosecond);

/// One step on a 15,000-character transcript that only grew by a word.
void stepOnFullTranscriptAppendingAWord(benchmark::State& state) {
    const std::string typed = transcriptOf(kTranscriptCharacters);
    const std::string next = typed + " ng\xC6\xB0\xE1\xBB\x9Di";
    for (auto _ : state) {
        const TypingEdit edit = typingEdit(typed, next);
        const double pause = edit.empty() ? 0.0 : pauseAfterTyping(edit.deletedCharacters);
        benchmark::DoNotOptimize(edit);
        benchmark::DoNotOptimize(pause);
    }
}
BENCHMARK(stepOnFullTranscriptAppendingAWord)->Unit(benchmark::kMicrosecond);

/// 60 partial transcripts as a recogniser sends them: about two words more each time, the
/// last word often cut short or misheard and corrected by the next partial, and now and then
/// the last few words heard again.
std::vector<std::string> revisionSequence() {
    std::mt19937 random(11);
    std::vector<std::string> settled;
    std::vector<std::string> partials;
    for (int i = 0; i < 60; ++i) {
        if (random() % 6 == 0 && settled.size() > 3) settled.resize(settled.size() - 1 - random() % 3);
        const std::size_t added = 1 + random() % 3;
        for (std::size_t w = 0; w < added; ++w) settled.push_back(kWords[random() % kWords.size()]);
        std::string text;
        for (const std::string& word : settled) text += (text.empty() ? "" : " ") + word;
        // The word being spoken: a cut-off or misheard form the next partial replaces.
        const std::string& speaking = kWords[random() % kWords.size()];
        if (random() % 2 == 0) text += " " + std::string(dropLastCharacters(speaking, 1 + random() % 2));
        partials.push_back(text);
    }
    return partials;
}

struct TypingRun {
    std::size_t keysPosted = 0;
    std::size_t fullRetypeKeys = 0;
};

/// Types the sequence into an editor that takes pasted text, one partial every 400 ms.
TypingRun typeSequence(const std::vector<std::string>& partials) {
    rt::VirtualLoop loop;
    sim::SimDesktop desktop(loop.main());
    const std::int32_t editor = desktop.launchApp({.bundleIdentifier = "com.microsoft.VSCode"}, true);
    desktop.addFocusedField(editor, {.role = "AXTextArea", .text = ""});
    DesktopServices services{loop.main(),         loop.lane("veska.lookups"), loop.lane("veska.live-typer"),
                             desktop.keyboard(),  desktop.keyPoster(),        desktop.pasteboard(),
                             desktop.accessibility(), desktop.workspace(),    desktop.permissions()};
    SelectionService selection(services);
    TypingRun run;
    {
        LiveTyper typer(selection, desktop.workspace().application(editor));
        std::string shown;
        for (const std::string& partial : partials) {
            typer.update(partial);
            loop.runFor(0.4);
            // Retyping whole: every character shown deleted, the whole partial pasted.
            run.fullRetypeKeys += 2 * characters(shown) + (partial.empty() ? 0 : 4);
            shown = partial;
        }
        loop.run(typer.settle(partials.back()));
    }
    run.keysPosted = desktop.trace().ofKind(sim::TraceKind::keyPosted).size();
    return run;
}

void keystrokesOfARevisedDictationAgainstFullRetype(benchmark::State& state) {
    const std::vector<std::string> partials = revisionSequence();
    TypingRun run;
    for (auto _ : state) run = typeSequence(partials);
    state.counters["keys_live"] = static_cast<double>(run.keysPosted);
    state.counters["keys_full_retype"] = static_cast<double>(run.fullRetypeKeys);
    state.counters["ratio"] = static_cast<double>(run.keysPosted) / static_cast<double>(run.fullRetypeKeys);
    state.counters["final_characters"] = static_cast<double>(characters(partials.back()));
}
BENCHMARK(keystrokesOfARevisedDictationAgainstFullRetype)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
