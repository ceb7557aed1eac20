// The runtime's formatting on the hot path of every monitoring tick: the statistics panel and the
// CSV row print floats with StrF and time stamps with FormatDate; loading a log parses each row's
// time stamp with ParseDate.
#include <benchmark/benchmark.h>

#include "runtime/date.h"
#include "runtime/text.h"

namespace {

void BM_StrF(benchmark::State& state) {
    float value = 212.75f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(value);
        Text text = StrF(value, 2);
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_StrF);

void BM_StrFAsNeeded(benchmark::State& state) {
    float value = 1234.5f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(value);
        Text text = StrF(value, -1);
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_StrFAsNeeded);

void BM_ValF(benchmark::State& state) {
    const Text field = u"212.75";
    for (auto _ : state) benchmark::DoNotOptimize(ValF(field));
}
BENCHMARK(BM_ValF);

void BM_FormatDate(benchmark::State& state) {
    DateValue value = 1796479407;  // 2026-12-05 14:03:27
    for (auto _ : state) {
        benchmark::DoNotOptimize(value);
        Text text = FormatDate(u"%hh:%ii:%ss", value);
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_FormatDate);

void BM_ParseDate(benchmark::State& state) {
    const Text mask = u"%yyyy/%mm/%dd %hh:%ii:%ss";
    const Text stamp = u"2026/12/05 14:03:27";
    for (auto _ : state) benchmark::DoNotOptimize(ParseDate(mask, stamp));
}
BENCHMARK(BM_ParseDate);

void BM_Date(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(Date());
}
BENCHMARK(BM_Date);

}  // namespace

BENCHMARK_MAIN();
