// Readings of a process together with all its descendants: every figure of a reading is the sum
// over the process and each descendant alive at that moment. Counters can therefore fall when a
// descendant ends. The process's own start time stays the reading's, so a reused PID is still
// told from the target.
#pragma once

#include "monitor/sampler.h"

// A process provider for SetProcessProvider that sums over the family of the opened process.
const ProcessProvider& FamilyProcessProvider();
