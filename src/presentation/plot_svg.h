// A plot's plan as an SVG document, written without Qt: a vector picture needs no painter, so
// `--plot FILE.svg` costs the command line what writing a text file costs, and needs no drawing
// program. Labels wider than their room, at the plan's own estimate of text widths, end in "…".
#pragma once

#include <string>

#include "presentation/plot_plan.h"

std::string PlotSvg(const PlotPlan& plan);
