// What one partial answer of a 15,000-character translation costs: reading the tagged answer
// so far and rendering the whole translation (target: at most 1 ms).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "core/ai/LineTag.h"
#include "core/ai/TaggedTranslationRender.h"
#include "core/ai/TaggedTranslationSegments.h"

namespace veska::Translator {
namespace {

// 15,000 characters of mixed Vietnamese and English prose in lines of varied length, with
// blank lines, indented list items and a few long paragraphs.
std::vector<std::string> sourceLines() {
    const std::vector<std::string> sentences = {
        "Hôm nay trời đẹp và chúng tôi đi dạo quanh hồ.",
        "The meeting was moved to Thursday afternoon because of the holiday.",
        "Xin vui lòng gửi lại bản báo cáo trước thứ sáu.",
        "Our team shipped the new release with fewer bugs than the last one.",
        "Tiếng Việt có sáu thanh điệu và rất nhiều từ mượn.",
    };
    std::vector<std::string> lines;
    std::size_t characters = 0;
    for (std::size_t i = 0; characters < 15'000; ++i) {
        std::string line = i % 7 == 3 ? "  - " : "";
        const std::size_t count = i % 11 == 5 ? 9 : 1 + i % 3;
        for (std::size_t k = 0; k < count; ++k) {
            if (k > 0) line += ' ';
            line += sentences[(i + k) % sentences.size()];
        }
        characters += line.size() * 9 / 10;  // about one in ten bytes is a second byte of a letter
        lines.push_back(std::move(line));
        if (i % 5 == 4) lines.emplace_back();
    }
    return lines;
}

struct Translation {
    std::vector<std::string> lines = sourceLines();
    std::vector<Segment> segments = Translator::segments(lines);
    std::vector<std::vector<std::size_t>> chunks = Translator::chunks(segments);
    Tag mark = Tag::candidates().front();
    Results settled;
    std::string answerSoFar;

    // Every chunk but the last is translated; the last one's answer has come half way.
    Translation() {
        for (std::size_t c = 0; c + 1 < chunks.size(); ++c) {
            for (std::size_t index : chunks[c]) settled[index] = "Đã dịch: " + segments[index].text;
        }
        const std::vector<std::size_t>& last = chunks.back();
        for (std::size_t k = 0; k < last.size(); ++k) {
            std::string text = segments[last[k]].text;
            if (k == last.size() / 2) {
                answerSoFar +=
                    mark.open + std::to_string(last[k]) + mark.close + " " + text.substr(0, text.size() / 2);
                break;
            }
            answerSoFar += mark.open + std::to_string(last[k]) + mark.close + " " + text + "\n";
        }
    }
};

// The work of one partial answer in the translate flow, for each of its two styles.
void partialRender(benchmark::State& state, bool reading) {
    Translation t;
    std::size_t rendered = 0;
    for (auto _ : state) {
        Results copy = t.settled;
        for (auto& [index, text] : parse(t.answerSoFar, t.chunks.back(), t.mark)) copy[index] = text;
        std::string text = render(t.lines, t.segments, copy, " ", t.answerSoFar, t.mark);
        if (reading) text = paragraphs(text);
        rendered = text.size();
        benchmark::DoNotOptimize(text);
    }
    state.counters["bytes_rendered"] = static_cast<double>(rendered);
    state.counters["segments"] = static_cast<double>(t.segments.size());
}

void BM_PartialRenderSpeech(benchmark::State& state) {
    partialRender(state, false);
}
void BM_PartialRenderReading(benchmark::State& state) {
    partialRender(state, true);
}
BENCHMARK(BM_PartialRenderSpeech)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PartialRenderReading)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace veska::Translator
