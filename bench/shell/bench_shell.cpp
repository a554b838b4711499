// Draw passes of the spectrum graph into a 1600 x 900 picture. Run with
// QT_QPA_PLATFORM=offscreen; target: one pass within 2 ms.
#include "graph_scenes.h"
#include "shell/graph_renderer.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

namespace {

using namespace quillon;

void drawPass(benchmark::State &state, const GraphSnapshot &snapshot) {
    QImage image(1600, 900, QImage::Format_RGB32);
    GraphRenderer renderer;
    renderer.render(snapshot, image); // fonts and buffers warm
    for (auto _ : state) {
        LabelledTicks ticks = renderer.render(snapshot, image);
        benchmark::DoNotOptimize(ticks);
        benchmark::DoNotOptimize(image.constBits());
    }
}

// Background, axes, grid, titles and a 3648-point trace on the pixel axis.
void BM_DrawPassScopePixels(benchmark::State &state) {
    drawPass(state, testing::scopePixelScene());
}
BENCHMARK(BM_DrawPassScopePixels)->Unit(benchmark::kMicrosecond);

// The same spectrum with its dark and reference lines and two peak marks.
void BM_DrawPassScopeWithLines(benchmark::State &state) {
    GraphSnapshot snapshot = testing::scopePixelScene();
    snapshot.dark.assign(snapshot.values.size(), 1500.0f);
    snapshot.reference = snapshot.values;
    for (float &value : snapshot.reference) {
        value *= 1.2f;
    }
    snapshot.showDark = true;
    snapshot.showReference = true;
    snapshot.peaks = {{1094.0f, 48000.0f, 1.2f}, {2293.0f, 44000.0f, 1.3f}};
    snapshot.range.peakMarks = true;
    drawPass(state, snapshot);
}
BENCHMARK(BM_DrawPassScopeWithLines)->Unit(benchmark::kMicrosecond);

// T/R on the wavelength grid: fewer points than columns.
void BM_DrawPassTransmission(benchmark::State &state) {
    drawPass(state, testing::transmissionScene());
}
BENCHMARK(BM_DrawPassTransmission)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv) {
    QGuiApplication application(argc, argv); // fonts need a GUI application
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
