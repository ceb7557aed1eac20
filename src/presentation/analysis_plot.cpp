#include "presentation/analysis_plot.h"

#include <cmath>
#include <iterator>

#include "strings/stringtable.h"

namespace {

constexpr uint32_t Opaque = 0xFF000000u;
constexpr uint32_t FootprintInk = Opaque | TrendColour(112, 48, 200);
constexpr uint32_t VirtualInk = 0xA0000000u | TrendColour(0, 150, 175);
constexpr uint32_t BaselineInk = Opaque | TrendColour(30, 130, 70);
constexpr uint32_t FloorInk = Opaque | TrendColour(200, 120, 20);
// The members' thin lines, the largest first, and the line of the others.
constexpr uint32_t MemberInks[] = {Opaque | TrendColour(214, 39, 40), Opaque | TrendColour(31, 119, 180),
                                   Opaque | TrendColour(227, 119, 194), Opaque | TrendColour(140, 86, 75),
                                   Opaque | TrendColour(150, 150, 30)};
constexpr uint32_t OtherMembersInk = Opaque | TrendColour(135, 135, 135);

// Pale, see-through fills, one per kind of phase.
uint32_t BandColour(PhaseKind kind) {
    constexpr uint32_t Pale = 0x38000000u;
    switch (kind) {
        case PhaseKind::WarmUp: return Pale | TrendColour(120, 140, 170);
        case PhaseKind::Spike: return Pale | TrendColour(230, 80, 60);
        case PhaseKind::Release: return Pale | TrendColour(40, 170, 90);
        case PhaseKind::Baseline: return Pale | TrendColour(60, 120, 220);
        case PhaseKind::Flatline: return Pale | TrendColour(150, 150, 150);
    }
    return Pale;
}

TextId HeadlineId(Verdict verdict) {
    switch (verdict) {
        case Verdict::HighSuspicion: return TextId::VerdictHighSuspicion;
        case Verdict::StairStep: return TextId::VerdictStairStep;
        case Verdict::PossibleLeak: return TextId::VerdictPossibleLeak;
        case Verdict::Healthy: return TextId::VerdictHealthy;
        case Verdict::NoEvidence: break;
    }
    return TextId::VerdictNoEvidence;
}

// A history's active slots with their times in seconds from the first (readings that share a
// second spread across it, as the leak test reads them): footprint and virtual size.
struct RunSeries {
    std::vector<PlotPoint> footprint, virtualSize;
    std::vector<int64_t> slots;  // the history slot of each point
};

double SlotSeconds(const RunSeries& run, int64_t slot) {
    for (size_t i = 0; i < run.slots.size(); ++i)
        if (run.slots[i] >= slot) return run.footprint[i].seconds;
    return run.footprint.empty() ? 0 : run.footprint.back().seconds;
}

RunSeries HistorySeries(const SampleHistory& history) {
    RunSeries run;
    const std::vector<LeakPoint> times = LeakSeries(history);
    for (int64_t i = 0; i < HistorySlotCount && run.slots.size() < times.size(); ++i) {
        const HistoryPoint& p = history.slots[i];
        if (!IsActive(p)) continue;
        const double t = times[run.slots.size()].seconds - times.front().seconds;
        run.footprint.push_back({t, p.footprintMB});
        run.virtualSize.push_back({t, p.virtualMB});
        run.slots.push_back(i);
    }
    return run;
}

// A member's line at the run's points where it was in the family.
std::vector<PlotPoint> MemberPoints(const RunSeries& run, const MemberLine& line) {
    std::vector<PlotPoint> points;
    for (size_t i = 0; i < run.slots.size(); ++i) {
        const size_t slot = size_t(run.slots[i]);
        if (slot < line.mb.size() && std::isfinite(line.mb[slot]))
            points.push_back({run.footprint[i].seconds, line.mb[slot]});
    }
    return points;
}

// The leak test's result as the title tells it: "leak test: leak, +11.1 MB/min (95 %: 10.2 to 12.0)".
std::string PlotLeakTestLine(const LeakTestResult& leak) {
    if (leak.outcome == LeakOutcome::Inconclusive) return FilledText(TextId::PlotLeakInconclusive);
    auto perMinute = [](double mbps) { return RateFigure(mbps * 60, true); };
    return FilledText(TextId::PlotLeakTest,
                      {FilledText(leak.outcome == LeakOutcome::Leak ? TextId::PlotLeak : TextId::PlotNoLeak),
                       perMinute(leak.slopeMBps), perMinute(leak.slopeLowMBps), perMinute(leak.slopeHighMBps)});
}

// The verdict's headline without its symbol: "HIGH SUSPICION OF MEMORY LEAK".
std::string VerdictHeadline(const PhaseAnalysis& analysis) {
    std::string line = FilledText(analysis.analysed ? HeadlineId(analysis.choice.verdict) : TextId::InsufficientData);
    line = line.substr(0, line.find_first_of("\r\n"));
    // The symbol before the first blank needs an emoji font, which a server has not.
    const size_t blank = line.find(' ');
    return blank != std::string::npos && static_cast<unsigned char>(line[0]) >= 0x80 ? line.substr(blank + 1) : line;
}

}  // namespace

std::string Figure(double value) {
    const double rounded = std::round(value * 100) / 100;
    return TickText(rounded == 0 ? 0 : rounded);
}

std::string RateFigure(double perMinute, bool plusSign) {
    const double tenths = std::round(perMinute * 10);
    return (plusSign && tenths > 0 ? "+" : "") + TickText(tenths == 0 ? 0 : tenths / 10);
}

PlotInput AnalysisPlot(const SampleHistory& history, const PhaseAnalysis& analysis, const LeakTestResult& leak,
                       const PlotFacts& facts) {
    PlotInput in;
    in.width = facts.width, in.height = facts.height;
    RunSeries run = HistorySeries(history);
    in.title = VerdictHeadline(analysis);
    in.subtitle = PlotLeakTestLine(leak);
    in.caption = FilledText(TextId::PlotCaption, {facts.name, facts.date, std::to_string(run.footprint.size())});
    in.rightAxisName = FilledText(TextId::LegendVirtual);
    in.curves.push_back({FilledText(TextId::LegendVirtual), VirtualInk, 1.2, true, std::move(run.virtualSize)});
    const bool family = !facts.members.empty();
    in.curves.push_back({FilledText(family ? TextId::LegendFamilyFootprint : TextId::LegendFootprint), FootprintInk,
                         2.2, false, run.footprint});
    size_t ink = 0;
    for (const MemberLine& line : facts.members)
        in.curves.push_back({line.name, line.rest ? OtherMembersInk : MemberInks[ink++ % std::size(MemberInks)], 1.2,
                             false, MemberPoints(run, line)});
    if (!analysis.analysed) return in;
    for (const PhaseRow& row : analysis.segmentation.rows)
        in.bands.push_back({SlotSeconds(run, row.startSlot), SlotSeconds(run, row.endSlot),
                            FilledText(PhaseNameId(row.kind)), BandColour(row.kind)});
    const SegmentationResult& s = analysis.segmentation;
    in.levels.push_back(
        {s.settledReference, FilledText(TextId::PlotBaseline, {Figure(s.settledReference)}), BaselineInk});
    if (s.lowestFloorMB >= 0)
        in.levels.push_back(
            {s.lowestFloorMB, FilledText(TextId::PlotLowestFloor, {Figure(s.lowestFloorMB)}), FloorInk});
    if (s.lastFloorMB >= 0 && s.lastFloorMB != s.lowestFloorMB)
        in.levels.push_back({s.lastFloorMB, FilledText(TextId::PlotLastFloor, {Figure(s.lastFloorMB)}), FloorInk});
    return in;
}

PlotInput ComparisonPlot(const SampleHistory& before, const SampleHistory& after, const std::string& beforeName,
                         const std::string& afterName, const std::string& title, int width, int height) {
    PlotInput in;
    in.width = width, in.height = height;
    in.title = title;
    in.curves.push_back({"BEFORE " + beforeName, Opaque | TrendColour(120, 130, 150), 2.0, false,
                         HistorySeries(before).footprint});
    in.curves.push_back({"AFTER " + afterName, FootprintInk, 2.2, false, HistorySeries(after).footprint});
    return in;
}
