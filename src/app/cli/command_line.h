// The headless command line: what `quolk` does with arguments, for scripts and CI.
#pragma once

#include <cstdio>

// Exit statuses beyond 0.
inline constexpr int ExitLeakFound = 1;    // --fail-on-leak and the leak test finds a leak
inline constexpr int ExitBudgetExceeded = 1;  // --max-footprint or --max-growth exceeded
inline constexpr int ExitLoadError = 2;    // the log or the target cannot be read, the command not started,
                                           // the CSV file not created or written, standard output not written
inline constexpr int ExitRegression = 1;   // --fail-on-regression and AFTER grows faster than BEFORE
inline constexpr int ExitUsageError = 64;  // wrong usage (EX_USAGE)

// The help text of --help, also the source of the manual page and the shell completion.
extern const char* const UsageText;

// Handles the arguments and returns the exit status, or -1 when there are no arguments and the
// caller should start the window.
int RunCommandLine(int argc, char** argv, std::FILE* out, std::FILE* err);

// The window cannot open without a display: one line on err says so and names the command line,
// which still works. The exit status, 1.
int SayNoDisplay(std::FILE* err);
