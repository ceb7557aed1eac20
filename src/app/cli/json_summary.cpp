#include "app/cli/json_summary.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <ctime>

#include <nlohmann/json.hpp>

#include "analysis/log_loader.h"
#include "analysis/report_text.h"
#include "app/cli/family_members.h"
#include "app/cli/recorder_stacks.h"
#include "quolk_version.h"
#include "strings/stringtable.h"

using nlohmann::ordered_json;

// The stable names of the JSON, beside the texts of the report.
NLOHMANN_JSON_SERIALIZE_ENUM(PhaseKind, {{PhaseKind::WarmUp, "warm_up"},
                                         {PhaseKind::Spike, "spike"},
                                         {PhaseKind::Release, "release"},
                                         {PhaseKind::Baseline, "baseline"},
                                         {PhaseKind::Flatline, "flatline"}})
NLOHMANN_JSON_SERIALIZE_ENUM(StacksState, {{StacksState::Ready, "ready"},
                                           {StacksState::StaticallyLinked, "statically_linked"},
                                           {StacksState::SetId, "set_id"},
                                           {StacksState::NeverAttached, "never_attached"},
                                           {StacksState::NoMallocSeen, "no_malloc_seen"},
                                           {StacksState::Failed, "failed"}})

namespace {

const char* const ToolName = "quolk";

// Figures rounded as the report rounds them (the exact binary value, ties to even), to two
// decimals unless said, so that scripts compare what people read.
double Rounded(double value, int decimals = 2) {
    if (!std::isfinite(value)) return 0.0;
    char buffer[400];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer - 1, value, std::chars_format::fixed, decimals).ptr;
    *end = '\0';
    const double rounded = std::strtod(buffer, nullptr);
    return rounded == 0.0 ? 0.0 : rounded;  // no negative zero
}

// A p-value to three significant digits: it can be far below what two decimals would show.
double Significant(double value) {
    if (!std::isfinite(value) || value == 0.0) return 0.0;
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.3g", value);
    return std::strtod(buffer, nullptr);
}

ordered_json TimeOrNull(int64_t unixSeconds) {
    return unixSeconds < 0 ? ordered_json(nullptr) : ordered_json(IsoUtc(unixSeconds));
}

ordered_json Target(const SummaryFacts& f) {
    if (!f.recorded) return nullptr;
    ordered_json target;
    target["pid"] = f.pid;
    target["name"] = f.name;
    target["path"] = f.path;
    target["startTime"] = TimeOrNull(f.processStart);
    target["command"] = f.command.empty() ? ordered_json(nullptr) : ordered_json(f.command);
    target["includeChildren"] = f.includeChildren;
    return target;
}

ordered_json Summary(const PhaseAnalysis& a) {
    if (!a.analysed) return nullptr;
    const SegmentationResult& r = a.segmentation;
    const VerdictMetrics& m = a.metrics;
    return ordered_json{{"floorRef", Rounded(m.floorRef)},
                        {"netGrowth", Rounded(m.netGrowth)},
                        {"floorDrift", Rounded(m.floorDrift)},
                        {"troughDrift", Rounded(m.troughDrift)},
                        {"percentBack", Rounded(m.percentBack)},
                        {"releaseCount", r.releaseCount},
                        {"reclaimedMB", Rounded(r.reclaimedMB)},
                        {"peakMB", Rounded(r.peakMB)},
                        {"finalMB", Rounded(r.finalMB)},
                        {"settledReference", Rounded(r.settledReference)},
                        {"warmUpExcluded", r.warmUpExcluded}};
}

ordered_json Phases(const PhaseAnalysis& a) {
    ordered_json rows = ordered_json::array();
    if (!a.analysed) return rows;
    for (const PhaseRow& row : a.segmentation.rows) {
        rows.push_back({{"label", TextToUtf8(PhaseLabel(row))},
                        {"kind", row.kind},
                        {"start", TextToUtf8(row.startTime)},
                        {"end", TextToUtf8(row.endTime)},
                        {"footprint", {{"startMB", Rounded(row.startMB)}, {"endMB", Rounded(row.endMB)}}},
                        {"delta", Rounded(row.deltaMB)},
                        {"rate", Rounded(row.rateMBs)},
                        {"note", TextToUtf8(LookupText(row.noteId))}});
    }
    return rows;
}

// The sampler's state and figures, and the stacks that grew most, their frames innermost first.
ordered_json HeapSampling(const StacksReport& s) {
    return ordered_json{{"status", s.state},
                        {"reason", s.reason.empty() ? ordered_json(nullptr) : ordered_json(s.reason)},
                        {"sampleBytes", s.sampleBytes},
                        {"samples", s.status.samples},
                        {"droppedSamples", s.status.droppedSamples},
                        {"footprintGrowthBytes", std::llround(s.footprintGrowthBytes)}};
}

ordered_json Stacks(const StacksReport& s) {
    ordered_json stacks = ordered_json::array();
    for (const GrownStack& grown : s.top) {
        const StackGrowth& g = grown.growth;
        ordered_json frames = ordered_json::array();
        for (const StackFrame& f : grown.frames)
            frames.push_back(
                {{"function", f.function.empty() ? ordered_json(nullptr) : ordered_json(TextToUtf8(f.function))},
                 {"file", f.file.empty() ? ordered_json(nullptr) : ordered_json(TextToUtf8(f.file))},
                 {"line", f.file.empty() ? ordered_json(nullptr) : ordered_json(f.line)},
                 {"module", TextToUtf8(f.module)},
                 {"offset", f.offset}});
        stacks.push_back({{"growthBytes", std::llround(g.growthBytes())},
                          {"liveBytes", {{"start", std::llround(g.startBytes)}, {"end", std::llround(g.endBytes)}}},
                          {"liveCount", {{"start", std::llround(g.startCount)}, {"end", std::llround(g.endCount)}}},
                          {"share", grown.share < 0.0 ? ordered_json(nullptr) : ordered_json(Rounded(grown.share, 3))},
                          {"frames", frames}});
    }
    return stacks;
}

// Every process seen in the family, in the order first seen: when (seconds from the start), its
// footprint then, at its peak and when last seen, and whether the last sample found it.
ordered_json Members(const FamilyMembers& family) {
    ordered_json members = ordered_json::array();
    constexpr double MB = 1048576.0;
    for (const MemberRecord& m : family.members)
        members.push_back({{"pid", m.pid},
                           {"name", TextToUtf8(m.name)},
                           {"parentPid", m.parentPid},
                           {"firstSeenSeconds", Rounded(m.firstSeconds, 1)},
                           {"lastSeenSeconds", Rounded(m.lastSeconds, 1)},
                           {"inLastSample", m.lastSample == family.samples},
                           {"footprint",
                            {{"firstMB", Rounded(m.firstBytes / MB)},
                             {"lastMB", Rounded(m.lastBytes / MB)},
                             {"peakMB", Rounded(m.peakBytes / MB)}}},
                           {"growthMB", Rounded((m.lastBytes - m.firstBytes) / MB)}});
    return members;
}

// The leak test's answer; the trend's figures only where it judged one.
ordered_json LeakTest(const LeakTestResult& r) {
    const bool judged = r.outcome != LeakOutcome::Inconclusive;
    auto figure = [&](double value, int decimals) { return judged ? ordered_json(Rounded(value, decimals)) : nullptr; };
    return ordered_json{
        {"result", LeakOutcomeName(r.outcome)},
        {"unsettled", judged ? ordered_json(nullptr) : ordered_json(LeakUnsettledName(r.unsettled))},
        {"settleSeconds", judged ? ordered_json(nullptr) : ordered_json(std::ceil(r.settleSeconds))},
        {"slopeMBps", figure(r.slopeMBps, 4)},
        {"slopeLowMBps", figure(r.slopeLowMBps, 4)},
        {"slopeHighMBps", figure(r.slopeHighMBps, 4)},
        {"pValue", judged ? ordered_json(Significant(r.pValue)) : ordered_json(nullptr)},
        {"growthMB", figure(r.growthMB, 2)},
        {"minGrowthMB", Rounded(r.minGrowthMB)},
        {"cycleSeconds", Rounded(r.cycleSec, 1)},
        {"windows", r.windows},
        {"samples", r.samples},
        {"durationSeconds", Rounded(r.durationSec, 1)}};
}

// A budget's limit, or null for none.
ordered_json Limit(int64_t mb) { return mb > 0 ? ordered_json(mb) : ordered_json(nullptr); }

ordered_json Budget(const BudgetFacts& b) {
    const bool exceeded = !b.exceeded.empty();
    return ordered_json{{"maxFootprintMB", Limit(b.maxFootprintMB)},
                        {"maxGrowthMB", Limit(b.maxGrowthMB)},
                        {"exceeded", exceeded ? ordered_json(b.exceeded) : ordered_json(nullptr)},
                        {"exceededMB", exceeded ? ordered_json(Rounded(b.exceededMB)) : ordered_json(nullptr)}};
}

ordered_json Span(const SummaryFacts& f) {
    if (f.spanLast < f.spanFirst || f.spanFirst < 1) return nullptr;
    return ordered_json{{"first", f.spanFirst}, {"last", f.spanLast}, {"of", f.spanOf}};
}

}  // namespace

std::string IsoUtc(int64_t unixSeconds) {
    if (unixSeconds < 0) return std::string();
    std::time_t t = static_cast<std::time_t>(unixSeconds);
    std::tm utc{};
    if (!gmtime_r(&t, &utc)) return std::string();
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return buffer;
}

SummaryFacts LogSummaryFacts(const std::string& path, int64_t rows, int64_t sampleCount) {
    SummaryFacts facts;
    facts.logPath = path;
    facts.sampleCount = sampleCount;
    facts.spanFirst = 1;
    facts.spanLast = std::min(rows, MaxLogRows);
    facts.spanOf = rows;
    return facts;
}

ordered_json JsonHead(const char* source) {
    return ordered_json{{"tool", ToolName}, {"version", QuolkVersion}, {"source", source}};
}

std::string JsonText(const ordered_json& document) {
    // Replacement instead of an exception for texts that are not valid UTF-8 (a process name).
    return document.dump(2, ' ', false, ordered_json::error_handler_t::replace) + "\n";
}

ordered_json JsonSummaryObject(const PhaseAnalysis& analysis, const LeakTestResult& leak, TextView report,
                               const SummaryFacts& facts) {
    ordered_json j = JsonHead(facts.recorded ? "record" : "log");
    j["log"] = facts.logPath.empty() ? ordered_json(nullptr) : ordered_json(facts.logPath);
    j["target"] = Target(facts);
    j["intervalMs"] = facts.recorded ? ordered_json(facts.intervalMs) : ordered_json(nullptr);
    j["sampleCount"] = facts.sampleCount;
    j["analysisSpan"] = Span(facts);
    j["startTime"] = TimeOrNull(facts.start);
    j["endTime"] = TimeOrNull(facts.end);
    // How a recording went; a log has none of it.
    const auto recorded = [&](ordered_json value) { return facts.recorded ? value : ordered_json(nullptr); };
    j["endReason"] = recorded(facts.endReason);
    j["ticksLate"] = recorded(facts.ticksLate);
    j["ticksSkipped"] = recorded(facts.ticksSkipped);
    j["budget"] = recorded(Budget(facts.budget));
    j["verdict"] = AnalysisVerdictName(analysis);
    j["summary"] = Summary(analysis);
    j["phases"] = Phases(analysis);
    if (facts.members) j["members"] = Members(*facts.members);
    if (facts.stacks) {
        j["heapSampling"] = HeapSampling(*facts.stacks);
        j["stacks"] = Stacks(*facts.stacks);
    }
    j["leakTest"] = LeakTest(leak);
    if (facts.stacks)
        j["heapLeakTest"] = facts.stacks->HeapTested() ? LeakTest(facts.stacks->heapLeak) : ordered_json(nullptr);
    j["report"] = TextToUtf8(report);
    return j;
}

std::string JsonSummary(const PhaseAnalysis& analysis, const LeakTestResult& leak, TextView report,
                        const SummaryFacts& facts) {
    return JsonText(JsonSummaryObject(analysis, leak, report, facts));
}
