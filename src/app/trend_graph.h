// The real-time trend graph: the whole canvas repainted from the history on every tick.
#pragma once

#include <cstdint>

#include "monitor/sample_history.h"
#include "presentation/trend_scale.h"

// Paints the history's footprint and virtual size on the canvas gadget at its current size; does
// nothing when drawing cannot start on it. The plan is the caller's, so that a repaint reuses the
// storage of the one before.
void DrawTrendGraph(int64_t canvasGadget, const SampleHistory& history, TrendPlan& plan);
