// The libcurl client against a loopback server: how fast streamed event lines reach the
// reading task, and the round trip of a small request over a kept connection.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/linux/http/CurlHttpClient.h"
#include "runtime/RunLoop.h"
#include "runtime/Spawn.h"
#include "support/LoopbackHttpServer.h"

namespace veska {

namespace {

/// One server, one client, one loop for the whole run.
struct Rig {
    Rig() { ::setenv("no_proxy", "127.0.0.1,localhost", 1); }
    testing::LoopbackHttpServer server;
    platform::CurlHttpClient client;
    rt::RunLoop loop;
};

rt::Task<std::size_t> countLines(ports::HttpClient* client, std::string url) {
    ports::HttpRequest request;
    request.url = std::move(url);
    ports::HttpResponse response = co_await client->send(std::move(request));
    std::size_t lines = 0;
    while (co_await response.body.nextLine()) ++lines;
    co_return lines;
}

template <class T>
T run(Rig& rig, rt::Task<T> task) {
    auto handle = rt::spawn(rig.loop, std::move(task));
    rig.loop.runUntil([&] { return handle.done(); }, 60);
    return handle.take();
}

/// An answer of `lines` event lines of about 120 bytes, sent in pieces of 50 lines.
sim::HttpBehaviour eventStream(int lines) {
    const std::string line =
        R"(data: {"choices":[{"index":0,"delta":{"content":"một đoạn văn bản ngắn"},"finish_reason":null}]})"
        "\n\n";
    std::vector<sim::HttpPiece> pieces;
    std::string piece;
    for (int i = 0; i < lines; ++i) {
        piece += line;
        if ((i + 1) % 50 == 0) {
            pieces.push_back({0, piece});
            piece.clear();
        }
    }
    if (!piece.empty()) pieces.push_back({0, piece});
    return sim::HttpBehaviour::stream(200, std::move(pieces));
}

void BM_StreamedEventLines(benchmark::State& state) {
    Rig rig;
    const int events = static_cast<int>(state.range(0));
    rig.server.route({std::nullopt, "/sse", std::nullopt, {eventStream(events)}});
    std::size_t lines = 0;
    for (auto _ : state) {
        lines += run(rig, countLines(&rig.client, rig.server.baseUrl() + "/sse"));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(lines));
}
BENCHMARK(BM_StreamedEventLines)->Arg(2000)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_SmallRequestRoundTrip(benchmark::State& state) {
    Rig rig;
    rig.server.route({std::nullopt, "/ping", std::nullopt, {sim::HttpBehaviour::reply(200, "ok")}});
    for (auto _ : state) {
        benchmark::DoNotOptimize(run(rig, countLines(&rig.client, rig.server.baseUrl() + "/ping")));
    }
}
BENCHMARK(BM_SmallRequestRoundTrip)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace

}  // namespace veska

BENCHMARK_MAIN();
