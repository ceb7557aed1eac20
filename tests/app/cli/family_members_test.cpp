// The family member by member: each process's record across samples, when its name is read, and
// the plot's lines of the largest members and the rest summed, aligned with the history as it rolls
// (the CSV rows are read in the recording's test).
#include <gtest/gtest.h>

#include <cmath>

#include "app/cli/family_members.h"
#include "strings/stringtable.h"

namespace {

constexpr int64_t MB = 1048576;

// Seven members over 305 samples: PID 10 grows a MB a sample, 11 to 15 hold 10 to 50 MB, 16 holds
// 1 MB and leaves at sample 300, 17 holds 2 MB from sample 302, and PID 12 is taken over by a new
// process (another start time) at sample 304.
std::vector<FamilyMember> Sample(int64_t n) {
    std::vector<FamilyMember> members{{10, 1, 100, n * MB, u"grower"}};
    for (int32_t pid = 11; pid <= 15; ++pid)
        members.push_back({pid, 10, 100, (pid - 10) * 10 * MB, u"holder"});
    if (n <= 300) members.push_back({16, 10, 100, MB, u"leaves"});
    if (n >= 302) members.push_back({17, 10, 200, 2 * MB, u"late"});
    if (n >= 304) members[2].startTime = 300;
    return members;
}

TEST(FamilyMembers, EachMemberIsFollowedAndTheLargestAreDrawnAlongTheHistory) {
    LoadStringTable(u"en");
    FamilyMembers family;
    SampleHistory history;
    std::vector<bool> named;  // the grower's name read at its first two samples only
    for (int64_t n = 1; n <= 305; ++n) {
        AppendHistoryPoint(history, n, 100, 200);
        if (n <= 3) named.push_back(MemberNameWanted(family, Sample(n)[0]));
        NoteMembers(family, Sample(n), double(n) / 10, n);
    }
    EXPECT_EQ(named, (std::vector<bool>{true, true, false}));
    EXPECT_TRUE(MemberNameWanted(family, {12, 10, 999, MB, {}}));  // a new process with PID 12's number
    ASSERT_EQ(family.members.size(), 9u);  // PID 12 twice
    const struct { size_t at; int32_t pid; double first, last; int64_t firstMB, lastMB, peakMB, sample; } records[] = {
        {0, 10, 0.1, 30.5, 1, 305, 305, 305}, {2, 12, 0.1, 30.3, 20, 20, 20, 303}, {8, 12, 30.4, 30.5, 20, 20, 20, 305}};
    for (const auto& r : records) {
        const MemberRecord& m = family.members[r.at];
        EXPECT_EQ(m.pid, r.pid) << r.at;
        EXPECT_DOUBLE_EQ(m.firstSeconds, r.first) << r.at;
        EXPECT_DOUBLE_EQ(m.lastSeconds, r.last) << r.at;
        EXPECT_EQ(m.firstBytes / MB, r.firstMB) << r.at;
        EXPECT_EQ(m.lastBytes / MB, r.lastMB) << r.at;
        EXPECT_EQ(m.peakBytes / MB, r.peakMB) << r.at;
        EXPECT_EQ(m.lastSample, r.sample) << r.at;
    }
    // Slot 0 holds sample 6: the grower, 50 to 20 MB alone (the first PID 12 until it is taken
    // over), the rest summed where any of it was there.
    const std::vector<MemberLine> lines = MemberLines(family, history);
    ASSERT_EQ(lines.size(), 6u);
    const std::string names[] = {"grower (10)", "holder (15)", "holder (14)", "holder (13)", "holder (12)",
                                 "4 other processes"};
    for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i].name, names[i]);
    EXPECT_TRUE(lines.back().rest);
    const struct { size_t line, slot; float mb; } values[] = {
        {0, 0, 6},  {0, 299, 305}, {4, 297, 20}, {4, 298, NAN}, {5, 0, 11},
        {5, 294, 11}, {5, 295, 10}, {5, 296, 12}, {5, 298, 32}, {5, 299, 32},
    };
    for (const auto& v : values) {
        const float got = lines[v.line].mb[v.slot];
        if (std::isnan(v.mb)) EXPECT_TRUE(std::isnan(got)) << v.line << " " << v.slot;
        else EXPECT_FLOAT_EQ(got, v.mb) << v.line << " " << v.slot;
    }
    // Drawn as thin lines under the family's footprint, each only where it was in the family.
    PlotFacts facts;
    facts.members = lines;
    const PlotInput plot = AnalysisPlot(history, PhaseAnalysis{}, LeakTestResult{}, facts);
    ASSERT_EQ(plot.curves.size(), 8u);
    EXPECT_EQ(plot.curves[1].name, "Footprint RAM, whole family");
    EXPECT_EQ(plot.curves[2].points.size(), 300u);
    EXPECT_EQ(plot.curves[6].points.size(), 298u);
    EXPECT_LT(plot.curves[2].width, plot.curves[1].width);
}

}  // namespace
