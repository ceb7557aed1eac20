// Synthetic footprints that measure the leak test: the behaviours a recording meets, at the sample
// intervals and durations a recording uses, each series fixed by its seed. The confusion table
// (bench/programs/leak_table.cpp) and the leak test's benchmark read it.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "analysis/leak_test.h"
#include "monitor/sample_history.h"

namespace leak_corpus {

enum class Shape { Flat, Sawtooth, GcSawtooth, WarmUp, CacheFill, FreedResident, SteadyLeak, BurstLeak, SawtoothLeak };
inline constexpr const char* ShapeNames[] = {"flat + spikes", "sawtooth",         "GC sawtooth",
                                             "warm-up",       "cache fill",       "freed, resident",
                                             "steady leak",   "burst leak",       "leak + sawtooth"};
inline bool Leaks(Shape shape) { return shape >= Shape::SteadyLeak; }

struct Case {
    Shape shape{};
    double durationSec{}, intervalSec{};
    double cycleSec{};  // sawtooth or burst period
    double phase{};     // where in its cycle the run starts, 0..1
    double leakMBps{};
    uint64_t seed{};
    bool history{};  // through the 300-point history with whole-second stamps, as a recording keeps it
};

// splitmix64, so that a seed gives the same series with any standard library.
struct Rng {
    uint64_t state;
    uint64_t Next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double Uniform(double lo = 0.0, double hi = 1.0) { return lo + (hi - lo) * double(Next() >> 11) * 0x1.0p-53; }
    double Normal() { return std::sqrt(-2.0 * std::log(1.0 - Uniform())) * std::cos(6.283185307179586 * Uniform()); }
};

// The figures a case draws from its seed.
struct Model {
    double base, amplitude, noise, hold, tau, fill, freeShare;
    explicit Model(const Case& c) {
        Rng rng{c.seed};
        base = 20.0 * std::pow(50.0, rng.Uniform());  // 20 MB to 1 GB
        amplitude = base * rng.Uniform(0.2, 2.0);
        noise = rng.Uniform() < 0.5 ? 0.002 * base + 0.05 : 0.01 * base + 0.2;
        hold = rng.Uniform(0.3, 0.7);  // share of a cycle held
        tau = rng.Uniform(0.5, std::min(4.0, c.durationSec / 10.0));
        fill = c.durationSec * rng.Uniform(0.1, 0.4);
        freeShare = rng.Uniform(0.5, 0.9);
    }
};

// Allocates and touches `amplitude` at 2 GB/s, holds it, frees it and rests.
inline double SquareCycle(double x, double period, double amplitude, double hold) {
    const double touch = std::min(amplitude / 2048.0, period / 4.0);
    if (x < touch) return amplitude * x / touch;
    return x < touch + hold * (period - touch) ? amplitude : 0.0;
}

// The memory the program asks for at time t, above its base.
inline double Demand(const Case& c, const Model& m, double t, double& highWater) {
    const double u = t + c.phase * c.cycleSec, x = c.cycleSec > 0 ? std::fmod(u, c.cycleSec) : 0.0;
    const double cycle = c.cycleSec > 0 ? std::floor(u / c.cycleSec) : 0.0;
    Rng perCycle{c.seed ^ uint64_t(cycle + 1) * 0x2545F4914F6CDD1Dull};
    switch (c.shape) {
        case Shape::Flat: return 0.0;
        case Shape::Sawtooth: return SquareCycle(x, c.cycleSec, m.amplitude, m.hold);
        case Shape::GcSawtooth:  // a ramp and a collection whose floor wanders a little
            return m.amplitude * x / c.cycleSec + 0.02 * m.base * perCycle.Normal();
        case Shape::WarmUp: return m.amplitude * (1.0 - std::exp(-t / m.tau));
        case Shape::CacheFill: return m.amplitude * std::min(1.0, t / m.fill);
        case Shape::FreedResident:  // the allocator keeps the peak of cycles that vary by 0.5 %
            highWater = std::max(highWater, SquareCycle(x, c.cycleSec, m.amplitude * perCycle.Uniform(0.995, 1.005), m.hold));
            return highWater;
        case Shape::SteadyLeak: return c.leakMBps * t;
        case Shape::BurstLeak: {  // a burst a cycle, most of it freed after the hold
            const double burst = c.leakMBps * c.cycleSec / (1.0 - m.freeShare);
            const double kept = c.leakMBps * c.cycleSec * std::floor(u / c.cycleSec);
            return std::max(0.0, kept + (x < m.hold * c.cycleSec ? burst : burst * (1.0 - m.freeShare)));
        }
        case Shape::SawtoothLeak:
            return c.leakMBps * t + (c.seed % 2 ? SquareCycle(x, c.cycleSec, m.amplitude, m.hold)
                                                 : m.amplitude * x / c.cycleSec);
    }
    return 0.0;
}

// The series a recording of the case reads: noise, a rare short spike, whole 4 KB pages.
inline std::vector<LeakPoint> Series(const Case& c) {
    const Model m(c);
    Rng rng{c.seed * 31 + 7};
    const int64_t count = int64_t(c.durationSec / c.intervalSec + 1e-9);
    const double start = 1.8e9 + rng.Uniform();  // any fraction of a second
    double highWater = 0.0;
    std::vector<LeakPoint> series;
    SampleHistory history;
    for (int64_t i = 0; i < count; ++i) {
        const double t = double(i) * c.intervalSec;
        double mb = m.base + Demand(c, m, t, highWater) + m.noise * rng.Normal();
        if (rng.Uniform() < 0.005) mb += m.base * rng.Uniform(0.05, 0.3);
        mb = std::max(1.0, std::round(mb * 256.0) / 256.0);
        if (c.history)
            AppendHistoryPoint(history, DateValue(std::floor(start + t)), float(mb), 4000.0f);
        else
            series.push_back({start + t, mb});
    }
    return c.history ? LeakSeries(history) : series;
}

// The leaks the test must catch: at least 1 MB/s, or 5 % of the starting footprint a minute, over
// 30 s or more.
inline bool AtGoalRate(const Case& c) { return c.leakMBps >= 1.0 || c.leakMBps * 60.0 >= 0.05 * Model(c).base; }
inline bool MustDetect(const Case& c) { return Leaks(c.shape) && c.durationSec >= 30.0 && AtGoalRate(c); }

// The recordings: --duration alone (300 samples over the run, at least 100 ms apart), and
// --interval 100, 500 or 1000 ms for 30 s to 10 min.
struct Recording {
    double durationSec, intervalSec;
    bool history;
};
inline constexpr Recording Recordings[] = {
    {10, 0.1, true},  {30, 0.1, true},   {60, 0.2, true},   {120, 0.4, true},  {300, 1.0, true},
    {600, 2.0, true}, {30, 0.5, false},  {120, 0.1, false}, {120, 1.0, false}, {600, 0.1, false},
    {600, 0.5, false}};

inline std::vector<Case> Corpus(uint64_t firstSeed = 1) {
    std::vector<Case> cases;
    const double cycles[] = {1, 2, 3, 5, 8, 12, 20};
    const double rates[] = {0.1, 0.2, 0.5, 1, 2, 5, 10, 20, 50};
    uint64_t seed = firstSeed;
    for (const Recording& r : Recordings) {
        auto add = [&](Shape shape, double cycle, double phase, double rate) {
            cases.push_back({shape, r.durationSec, r.intervalSec, cycle, phase, rate, seed++, r.history});
        };
        for (Shape shape : {Shape::Sawtooth, Shape::GcSawtooth, Shape::FreedResident})
            for (double cycle : cycles)
                for (int phase = 0; phase < 8; ++phase) add(shape, cycle, phase / 8.0, 0.0);
        for (Shape shape : {Shape::Flat, Shape::WarmUp, Shape::CacheFill})
            for (int i = 0; i < 24; ++i) add(shape, 0.0, 0.0, 0.0);
        for (double rate : rates) {
            for (int i = 0; i < 4; ++i) add(Shape::SteadyLeak, 0.0, 0.0, rate);
            for (double cycle : {0.5, 1.0, 2.0, 5.0}) add(Shape::BurstLeak, cycle, 0.3, rate);
            for (double cycle : {1.0, 2.0, 3.0, 5.0, 10.0}) add(Shape::SawtoothLeak, cycle, 0.6, rate);
        }
    }
    return cases;
}

}  // namespace leak_corpus
