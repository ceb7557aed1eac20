// Drawing a plot from the command line: quolk opens the picture's file itself (so that a folder
// that does not exist is told at once, with the path and the reason, in the user's language) and
// hands the plan and the open file to the drawing program, lib/quolk/quolk-plot, which alone links
// Qt. Every other command runs without it.
#pragma once

#include <cstdio>
#include <string>

#include "presentation/plot_plan.h"

// Whether a plot file name asks for SVG (".svg") or PNG (".png"), ignoring case; false for any
// other name.
bool PlotFormatOf(const std::string& path, bool& svg);

// Draws the plan into `path`. False, with one line on err saying why (the drawing program is not
// installed, the file cannot be created, the drawing failed), when no picture was written.
bool WritePlot(const std::string& path, const PlotPlan& plan, std::FILE* err);

struct CliOptions;
struct LeakTestResult;
struct PhaseAnalysis;
struct PlotFacts;
struct SampleHistory;

// The plot of one run when --plot was given: its history, its analysis and the leak test's result,
// with the facts' caption, size and a family's members. True when no plot was asked for or it was
// written.
bool PlotRunIfAsked(const CliOptions& options, const SampleHistory& history, const PhaseAnalysis& analysis,
                    const LeakTestResult& leak, const PlotFacts& facts, std::FILE* err);

// The day a file was last written, "2026-12-06" in UTC; "" when it cannot be read.
std::string FileDate(const std::string& path);
