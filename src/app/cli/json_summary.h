// The machine-readable summary of an analysis: one JSON object with the run's facts, the verdict
// by its stable name, the verdict's figures, the phase rows and the report text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "analysis/leak_test.h"
#include "analysis/phase_analysis.h"
#include "runtime/text.h"

struct FamilyMembers;
struct StacksReport;

// A recording's budgets (0: none) and the one it exceeded ("footprint", "growth"; "" for none).
struct BudgetFacts {
    int64_t maxFootprintMB{}, maxGrowthMB{};
    std::string exceeded;
    double exceededMB{};  // the figure that passed it
};

// What the summary tells besides the analysis itself. Times are seconds since 1970 in UTC, -1
// when unknown.
struct SummaryFacts {
    bool recorded{};       // a recording; otherwise a loaded log
    std::string logPath;   // the log analysed, or the log a recording wrote; "" for none
    int32_t pid{};         // the recorded target; 0 for a loaded log
    std::string name;
    std::string path;
    int64_t processStart{-1};
    std::vector<std::string> command;  // the command a recording started; empty for a PID
    bool includeChildren{};
    int64_t intervalMs{};  // 0 for a loaded log
    int64_t sampleCount{};
    // The samples the analysis and the leak test read, 1-based, of all the recording's samples or
    // all the log's rows: a recording's last 300, a log's first 300.
    int64_t spanFirst{}, spanLast{}, spanOf{};
    int64_t start{-1};
    int64_t end{-1};
    const StacksReport* stacks{};  // a recording with --stacks; null: no `stacks` in the object
    const FamilyMembers* members{};  // a recording with --include-children; null: no `members`
    // How a recording ended: "duration", "target_ended", "signal", "budget", "error".
    std::string endReason;
    int64_t ticksLate{}, ticksSkipped{};  // samples longer than the interval; due ticks never taken
    BudgetFacts budget;
};

// A loaded log's facts: its path, the samples the analysis read, and the span of the log's rows
// it read (the first of them).
SummaryFacts LogSummaryFacts(const std::string& path, int64_t rows, int64_t sampleCount);

// The object as UTF-8 text, indented, with a line feed at the end.
std::string JsonSummary(const PhaseAnalysis& analysis, const LeakTestResult& leak, TextView report,
                        const SummaryFacts& facts);
// The object itself, for a document that holds more than one (--compare).
nlohmann::ordered_json JsonSummaryObject(const PhaseAnalysis& analysis, const LeakTestResult& leak, TextView report,
                                         const SummaryFacts& facts);

// A document's first members: the tool, its version and the source of its figures ("log", ...).
nlohmann::ordered_json JsonHead(const char* source);
// A document as UTF-8 text, indented, with a line feed at the end.
std::string JsonText(const nlohmann::ordered_json& document);

// "2026-12-06T10:52:16Z"; "" for a negative time.
std::string IsoUtc(int64_t unixSeconds);
