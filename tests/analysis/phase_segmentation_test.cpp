// The segmentation's rules one by one: each short curve is cut differently when its rule changes.
#include "analysis/phase_segmentation.h"
#include "analysis_test_support.h"

namespace analysis_test {
namespace {

// Samples `step` seconds apart from 0.
Points Every(int64_t step, const std::vector<float>& mbs) {
    Points points;
    for (size_t k = 0; k < mbs.size(); ++k) points.push_back({step * int64_t(k), mbs[k]});
    return points;
}
std::vector<float> Flat(int count, float mb) { return std::vector<float>(size_t(count), mb); }
std::vector<float> operator+(std::vector<float> a, const std::vector<float>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Each row as its kind's initial and its end slot: "W9 B10 S14".
std::string Rows(const SampleHistory& history) {
    SegmentationResult result;
    if (!SegmentHistory(history, result)) return "insufficient";
    std::string text;
    for (const PhaseRow& row : result.rows)
        text += std::string(text.empty() ? "" : " ") + "WSRBF"[int(row.kind)] + std::to_string(row.endSlot);
    return text;
}

TEST(PhaseSegmentation, EachRuleCutsItsOwnCurve) {
    // Twelve seconds at 100 MB: the warm-up ends at slot 9, a baseline follows.
    const std::vector<float> settled = Flat(12, 100);
    const struct { const char* rule; Points points; const char* rows; } cases[] = {
        {"a release is closed only once it has lasted 3 s",
         Every(1, settled + std::vector<float>{105, 110, 110, 110, 106, 106, 112} + Flat(5, 116)),
         "W9 B10 S14 R17 S22 F23"},
        // Every 5 s: a dip of 0.8 MB after the climb, then 0.24 MB more a sample to 1.6 MB above it.
        {"a release that ends higher than it began is not closed",
         Every(5, Flat(7, 100) + std::vector<float>{105, 110, 110, 110, 109.2f, 109.2f, 109.44f, 109.68f, 109.92f,
                                                    110.16f, 110.4f, 110.64f, 110.88f, 111.12f, 111.36f} + Flat(5, 111.6f)),
         "W3 B5 S9 S26"},
        // Six samples at 108 MB: three steps of the smoothed curve are flat.
        {"a spike flat for three steps turns flatline",
         Every(1, settled + std::vector<float>{102, 104, 106} + Flat(6, 108) + std::vector<float>{110, 112, 114, 116, 118, 120}),
         "W9 B11 S18 F20 S26"},
        {"a final phase that rises 1.5 MB is a spike",
         Every(1, Flat(16, 200) + std::vector<float>{200.5f, 201, 201.5f, 201.5f, 201.5f}), "W9 S20"},
        {"a final phase that rises 0.9 MB is not", Every(1, Flat(16, 200) + std::vector<float>{200.3f, 200.6f, 200.9f, 200.9f, 200.9f}),
         "W9 B20"},
        {"a final phase that falls 1.2 MB is a release",
         Every(1, Flat(16, 200) + std::vector<float>{199.6f, 199.2f, 198.8f, 198.8f, 198.8f}), "W9 R20"},
        // The warm-up lasts 15 % of the session, at most 120 s and at least 10 s.
        {"2000 s: 120 s of warm-up", Every(10, Flat(201, 80)), "W11 B200"},
        {"40 s: 10 s", Every(1, Flat(41, 80)), "W9 B40"},
        {"three active slots among empty ones are analysed", Every(1, {10, 0, 11, 0, 12}), "W1 S4"},
        {"two are not", Every(1, {10, 0, 0, 0, 12}), "insufficient"},
    };
    for (const auto& c : cases) EXPECT_EQ(Rows(HistoryOf(c.points)), c.rows) << c.rule;
}

}  // namespace
}  // namespace analysis_test
