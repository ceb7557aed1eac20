// The leak gate of a recording with stacks: the footprint's leak test decides, and a live heap not
// judged to grow clears it.
#include <gtest/gtest.h>

#include "app/cli/recorder_stacks.h"

namespace {

LeakTestResult Result(LeakOutcome outcome, double pValue = 1.0, double growthMB = 0.0) {
    LeakTestResult r;
    r.outcome = outcome;
    r.pValue = pValue;
    r.growthMB = growthMB;
    r.minGrowthMB = 2.0;
    return r;
}

TEST(LeakGate, FailsOnTheFootprintsLeakOnlyWhereTheLiveHeapWasJudgedToGrow) {
    const struct {
        const char* name;
        LeakOutcome footprint;
        bool heapTested;
        LeakTestResult heap;
        bool fails;
    } cases[] = {
        {"no stacks", LeakOutcome::Leak, false, {}, true},
        {"footprint holds", LeakOutcome::NoLeak, true, Result(LeakOutcome::Leak, 1e-9, 50.0), false},
        {"footprint unsettled", LeakOutcome::Inconclusive, true, Result(LeakOutcome::Leak, 1e-9, 50.0), false},
        {"heap leaks too", LeakOutcome::Leak, true, Result(LeakOutcome::Leak, 1e-9, 50.0), true},
        {"heap grows, lumpy", LeakOutcome::Leak, true, Result(LeakOutcome::NoLeak, 1e-6, 15.0), true},
        {"heap unsettled", LeakOutcome::Leak, true, Result(LeakOutcome::Inconclusive, 1e-9, 50.0), false},
        {"heap flat", LeakOutcome::Leak, true, Result(LeakOutcome::NoLeak, 1.0, 0.0), false},
        {"heap drifts, not significantly", LeakOutcome::Leak, true, Result(LeakOutcome::NoLeak, 0.01, 15.0), false},
        {"heap grows too little", LeakOutcome::Leak, true, Result(LeakOutcome::NoLeak, 1e-6, 1.5), false},
    };
    for (const auto& c : cases) {
        StacksReport stacks;
        stacks.state = c.heapTested ? StacksState::Ready : StacksState::NoMallocSeen;
        stacks.heapLeak = c.heap;
        EXPECT_EQ(LeakGateFails(Result(c.footprint), &stacks), c.fails) << c.name;
    }
    EXPECT_TRUE(LeakGateFails(Result(LeakOutcome::Leak), nullptr));
}

}  // namespace
