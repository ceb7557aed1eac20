// The real-time trend graph: the whole canvas repainted from the history on every tick.
#pragma once

#include <cstdint>

#include "monitor/sample_history.h"

// Paints the history's footprint and virtual size on the canvas gadget at its current size; does
// nothing when drawing cannot start on it.
void DrawTrendGraph(int64_t canvasGadget, const SampleHistory& history);
