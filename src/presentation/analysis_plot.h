// What a plot of one run shows, from its analysis: the footprint and the virtual size, the phases
// as bands, the settled baseline and the release floors, the verdict and the leak test's result
// in the title, the target's name and the date in the caption. Texts in the loaded language.
#pragma once

#include <string>
#include <vector>

#include "analysis/leak_test.h"
#include "analysis/phase_analysis.h"
#include "presentation/plot_plan.h"

// A thin line under a family's footprint: one member's footprint (or the sum of several, `rest`)
// at each slot of the history, NaN where it was not in the family.
struct MemberLine {
    std::string name;  // in the legend
    std::vector<float> mb;
    bool rest{};
};

struct PlotFacts {
    std::string name;  // the target's name, or the log's file name
    std::string date;  // the run's date, as the caption shows it
    int width{1200}, height{600};
    std::vector<MemberLine> members;  // a family's: its footprint is then named the family's
};

PlotInput AnalysisPlot(const SampleHistory& history, const PhaseAnalysis& analysis, const LeakTestResult& leak,
                       const PlotFacts& facts);

// A growth rate in MB per minute to a tenth: "11.5", "-0.3", with a plus sign when asked "+11.5".
std::string RateFigure(double perMinute, bool plusSign);

// A figure with two decimals at most and no trailing zeros: "11.5", "-0.25", "3".
std::string Figure(double value);

// Two runs' footprints from their own starts on one plot, each named by its file in the legend.
PlotInput ComparisonPlot(const SampleHistory& before, const SampleHistory& after, const std::string& beforeName,
                         const std::string& afterName, const std::string& title, int width, int height);
