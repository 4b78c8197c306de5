// Reading a streamed Gemini answer: lines, data payloads, and the text of each event
// (target: at least 200 MB/s).
#include <benchmark/benchmark.h>

#include <string>
#include <string_view>

#include "core/ai/AIHTTP.h"
#include "core/ai/EventStream.h"

namespace veska {
namespace {

// About 1 MB of events shaped like the service's: a text piece, token counts, model version.
std::string geminiBody() {
    std::string body;
    for (int i = 0; body.size() < 1'000'000; ++i) {
        nlohmann::json event = {
            {"candidates",
             {{{"content",
                {{"parts", {{{"text", "Một đoạn văn được dịch, phần " + std::to_string(i) + ". "}}}},
                 {"role", "model"}}},
               {"index", 0}}}},
            {"usageMetadata",
             {{"promptTokenCount", 812},
              {"candidatesTokenCount", i},
              {"totalTokenCount", 812 + i},
              {"promptTokensDetails", {{{"modality", "TEXT"}, {"tokenCount", 812}}}}}},
            {"modelVersion", "gemini-3.5-flash-lite"},
            {"responseId", "kG9xZ4abCDeFgHiJkLmNoP"}};
        body += "data: " + event.dump() + "\r\n\r\n";
    }
    body += "data: [DONE]\r\n";
    return body;
}

template <class OnLine>
void eachLine(std::string_view text, OnLine onLine) {
    while (!text.empty()) {
        std::size_t end = text.find_first_of("\r\n");
        onLine(text.substr(0, end));
        if (end == std::string_view::npos) return;
        std::size_t next = end + 1;
        if (text[end] == '\r' && next < text.size() && text[next] == '\n') ++next;
        text.remove_prefix(next);
    }
}

// Lines → text, as a streaming request reads them.
void BM_EventStreamGemini(benchmark::State& state) {
    const std::string body = geminiBody();
    std::size_t characters = 0;
    for (auto _ : state) {
        characters = 0;
        eachLine(body, [&](std::string_view line) {
            EventStream::Delta parsed = EventStream::parseDelta(line, EventStream::Format::gemini);
            if (auto* text = std::get_if<std::string>(&parsed)) characters += text->size();
        });
        benchmark::DoNotOptimize(characters);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * body.size()));
}
BENCHMARK(BM_EventStreamGemini)->Unit(benchmark::kMillisecond);

// The same through whole JSON objects, for comparison.
void BM_EventStreamGeminiObjects(benchmark::State& state) {
    const std::string body = geminiBody();
    std::size_t characters = 0;
    for (auto _ : state) {
        characters = 0;
        eachLine(body, [&](std::string_view line) {
            EventStream::Line parsed = EventStream::parseLine(line);
            if (auto* event = std::get_if<nlohmann::json>(&parsed))
                characters += AIHTTP::geminiText(*event).size();
        });
        benchmark::DoNotOptimize(characters);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * body.size()));
}
BENCHMARK(BM_EventStreamGeminiObjects)->Unit(benchmark::kMillisecond);

// The framing alone: lines and data payloads, no JSON.
void BM_EventStreamFraming(benchmark::State& state) {
    const std::string body = geminiBody();
    for (auto _ : state) {
        std::size_t payloadBytes = 0;
        eachLine(body, [&](std::string_view line) {
            if (auto payload = EventStream::payload(line)) payloadBytes += payload->size();
        });
        benchmark::DoNotOptimize(payloadBytes);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * body.size()));
}
BENCHMARK(BM_EventStreamFraming)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace veska
