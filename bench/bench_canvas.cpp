// One repaint of the trend graph's canvas, as every monitoring tick does it: background, five
// labelled grid lines, 598 curve segments and the legend, on a 560 x 140 buffer.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFont>
#include <QGuiApplication>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "toolkit/canvas_raster.h"

namespace {

constexpr int kWidth = 560, kHeight = 140, kSlots = 300;

struct Curve {
    std::vector<int> x, footprintY, virtualY;
};

// A footprint that climbs in steps with some noise and a virtual size above the plot top, already
// mapped to canvas coordinates as the graph maps them.
Curve MakeCurve() {
    Curve curve;
    const float step = float(kWidth - 190) / 299.0f;
    for (int i = 0; i < kSlots; ++i) {
        double footprint = 80.0 + (i / 40) * 6.0 + std::sin(i * 0.7) * 1.5;
        double scaled = (footprint - 70.0) / 60.0;
        curve.x.push_back(int(std::lrint(65 + i * step)));
        curve.footprintY.push_back(int(std::lrint(115 - scaled * 95)));
        curve.virtualY.push_back(20 + (i % 7 == 0 ? 3 : 0));
    }
    return curve;
}

void PaintTrendGraph(CanvasBuffer& canvas, const Curve& curve, const QFont& font) {
    RasterBox(canvas, 0, 0, kWidth, kHeight, RGB(25, 28, 36));
    const char16_t* labels[] = {u"125 MB", u"94 MB", u"63 MB", u"31 MB", u"0 MB"};
    for (int i = 0; i < 5; ++i) {
        int y = int(std::lrint(20 + i * (95.0f / 4)));
        RasterText(canvas, 5, y - 6, labels[i], RGB(255, 255, 255), 0, true, font);
        RasterLine(canvas, 65, y, kWidth - 125, y, RGB(45, 52, 65));
    }
    for (int i = 0; i + 1 < kSlots; ++i) {
        RasterLine(canvas, curve.x[i], curve.footprintY[i], curve.x[i + 1], curve.footprintY[i + 1],
                   RGB(180, 110, 255));
        RasterLine(canvas, curve.x[i], curve.virtualY[i], curve.x[i + 1], curve.virtualY[i + 1],
                   RGB(0, 220, 240));
    }
    RasterBox(canvas, kWidth - 115, 10, 105, 60, RGB(35, 40, 52));
    RasterBox(canvas, kWidth - 108, 20, 12, 12, RGB(180, 110, 255));
    RasterText(canvas, kWidth - 90, 18, u"Footprint RAM", RGB(220, 220, 230), 0, true, font);
    RasterBox(canvas, kWidth - 108, 42, 12, 12, RGB(0, 220, 240));
    RasterText(canvas, kWidth - 90, 40, u"Virtual RAM", RGB(220, 220, 230), 0, true, font);
}

void BM_TrendGraphRepaint(benchmark::State& state) {
    CanvasBuffer canvas = MakeCanvasBuffer(kWidth, kHeight);
    const Curve curve = MakeCurve();
    const QFont font = QGuiApplication::font();
    for (auto _ : state) {
        PaintTrendGraph(canvas, curve, font);
        benchmark::DoNotOptimize(canvas.pixels.data());
    }
}
BENCHMARK(BM_TrendGraphRepaint)->Unit(benchmark::kMicrosecond);

// The parts of the repaint on their own, to see where the time goes.
void BM_CurveSegments(benchmark::State& state) {
    CanvasBuffer canvas = MakeCanvasBuffer(kWidth, kHeight);
    const Curve curve = MakeCurve();
    for (auto _ : state) {
        for (int i = 0; i + 1 < kSlots; ++i) {
            RasterLine(canvas, curve.x[i], curve.footprintY[i], curve.x[i + 1],
                       curve.footprintY[i + 1], RGB(180, 110, 255));
            RasterLine(canvas, curve.x[i], curve.virtualY[i], curve.x[i + 1], curve.virtualY[i + 1],
                       RGB(0, 220, 240));
        }
        benchmark::DoNotOptimize(canvas.pixels.data());
    }
}
BENCHMARK(BM_CurveSegments)->Unit(benchmark::kMicrosecond);

void BM_AxisLabel(benchmark::State& state) {
    CanvasBuffer canvas = MakeCanvasBuffer(kWidth, kHeight);
    const QFont font = QGuiApplication::font();
    for (auto _ : state) {
        benchmark::DoNotOptimize(RasterText(canvas, 5, 14, u"125 MB", RGB(255, 255, 255), 0, true, font));
    }
}
BENCHMARK(BM_AxisLabel)->Unit(benchmark::kMicrosecond);

// A line from one clamping limit to the other crosses the canvas: only its visible steps are walked.
void BM_LineAcrossTheClampRange(benchmark::State& state) {
    CanvasBuffer canvas = MakeCanvasBuffer(kWidth, kHeight);
    for (auto _ : state) {
        RasterLine(canvas, -65000, -20000, 65000, 20000, RGB(0, 220, 240));
        benchmark::DoNotOptimize(canvas.pixels.data());
    }
}
BENCHMARK(BM_LineAcrossTheClampRange)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
