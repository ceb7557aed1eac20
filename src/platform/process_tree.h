// The family of a process: its descendants, found from the parent PID that every process's stat
// line names, and the wall-clock time a process started.
#pragma once

#include <cstdint>
#include <vector>

// Every process under the process root whose chain of parents leads to root, children before
// grandchildren; root itself is not in the list. Read from the kernel's per-thread children
// lists, or, where the kernel keeps none, from the parent PID in every process's stat line.
// Processes that end during the reading simply drop out. Empty when root has no descendants.
std::vector<int32_t> ListDescendants(int32_t root);

// The start of a process as seconds since 1970 (UTC) from its start time in clock ticks since
// boot; -1 when the boot time cannot be read.
int64_t ProcessStartUnixTime(uint64_t startTicks);
