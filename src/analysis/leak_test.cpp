#include "analysis/leak_test.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

using Points = std::vector<LeakPoint>;

// A longer series is reduced to this many block minima first.
constexpr size_t MaxPoints = 2048;
// A fall of more than this many step-noise deviations is a release.
constexpr double ReleaseNoiseFactor = 6.0;
// Windows are this much longer than the longest hold seen, for a cycle a little longer than those
// the run showed.
constexpr double CycleMargin = 1.25;
// Growth that slows to less than this share of its earlier rate in the later half is a warm-up
// or a cache settling, not a leak.
constexpr double SlowingLimit = 0.25;
// Exact Mann–Kendall p-values up to this many points, the normal approximation beyond.
constexpr size_t ExactLimit = 60;

// The readings with a footprint, in time order: a reading whose time goes back is dropped, and so
// is a zero, a footprint that could not be read, unless zeros are readings.
Points Clean(std::span<const LeakPoint> series, bool keepZeros) {
    Points points;
    points.reserve(series.size());
    for (const LeakPoint& p : series) {
        if (!std::isfinite(p.seconds) || !std::isfinite(p.footprintMB)) continue;
        if (p.footprintMB < 0.0 || (p.footprintMB == 0.0 && !keepZeros)) continue;
        if (!points.empty() && p.seconds < points.back().seconds) continue;
        points.push_back(p);
    }
    return points;
}

// At most MaxPoints minima of blocks of equal counts, each at the time of its minimum: a trough
// survives, and cycles shorter than a block no longer matter, since every block holds a trough.
Points Decimate(Points points) {
    const size_t n = points.size();
    if (n <= MaxPoints) return points;
    Points out;
    out.reserve(MaxPoints);
    for (size_t b = 0; b < MaxPoints; ++b) {
        const size_t from = n * b / MaxPoints, to = n * (b + 1) / MaxPoints;
        size_t low = from;
        for (size_t i = from + 1; i < to; ++i)
            if (points[i].footprintMB < points[low].footprintMB) low = i;
        out.push_back(points[low]);
    }
    return out;
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0.0;
    const auto mid = values.begin() + std::ptrdiff_t(values.size() / 2);
    std::nth_element(values.begin(), mid, values.end());
    if (values.size() % 2 == 1) return *mid;
    return (*mid + *std::max_element(values.begin(), mid)) / 2.0;
}

// The median time between readings.
double MedianStep(const Points& points) {
    std::vector<double> steps;
    for (size_t i = 1; i < points.size(); ++i) steps.push_back(points[i].seconds - points[i - 1].seconds);
    return Median(std::move(steps));
}

// The noise of one step: the scaled median absolute deviation of the differences, which the few
// large steps of allocations and releases do not move.
double StepNoise(const Points& points) {
    std::vector<double> steps;
    for (size_t i = 1; i < points.size(); ++i) steps.push_back(points[i].footprintMB - points[i - 1].footprintMB);
    const double median = Median(steps);
    for (double& d : steps) d = std::fabs(d - median);
    return 1.4826 * Median(std::move(steps));
}

// The longest time the footprint stayed up before a release: for each fall of at least `release`
// (peak to trough, followed by a rise of as much or ending the run), the time it spent more than
// `release` above the trough around the peak, from the last reading before the peak that was not
// (or the trough before) to the first one after it. A fall to a level not seen before is left out
// when it ends the run: a footprint that goes down for good has no cycle. Each stretch is scanned
// once: O(n).
double LongestHold(const Points& p, double release) {
    double longest = 0.0;
    size_t peak = 0, trough = 0, lastTrough = 0;
    bool falling = false, haveTrough = false;
    auto held = [&](bool confirmed) {
        const double level = p[trough].footprintMB + release;
        size_t j = peak, back = peak;
        while (j > lastTrough && p[j].footprintMB > level) --j;
        while (back < trough && p[back].footprintMB > level) ++back;
        if (confirmed || haveTrough || p[j].footprintMB <= level)
            longest = std::max(longest, p[back].seconds - p[j].seconds);
        lastTrough = trough;
        haveTrough = true;
    };
    for (size_t i = 1; i < p.size(); ++i) {
        const double y = p[i].footprintMB;
        if (!falling) {
            if (y >= p[peak].footprintMB) {
                peak = i;
            } else if (p[peak].footprintMB - y >= release) {
                falling = true;
                trough = i;
            }
        } else if (y <= p[trough].footprintMB) {
            trough = i;
        } else if (y - p[trough].footprintMB >= release) {
            held(true);
            falling = false;
            peak = i;
        }
    }
    if (falling) held(false);
    return longest;
}

// The minimum of each of k windows of equal time, at the time of its reading.
Points LowerEnvelope(const Points& p, double start, double duration, int64_t k) {
    std::vector<size_t> lowest(size_t(k), p.size());
    for (size_t i = 0; i < p.size(); ++i) {
        const int64_t w = std::clamp(int64_t((p[i].seconds - start) / duration * double(k)), int64_t(0), k - 1);
        size_t& low = lowest[size_t(w)];
        if (low == p.size() || p[i].footprintMB < p[low].footprintMB) low = i;
    }
    Points envelope;
    for (size_t low : lowest)
        if (low < p.size()) envelope.push_back(p[low]);
    return envelope;
}

// P(S >= s) for n values without ties: S = pairs - 2 * inversions, and the inversions of a random
// order follow the Mahonian distribution, built by inserting one value at a time.
double ExactGrowthP(size_t n, int64_t s) {
    std::vector<double> dist{1.0};
    for (size_t m = 2; m <= n; ++m) {
        std::vector<double> next(dist.size() + m - 1, 0.0);
        double sum = 0.0;
        for (size_t k = 0; k < next.size(); ++k) {
            if (k < dist.size()) sum += dist[k];
            if (k >= m && k - m < dist.size()) sum -= dist[k - m];
            next[k] = sum / double(m);
        }
        dist = std::move(next);
    }
    const int64_t pairs = int64_t(n * (n - 1) / 2);
    const int64_t maxInversions = (pairs - s) / 2;
    double p = 0.0;
    for (int64_t k = 0; k <= maxInversions && k < int64_t(dist.size()); ++k) p += dist[size_t(k)];
    return std::min(1.0, p);
}

// The trend of one half of the envelope, with the lower end of its one-sided 95 % interval. The
// interval needs some six points to say more than "every pair rises": a smaller half (a few long
// cycles) gives its median slope as the bound, and the exact test of the whole run carries the
// evidence.
TheilSen HalfTrend(std::span<const LeakPoint> half) {
    std::vector<double> levels;
    for (const LeakPoint& p : half) levels.push_back(p.footprintMB);
    TheilSen trend = TheilSenSlope(half, MannKendallTest(levels).variance, 1.644854);
    if (half.size() < 6) trend.low = trend.slope;
    return trend;
}

}  // namespace

MannKendall MannKendallTest(std::span<const double> values) {
    MannKendall r;
    const size_t n = values.size();
    if (n < 2) return r;
    for (size_t i = 0; i < n; ++i)
        for (size_t j = i + 1; j < n; ++j) r.s += (values[j] > values[i]) - (values[j] < values[i]);
    std::vector<double> sorted(values.begin(), values.end());
    std::sort(sorted.begin(), sorted.end());
    double ties = 0.0;
    for (size_t i = 0; i < n;) {
        size_t j = i;
        while (j < n && sorted[j] == sorted[i]) ++j;
        const double t = double(j - i);
        ties += t * (t - 1.0) * (2.0 * t + 5.0);
        i = j;
    }
    const double dn = double(n);
    r.variance = (dn * (dn - 1.0) * (2.0 * dn + 5.0) - ties) / 18.0;
    if (ties == 0.0 && n <= ExactLimit) {
        r.pGrowth = ExactGrowthP(n, r.s);
    } else if (r.variance > 0.0) {
        // Continuity-corrected normal approximation.
        const double z = r.s > 0 ? double(r.s - 1) / std::sqrt(r.variance)
                                 : r.s < 0 ? double(r.s + 1) / std::sqrt(r.variance) : 0.0;
        r.pGrowth = 0.5 * std::erfc(z / std::sqrt(2.0));
    }
    return r;
}

TheilSen TheilSenSlope(std::span<const LeakPoint> points, double sVariance, double z) {
    std::vector<double> slopes;
    for (size_t i = 0; i < points.size(); ++i)
        for (size_t j = i + 1; j < points.size(); ++j) {
            const double dt = points[j].seconds - points[i].seconds;
            if (dt > 0.0) slopes.push_back((points[j].footprintMB - points[i].footprintMB) / dt);
        }
    if (slopes.empty()) return {};
    std::sort(slopes.begin(), slopes.end());
    const size_t count = slopes.size();
    TheilSen r;
    r.slope = count % 2 == 1 ? slopes[count / 2] : (slopes[count / 2 - 1] + slopes[count / 2]) / 2.0;
    // Sen's interval: the slopes of ranks (N - C) / 2 and (N + C) / 2 + 1, C = z * sd(S).
    const double c = z * std::sqrt(std::max(0.0, sVariance));
    auto rank = [&](double oneBased) {
        const double index = std::clamp(std::round(oneBased) - 1.0, 0.0, double(count - 1));
        return slopes[size_t(index)];
    };
    r.low = rank((double(count) - c) / 2.0);
    r.high = rank((double(count) + c) / 2.0 + 1.0);
    return r;
}

namespace {

// The trend of the envelope: significance, slope, and whether the growth is large and sustained.
void JudgeTrend(LeakTestResult& r, double start, const LeakTestSettings& settings) {
    const Points& envelope = r.envelope;
    std::vector<double> levels;
    for (const LeakPoint& p : envelope) levels.push_back(p.footprintMB);
    const MannKendall mk = MannKendallTest(levels);
    const TheilSen whole = TheilSenSlope(envelope, mk.variance);
    const double half = start + r.durationSec / 2.0;
    const auto late = std::find_if(envelope.begin(), envelope.end(), [&](const LeakPoint& p) { return p.seconds >= half; });
    const TheilSen early = HalfTrend(std::span(envelope.begin(), late));
    const TheilSen later = HalfTrend(std::span(late, envelope.end()));
    r.pValue = mk.pGrowth;
    r.slopeMBps = whole.slope;
    r.slopeLowMBps = whole.low;
    r.slopeHighMBps = whole.high;
    r.earlySlopeMBps = early.slope;
    r.lateSlopeMBps = later.slope;
    r.growthMB = r.slopeMBps * r.durationSec;
    r.unsettled = LeakUnsettled::None;
    const bool sustained = early.low > 0.0 && later.low > 0.0 && later.slope >= SlowingLimit * early.slope &&
                           std::min(early.slope, later.slope) * r.durationSec >= r.minGrowthMB;
    const bool leak = r.pValue < settings.alpha && r.growthMB >= r.minGrowthMB && sustained;
    r.outcome = leak ? LeakOutcome::Leak : LeakOutcome::NoLeak;
}

}  // namespace

LeakTestResult RunLeakTest(std::span<const LeakPoint> series, const LeakTestSettings& settings) {
    LeakTestResult r;
    Points points = Clean(series, settings.zerosAreReadings);
    r.samples = int64_t(points.size());
    for (const LeakPoint& p : points) r.peakMB = std::max(r.peakMB, p.footprintMB);
    r.minGrowthMB = std::max(settings.minGrowthMB, settings.minGrowthShare * r.peakMB);
    if (points.size() >= 2) r.durationSec = points.back().seconds - points.front().seconds;
    if (r.samples < settings.minSamples || r.durationSec <= 0.0) {
        const double step = MedianStep(points);
        r.settleSeconds = double(settings.minSamples) * (step > 0.0 ? step : 1.0);
        return r;
    }
    const double start = points.front().seconds;
    points = Decimate(std::move(points));
    const double step = MedianStep(points);
    const double release = std::max(ReleaseNoiseFactor * StepNoise(points), r.minGrowthMB / 4.0);
    r.cycleSec = LongestHold(points, release);
    const double cycleWindow = r.cycleSec > 0.0 ? CycleMargin * r.cycleSec + step : 0.0;
    const double window = std::max({r.durationSec / double(settings.maxWindows), 3.0 * step, cycleWindow});
    const int64_t k = std::min(settings.maxWindows, int64_t(r.durationSec / window + 1e-9));
    if (k >= settings.minWindows) r.envelope = LowerEnvelope(points, start, r.durationSec, k);
    r.windows = int64_t(r.envelope.size());
    if (r.windows < settings.minWindows) {
        r.unsettled = cycleWindow >= window ? LeakUnsettled::CyclesTooLong : LeakUnsettled::TooFewSamples;
        r.settleSeconds = double(settings.minWindows) * window;
        return r;
    }
    JudgeTrend(r, start, settings);
    return r;
}

std::vector<LeakPoint> LeakSeries(const SampleHistory& history, std::span<const double> slotMB) {
    std::vector<int64_t> active;
    for (int64_t i = 0; i < HistorySlotCount && i < int64_t(history.slots.size()); ++i)
        if (IsActive(history.slots[i])) active.push_back(i);
    const auto figure = [&](int64_t slot) {
        if (slotMB.empty()) return double(history.slots[slot].footprintMB);
        return size_t(slot) < slotMB.size() ? slotMB[size_t(slot)] : 0.0;
    };
    // Runs of readings that share a second; the fullest tells the interval. A run inside the
    // series fills its second; the first and the last runs may fill only its end and its start,
    // so they are laid at the interval from there, lest a short recording read as a second longer.
    std::vector<std::pair<size_t, size_t>> runs;
    size_t fullest = 1;
    for (size_t i = 0, j = 0; i < active.size(); i = j) {
        while (j < active.size() && history.slots[active[j]].timestamp == history.slots[active[i]].timestamp) ++j;
        runs.emplace_back(i, j);
        fullest = std::max(fullest, j - i);
    }
    const double step = 1.0 / double(fullest);
    std::vector<LeakPoint> series;
    series.reserve(active.size());
    for (size_t r = 0; r < runs.size(); ++r) {
        const auto [i, j] = runs[r];
        const double stamp = double(history.slots[active[i]].timestamp), count = double(j - i);
        for (size_t k = i; k < j; ++k) {
            const double at = double(k - i) + 0.5;
            const double offset = runs.size() < 2 ? at / count
                                  : r == 0           ? 1.0 - (count - at) * step
                                  : r + 1 == runs.size() ? at * step
                                                     : at / count;
            series.push_back({stamp + offset, figure(active[k])});
        }
    }
    return series;
}

const char* LeakOutcomeName(LeakOutcome outcome) {
    switch (outcome) {
        case LeakOutcome::Leak: return "leak";
        case LeakOutcome::NoLeak: return "no_leak";
        case LeakOutcome::Inconclusive: break;
    }
    return "inconclusive";
}

const char* LeakUnsettledName(LeakUnsettled unsettled) {
    switch (unsettled) {
        case LeakUnsettled::TooFewSamples: return "too_few_samples";
        case LeakUnsettled::CyclesTooLong: return "cycles_too_long";
        case LeakUnsettled::None: break;
    }
    return "";
}
