#include "app/cli/log_compare.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <vector>

#include <nlohmann/json.hpp>

#include "analysis/log_loader.h"
#include "analysis/phase_analysis.h"
#include "app/cli/cli_options.h"
#include "app/cli/cli_result.h"
#include "app/cli/cli_text.h"
#include "app/cli/command_line.h"
#include "app/cli/json_summary.h"
#include "app/cli/plot_output.h"
#include "presentation/analysis_plot.h"
#include "strings/stringtable.h"

using nlohmann::ordered_json;

namespace {

// One side of the comparison.
struct Run {
    std::string path;
    SampleHistory history;
    PhaseAnalysis analysis;
    std::vector<LeakPoint> series;
    LeakTestResult leak;
    int64_t rows{};  // the log's rows, of which the analysis reads the first MaxLogRows
    GrowthRate rate;
    double seconds{};
};

bool LoadRun(Run& run, std::FILE* err) {
    const LogLoadResult result = LoadMonitorLog(TextFromUtf8(run.path), run.history, &run.rows);
    if (result != LogLoadResult::Loaded) {
        std::string why = TextToUtf8(LoadErrorMessage(result));
        while (!why.empty() && why.back() == '\n') why.pop_back();
        Say(err, run.path + ": " + why);
        return false;
    }
    run.analysis = AnalyzeHistory(run.history);
    run.series = LeakSeries(run.history);
    run.leak = RunLeakTest(run.series);
    run.rate = RunGrowthRate(run.series, run.leak);
    if (run.series.size() >= 2) run.seconds = run.series.back().seconds - run.series.front().seconds;
    return true;
}

std::string Signed(double value) { return (value > 0 ? "+" : "") + Figure(value); }

// A rate with its interval after it: "+11.5 MB/min (+10.9…+12.2)".
std::string RateText(const GrowthRate& r) {
    return RateFigure(r.perMinute, true) + " MB/min (" + RateFigure(r.low, true) + "…" + RateFigure(r.high, true) + ")";
}

std::string DurationText(double seconds) {
    const TimeUnit unit = TimeAxisUnit(seconds);
    return TickText(std::round(seconds / unit.seconds * 10) / 10) + " " + unit.symbol;
}

// Column widths count code points, so that accented row names line up too.
size_t Width(const std::string& text) {
    return size_t(std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

std::string Table(const Run& before, const Run& after) {
    std::vector<std::string> names;
    const std::string rows = FilledText(TextId::CompareRows);
    for (size_t start = 0, bar; start <= rows.size(); start = bar + 1) {
        bar = std::min(rows.find('|', start), rows.size());
        names.push_back(rows.substr(start, bar - start));
    }
    names.resize(9);
    auto cells = [](const Run& r) {
        const SegmentationResult& s = r.analysis.segmentation;
        const bool a = r.analysis.analysed;
        return std::vector<std::string>{DurationText(r.seconds),
                                        std::to_string(r.analysis.activeSlots),
                                        a ? Figure(s.peakMB) + " MB" : "-",
                                        a ? Figure(s.finalMB) + " MB" : "-",
                                        a ? Signed(r.analysis.metrics.netGrowth) + " MB" : "-",
                                        RateText(r.rate),
                                        a ? std::to_string(s.releaseCount) : "-",
                                        a ? Figure(s.reclaimedMB) + " MB" : "-",
                                        AnalysisVerdictName(r.analysis)};
    };
    const std::vector<std::string> b = cells(before), f = cells(after);
    size_t first = 0, second = Width("BEFORE");
    for (size_t i = 0; i < names.size(); ++i)
        first = std::max(first, Width(names[i])), second = std::max(second, Width(b[i]));
    auto row = [&](const std::string& name, const std::string& x, const std::string& y) {
        return name + std::string(first + 2 - Width(name), ' ') + x + std::string(second + 2 - Width(x), ' ') + y +
               "\n";
    };
    std::string text = "BEFORE " + before.path + "\nAFTER  " + after.path + "\n\n" + row("", "BEFORE", "AFTER");
    for (size_t i = 0; i < names.size(); ++i) text += row(names[i], b[i], f[i]);
    return text;
}

ordered_json RateJson(const GrowthRate& r) {
    auto two = [](double v) { return std::round(v * 100) / 100; };
    return {{"mbPerMinute", two(r.perMinute)}, {"low", two(r.low)}, {"high", two(r.high)}};
}

std::string Json(const Run& before, const Run& after, const std::string& conclusion) {
    auto side = [](const Run& r) {
        return JsonSummaryObject(r.analysis, r.leak, PhaseAnalysisReport(r.analysis),
                                 LogSummaryFacts(r.path, r.rows, r.analysis.activeSlots));
    };
    const RateChange change = CompareRates(before.rate, after.rate);
    ordered_json j = JsonHead("compare");
    j["before"] = side(before);
    j["after"] = side(after);
    j["comparison"] = {{"beforeRate", RateJson(before.rate)},
                       {"afterRate", RateJson(after.rate)},
                       {"change", change == RateChange::Same     ? "same"
                                  : change == RateChange::Slower ? "slower"
                                                                 : "faster"},
                       {"conclusion", conclusion}};
    return JsonText(j);
}

}  // namespace

GrowthRate RunGrowthRate(std::span<const LeakPoint> series, const LeakTestResult& leak) {
    TheilSen slope{leak.slopeMBps, leak.slopeLowMBps, leak.slopeHighMBps};
    if (leak.unsettled != LeakUnsettled::None || leak.windows < 2) {
        std::vector<double> values;
        for (const LeakPoint& p : series) values.push_back(p.footprintMB);
        slope = TheilSenSlope(series, MannKendallTest(values).variance);
    }
    return {slope.slope * 60, slope.low * 60, slope.high * 60};
}

RateChange CompareRates(const GrowthRate& before, const GrowthRate& after) {
    if (after.low > before.high) return RateChange::Faster;
    if (after.high < before.low) return RateChange::Slower;
    return RateChange::Same;
}

std::string ConclusionLine(const GrowthRate& before, const GrowthRate& after) {
    const std::string from = RateFigure(before.perMinute, false), to = RateFigure(after.perMinute, false);
    const RateChange change = CompareRates(before, after);
    if (change == RateChange::Same) return FilledText(TextId::CompareNoDifference, {from, to});
    // A share of a rate near zero says nothing: above ten times, the figures speak for themselves.
    const double base = std::fabs(before.perMinute);
    const double percent = base > 0 ? std::fabs(after.perMinute - before.perMinute) / base * 100 : INFINITY;
    const std::string share = percent > 1000 ? ">1000" : std::to_string(int(std::lround(percent)));
    return FilledText(change == RateChange::Slower ? TextId::CompareSlower : TextId::CompareFaster, {share, from, to});
}

int RunCompare(const CliOptions& options, std::FILE* out, std::FILE* err) {
    Run before, after;
    before.path = options.before;
    after.path = options.after;
    if (!LoadRun(before, err) || !LoadRun(after, err)) return ExitLoadError;
    const std::string conclusion = ConclusionLine(before.rate, after.rate);
    const std::string text =
        options.json ? Json(before, after, conclusion) : Table(before, after) + "\n" + conclusion + "\n";
    const bool regression = CompareRates(before.rate, after.rate) == RateChange::Faster;
    int status = WriteOutput(out, err, text);
    if (status == 0 && options.failOnRegression && regression) status = ExitRegression;
    if (!options.plotPath.empty()) {
        auto name = [](const std::string& path) { return std::filesystem::path(path).filename().string(); };
        PlotInput plot = ComparisonPlot(before.history, after.history, name(before.path), name(after.path), conclusion,
                                        options.plotWidth, options.plotHeight);
        plot.caption = "BEFORE " + before.path + " · AFTER " + after.path;
        if (!WritePlot(options.plotPath, PlanPlot(plot), err)) status = ExitLoadError;
    }
    return status;
}
