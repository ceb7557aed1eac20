// The headless recording: the window's monitoring session run from a timer of its own, for a
// running process or a command it starts, ending in the same report (or its JSON summary).
#pragma once

#include <cstdio>

#include "app/cli/cli_options.h"

// Records as the options say and returns the exit status: 0 report printed, 1 a leak with
// --fail-on-leak, 2 the target, the command or the CSV file failed (the reason on err).
// Blocks SIGINT, SIGTERM, SIGHUP and SIGCHLD on the calling thread while it runs and takes them
// as the end of the recording; the previous mask is restored before it returns.
int RunRecording(const CliOptions& options, std::FILE* out, std::FILE* err);
