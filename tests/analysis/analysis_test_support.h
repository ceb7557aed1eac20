// Shared helpers of the analysis tests: histories from (time, footprint) lists, the report layout
// written out independently of the code that builds it, the English texts the reports contain,
// and scratch files.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "app/strings/stringtable.h"
#include "monitor/sample_history.h"
#include "runtime/text.h"

namespace analysis_test {

using Points = std::vector<std::pair<int64_t, float>>;

inline SampleHistory HistoryOf(const Points& points) {
    SampleHistory history;
    for (const auto& [time, footprint] : points) AppendHistoryPoint(history, time, footprint, 2.0f * footprint);
    return history;
}

// English texts of the report.
inline const Text InsufficientData =
    u"⚠️ Insufficient data to perform Phase Analysis (requires at least 3 active samples with >0 MB RAM).";
inline const Text WarmUpName = u"Warm-Up / Initializing";
inline const Text SpikeName = u"Processing Spike / Memory Growth";
inline const Text ReleaseName = u"Post-Task Release / Garbage Collection";
inline const Text BaselineName = u"Baseline Phase";
inline const Text FlatlineName = u"Extended Flatline (Resting)";
inline const Text WarmUpNote = u"Process startup & initial buffer caching.";
inline const Text BaselineNote = u"Idle baseline footprint established.";
inline const Text FlatlineNote = u"Memory plateaued; footprint remained stable.";
inline const Text ReleaseNote = u"Buffers freed; memory footprint reduced.";
inline const Text SpikeNote = u"Active buffer allocation / work execution.";
inline const Text FinalSpikeNote = u"Active allocation through session end.";

inline const Text WarmUpLine = u"ℹ️ WARM-UP FILTER: Warm-up noise excluded. Clean baseline settled at ";
inline Text RecoveryLine(const Text& count, const Text& reclaimed) {
    return u"ℹ️ RECOVERY METRICS: Detected " + count + u" release phase(s) reclaiming ~" + reclaimed +
           u" MB total.\r\n";
}
inline const Text HighSuspicionHeadline =
    u"🚨 HIGH SUSPICION OF MEMORY LEAK\n\rMemory climbs steadily without releasing. This indicates a severe leak "
    u"where allocated objects, event listeners, or buffers are never freed.\n\r";
inline const Text StairStepHeadline =
    u"⚠️ STAIR-STEP / PROGRESSIVE FLOOR DRIFT LEAK\n\rMemory drops after tasks, but each resting floor is higher "
    u"than the last. This is consistent with retain cycles, unclosed database connections, or unmanaged caches.\n\r";
inline const Text PossibleLeakHeadline =
    u"⚠️ POSSIBLE LEAK OR STEP-UP INITIALIZATION\n\rMemory rose and stabilized at a higher level. Normal for "
    u"transactional apps caching their assets, but worth evaluating further if running a long-term background app "
    u"or process.\n\r";
inline const Text HealthyHeadline =
    u"✅ HEALTHY MEMORY MANAGEMENT (ACTIVE CLEANUP)\n\rThe app efficiently reclaims memory after work finishes. The "
    u"memory footprint drops back near the resting baseline, showing no signs of persistent leaks.\n\r";
inline const Text NoEvidenceHeadline = u"✅ NO EVIDENCE OF MEMORY LEAK!";
inline const Text CachingNotes =
    u"• NOTE: If this is a transactional app (e.g. a cataloging tool, a file converter), a step-up baseline is "
    u"often normal (due to asset caching).\r\n"
    u"       For long-running menu bar tools that run in the background, verify that this memory is eventually "
    u"released.\r\n";
inline const Text FlatlineClosing = u"Memory consumption plateaued safely into an Extended Flatline (Resting) phase.";
inline const Text SpikeClosing = u"Memory growth remains bounded within safe limits through session end.";

// Exactly `width` UTF-16 units: cut, or filled with blanks.
inline Text Pad(Text text, size_t width) {
    text.resize(width, u' ');
    return text;
}

// One phase row as the report lays it out: label 62, footprint 18, delta 11, rate 15, the note.
inline Text Row(const Text& name, const Text& from, const Text& to, const Text& footprint, const Text& delta,
                const Text& rate, const Text& note) {
    Text label = name + u" (" + from + u"–" + to + u")";
    return Pad(label, 62) + u" | " + Pad(footprint, 18) + u" | " + Pad(delta, 11) + u" | " + Pad(rate, 15) + u" | " +
           note + u"\r\n";
}

inline Text Repeat(char16_t c, size_t n) { return Text(n, c); }

// The fixed parts around the rows and the evidence.
inline Text Report(const std::vector<Text>& rows, const Text& evidence,
                   const Text& verdictHeader = u"DIAGNOSTIC VERDICT & EVIDENCE SUMMARY:") {
    Text banner = Repeat(u'=', 106) + u"\r\n";
    Text text = banner;
    text += Repeat(u' ', 40) + u"MEMORY PHASE ANALYSIS REPORT" + Repeat(u' ', 38) + u"\r\n";
    text += banner;
    text += u"Phase / Time Range                                             | Memory Footprint   | Phase Delta | "
            u"Rate (MB/s)     | Behavior Note\r\n";
    text += u"--------------------------------------------------------------|--------------------|-------------|"
            u"-----------------|---------------------------\r\n";
    for (const Text& row : rows) text += row;
    text += u"\r\n" + Repeat(u'-', 96) + u"\r\n";
    text += verdictHeader + u"\r\n";
    text += Repeat(u'-', 96) + u"\r\n";
    text += evidence;
    text += banner;
    return text;
}

// Readable failure output: the report as UTF-8 with its CR and LF shown.
inline std::string Shown(const Text& text) {
    std::string out;
    for (char c : TextToUtf8(text)) {
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n\n";
        else out += c;
    }
    return out;
}

// Every test starts from the English table.
class EnglishTest : public ::testing::Test {
protected:
    void SetUp() override { LoadStringTable(u"en"); }
};

// A fresh directory under the system's temporary folder, removed with its contents afterwards.
class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "quolk-analysis-XXXXXX").string();
        path_ = mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~ScratchDir() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

}  // namespace analysis_test
