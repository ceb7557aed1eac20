// The headless command line: what `quolk` does with arguments, for scripts and CI.
#pragma once

#include <cstdio>

// Exit statuses beyond 0.
inline constexpr int ExitLoadError = 2;   // the log could not be opened, is not a log, or is too short
inline constexpr int ExitUsageError = 64; // unknown option or a missing argument (EX_USAGE)
inline constexpr int ExitOutputError = 74; // the report could not be written out (EX_IOERR)

// Handles the arguments and returns the exit status, or -1 when there are no arguments and the
// caller should start the window.
int RunCommandLine(int argc, char** argv, std::FILE* out, std::FILE* err);
