// One frame of each moving HUD state drawn into an image the size of the panel, as the
// window's backing store gets it: the listening card with a full transcript, the reading bar,
// and a pill with pulse dots. At 60 frames a second, 1 ms per frame is 6% of one core.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>

#include <cstdlib>

#include "platform/linux/hud/HUDDrawing.h"

namespace veska::platform {
namespace {

HUDModel model(HUDState state) {
    HUDModel m;
    m.state = std::move(state);
    m.engine = "claude_web";
    m.level = 0.5;
    m.targetApp = "Notes";
    m.outputChip = "→ EN";
    m.text = "xin chào các bạn hôm nay chúng ta sẽ nói về cách Veska gõ chữ vào bất kỳ ứng dụng nào đang mở "
             "trên màn hình, kể cả khi câu rất dài và có nhiều từ mới xuất hiện liên tục trong lúc nói";
    return m;
}

void drawFrames(benchmark::State& state, HUDState hudState) {
    const HUDModel m = model(std::move(hudState));
    double t = 0;
    const QSize size = HUDDrawing::contentSize({m, Translator::WriteMode::normal, t});
    QImage canvas(size, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        canvas.fill(Qt::transparent);
        QPainter painter(&canvas);
        HUDDrawing::paint(painter, size, {m, Translator::WriteMode::normal, t});
        t += 1.0 / 60;
        benchmark::DoNotOptimize(canvas.constBits());
    }
}

void listeningCard(benchmark::State& state) { drawFrames(state, HUDState::Kind::listening); }
void readingBar(benchmark::State& state) { drawFrames(state, HUDState::Kind::speaking); }
void pulsePill(benchmark::State& state) { drawFrames(state, HUDState::Kind::translating); }

BENCHMARK(listeningCard)->Unit(benchmark::kMicrosecond);
BENCHMARK(readingBar)->Unit(benchmark::kMicrosecond);
BENCHMARK(pulsePill)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace veska::platform

int main(int argc, char** argv) {
    // Fonts need a GUI application; no display is needed to draw into images.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
