// A recording's pace: late samples counted and told once, the due ticks they cost counted as
// skipped, the next tick one interval after a late one.
#include "app/cli/tick_pacing.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace {

TEST(TickPacing, LateSamplesAreCountedToldOnceAndTheirTicksSkipped) {
    struct Tick {
        int64_t start, end;  // ms
        bool told;
        int64_t late, skipped, next;
    };
    // 100 ms interval, first tick due at 100.
    const std::vector<Tick> ticks = {
        {100, 110, false, 0, 0, 200},   // on time
        {200, 350, true, 1, 1, 450},    // took 150 ms: 300 missed, the next one interval after it
        {450, 800, false, 2, 4, 900},  // late again, told no more: 550 to 750 missed
        {1900, 1905, false, 2, 14, 2005},  // a suspended machine: a wake-up 1000 ms late, nothing told
    };
    TickPacing pacing{100, 100};
    for (const Tick& t : ticks) {
        SCOPED_TRACE(t.start);
        EXPECT_EQ(NoteTick(pacing, t.start, t.end), t.told);
        EXPECT_EQ(std::tuple(pacing.late, pacing.skipped, pacing.nextMs), std::tuple(t.late, t.skipped, t.next));
    }
}

}  // namespace
