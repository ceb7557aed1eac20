// Shared helpers of the analysis tests: histories from (time, footprint) lists, and the report
// layout and the English texts of one report written out independently of the code that builds
// them.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "strings/stringtable.h"
#include "monitor/sample_history.h"
#include "runtime/text.h"

namespace analysis_test {

using Points = std::vector<std::pair<int64_t, float>>;

inline SampleHistory HistoryOf(const Points& points) {
    SampleHistory history;
    for (const auto& [time, mb] : points) AppendHistoryPoint(history, time, mb, 2.0f * mb);
    return history;
}
// `count` samples `step` seconds apart from 0, sample k at mb(k) MB.
inline Points Sampled(int count, int64_t step, const std::function<double(int)>& mb) {
    Points points;
    for (int k = 0; k < count; ++k) points.push_back({step * k, static_cast<float>(mb(k))});
    return points;
}

inline const Text InsufficientData =
    u"⚠️ Insufficient data to perform Phase Analysis (requires at least 3 active samples with >0 MB RAM).";
inline const Text WarmUpLine = u"ℹ️ WARM-UP FILTER: Warm-up noise excluded. Clean baseline settled at ";
inline Text RecoveryLine(const Text& count, const Text& mb) {
    return u"ℹ️ RECOVERY METRICS: Detected " + count + u" release phase(s) reclaiming ~" + mb + u" MB total.\r\n";
}

// A verdict block: the headline, two line breaks, then one bullet line per item.
inline Text Block(const Text& headline, const std::vector<Text>& items) {
    Text text = headline + u"\r\n\r\n";
    for (const Text& item : items) text += u"• " + item + u"\r\n";
    return text;
}
inline Text Healthy(const Text& percent, const Text& final, const Text& freed) {
    return Block(u"✅ HEALTHY MEMORY MANAGEMENT (ACTIVE CLEANUP)\n\rThe app efficiently reclaims memory after work finishes. The memory footprint drops back near the resting baseline, showing no signs of persistent leaks.\n\r",
                 {u"Evidence of reclaimed " + percent + u"% of peak allocation back down near baseline (" + final + u" MB).",
                  u"Evidence of active Garbage Collection / buffer releases observed (" + freed + u" MB freed)."});
}
// A phase kind's English name and note.
struct Kind { Text name, note; };
inline const Kind WarmUp{u"Warm-Up / Initializing", u"Process startup & initial buffer caching."};
inline const Kind Spike{u"Processing Spike / Memory Growth", u"Active buffer allocation / work execution."};
inline const Kind Release{u"Post-Task Release / Garbage Collection", u"Buffers freed; memory footprint reduced."};
inline const Kind Baseline{u"Baseline Phase", u"Idle baseline footprint established."};
inline const Kind Flatline{u"Extended Flatline (Resting)", u"Memory plateaued; footprint remained stable."};

// Exactly `width` UTF-16 units: cut, or filled with blanks.
inline Text Pad(Text text, size_t width) { text.resize(width, u' '); return text; }
// One phase row as the report lays it out: label 62, footprint 18, delta 11, rate 15, the note.
inline Text Row(const Kind& kind, const Text& from, const Text& to, const Text& footprint, const Text& delta,
                const Text& rate) {
    return Pad(kind.name + u" (" + from + u"–" + to + u")", 62) + u" | " + Pad(footprint, 18) + u" | " +
           Pad(delta, 11) + u" | " + Pad(rate, 15) + u" | " + kind.note + u"\r\n";
}
// A row whose footprint did not change.
inline Text Flat(const Kind& kind, const Text& from, const Text& to, const Text& mb) {
    return Row(kind, from, to, mb + u" MB", u"0.0 MB", u"0.00 MB/s");
}
// The fixed parts around the rows and the evidence.
inline Text Report(const std::vector<Text>& rows, const Text& evidence) {
    Text banner = Text(106, u'=') + u"\r\n", ruler = Text(96, u'-') + u"\r\n";
    Text text = banner + Text(40, u' ') + u"MEMORY PHASE ANALYSIS REPORT" + Text(38, u' ') + u"\r\n" + banner +
                u"Phase / Time Range                                             | Memory Footprint   | Phase Delta | Rate (MB/s)     | Behavior Note\r\n"
                u"--------------------------------------------------------------|--------------------|-------------|-----------------|---------------------------\r\n";
    for (const Text& row : rows) text += row;
    return text + u"\r\n" + ruler + u"DIAGNOSTIC VERDICT & EVIDENCE SUMMARY:\r\n" + ruler + evidence + banner;
}

// Readable failure output: the report as UTF-8 with its CR and LF shown.
inline std::string Shown(const Text& text) {
    std::string out;
    for (char c : TextToUtf8(text)) out += c == '\r' ? "\\r" : c == '\n' ? "\\n\n" : std::string(1, c);
    return out;
}

struct EnglishTest : ::testing::Test {
    void SetUp() override { LoadStringTable(u"en"); }
};

}  // namespace analysis_test
