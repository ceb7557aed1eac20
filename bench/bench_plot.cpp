// `quolk --plot` and `quolk --compare` as whole processes (quolk and its drawing program) beside
// /bin/true and beside `quolk --analyze` of the same log: a 300-row log as PNG and as SVG, a
// 100,000-row log, and the comparison of two 300-row logs. With BEFORE=path/to/an/older/quolk (its
// lib/quolk/quolk-plot beside it), that one's plots run in the same rounds too.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "scratch_dir.h"
#include "side_by_side.h"

namespace {

const ScratchDir& Dir() {
    static const ScratchDir dir;
    return dir;
}

// A leak under a sawtooth: cycles of a minute that release most of what they took.
std::string Log(const std::string& name, int rows, double leakPerRow) {
    std::string text = "Timestamp,Virtual(MB),Footprint(MB),Delta(MB),Peak(MB),Alerts\n";
    char row[128];
    for (int i = 0; i < rows; ++i) {
        const int s = 8 * 3600 + i % 50000;
        const double mb = 200 + leakPerRow * i + (i % 60 < 30 ? 3.0 * (i % 60) : 0) + std::sin(i * 1.7);
        std::snprintf(row, sizeof row, "%02d:%02d:%02d,%.2f,%.2f,0,0,\"\"\n", s / 3600, s / 60 % 60, s % 60, mb + 900, mb);
        text += row;
    }
    return Dir().Write(name, text);
}

const std::string Quolk = QUOLK_BINARY_DIR "/quolk";

void BM_PlotAndCompareBesideAnalyze(benchmark::State& state) {
    const std::string before = Log("before.csv", 300, 0.2), after = Log("after.csv", 300, 0.01);
    const std::string huge = Log("huge.csv", 100000, 0.001);
    std::vector<side_by_side::Program> programs = {
        {"true", {"/bin/true"}, {}},
        {"analyze300", {Quolk, "--analyze", before}, {}},
        {"plotPng300", {Quolk, "--analyze", before, "--plot", Dir().File("p.png")}, {}},
        {"plotSvg300", {Quolk, "--analyze", before, "--plot", Dir().File("p.svg")}, {}},
        {"plotPng100k", {Quolk, "--analyze", huge, "--plot", Dir().File("h.png")}, {}},
        {"compare300", {Quolk, "--compare", before, after}, {}}};
    if (const char* older = std::getenv("BEFORE")) {
        programs.push_back({"beforePng300", {older, "--analyze", before, "--plot", Dir().File("b.png")}, {}});
        programs.push_back({"beforeSvg300", {older, "--analyze", before, "--plot", Dir().File("b.svg")}, {}});
        programs.push_back({"beforePng100k", {older, "--analyze", huge, "--plot", Dir().File("c.png")}, {}});
    }
    side_by_side::RunSideBySide(state, programs, 20);
}
BENCHMARK(BM_PlotAndCompareBesideAnalyze)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
