// What --analyze and --record end with: the analysis and the leak test of one history, the report
// or its JSON summary on standard output, the leak test's line with --fail-on-leak, and the status.
#pragma once

#include <cstdio>
#include <string>

#include "analysis/leak_test.h"
#include "app/cli/cli_options.h"
#include "app/cli/json_summary.h"
#include "monitor/sample_history.h"

// Writes all of text to out and flushes it: 0, or ExitLoadError with the reason told on err.
int WriteOutput(std::FILE* out, std::FILE* err, const std::string& text);

// The leak test's result as one line of standard error (without "quolk: "), in the loaded language.
std::string LeakTestLine(const LeakTestResult& result);

// Runs the leak test on the samples of the history's analysis; prints the report (or with
// --json the summary, facts added) to out and, with --fail-on-leak, the leak test's line to err.
// The status: ExitLoadError when out cannot be written (the reason told on err), ExitLeakFound for
// a leak with --fail-on-leak, else 0. With --plot the picture is drawn after the output, and one
// that cannot be written is ExitLoadError, told on err.
int PrintResult(const CliOptions& options, const SampleHistory& history, const PhaseAnalysis& analysis,
                TextView report, const SummaryFacts& facts, std::FILE* out, std::FILE* err);
