// A process and all its descendants, read as one family from one reading to the next.
//
// Each member's directory, stat, status and children files stay open between readings, as the
// held target's do, so a reading costs a few reads per member and no directory walks. A member's
// children come from its threads' children lists (the kernel's list of the processes each thread
// started). A member with many threads would cost one list per thread, and threads that fork are
// rare, so the children of such a member come from the process table's parent PIDs instead, read
// once per reading for all of them and kept from one reading to the next (only processes new to
// the table are read); so do everyone's where the kernel keeps no children lists.
//
// The footprint counts memory shared after fork once: each member contributes its proportional
// share of anonymous memory (Pss_Anon + SwapPss of smaps_rollup: a page mapped by three members
// counts a third in each) plus its page tables. smaps_rollup walks the page tables, which costs
// about 14 ms per GB of resident memory, so it is read only where the share can have moved: a
// member that shares no anonymous page with another process counts RssAnon + VmSwap + VmPTE of
// its status, which are the same figures; its file is read again when a child appears (the
// member may share with it now), and the files of sharing members whenever the family's
// membership or one of the sharing members changes. Besides, every member's file is read again
// at least once in RefreshSeconds, a few members per reading in turn, for sharing that arises out
// of sight (a child that forked and ended between two readings, the siblings of a target that was
// forked without exec, the kernel merging pages).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/process_info.h"
#include "runtime/text.h"

// One member as a reading found it.
struct FamilyMember {
    int32_t pid{};
    int32_t parentPid{};       // the root's own parent for the root
    uint64_t startTime{};      // clock ticks since boot
    int64_t footprintBytes{};  // its proportional share of anonymous memory and swap, plus page tables
    Text name;                 // as ProcessNameForPid tells it, read when the members are asked for
};

// A reading of the whole family: the task figures summed over the members alive at that moment
// (counters can therefore fall when a member ends), the root's own start time.
struct FamilyReading {
    TaskInfo task;
    int64_t footprintBytes{};
    int32_t members{};  // the root included
};

class ProcessFamily {
public:
    static constexpr double RefreshSeconds = 30.0;

    ProcessFamily();
    ~ProcessFamily();
    ProcessFamily(const ProcessFamily&) = delete;
    ProcessFamily& operator=(const ProcessFamily&) = delete;

    // Follows the family of the process with this PID from now on, if it is the one that started
    // at startTime (any when 0). False, following nothing, when it cannot be read.
    bool Follow(int32_t rootPid, uint64_t startTime);
    // Lets go of every member.
    void Clear();
    bool Following() const;

    // One reading. False once the root has ended or cannot be read.
    bool Read(FamilyReading& out);

    // The members of the last reading, the root first and every parent before its children, with
    // their names read now: nothing of this is done unless asked for. With `named`, only the
    // members it accepts (given without their names) are named, so that a caller that follows
    // the members at every reading reads each name once rather than every time.
    std::vector<FamilyMember> Members(const std::function<bool(const FamilyMember&)>& named = {}) const;

    // The members' files and what the readings keep of them; the reader's own.
    struct State;

private:
    std::unique_ptr<State> state_;
};

// The descendants of a process as a reading of its family finds them, each held by a pidfd opened
// while its PID still named that process (the same start time after the opening), so that a signal
// sent through it never reaches a process that took over the PID. Empty where pidfds are not
// offered (fixture roots have no real processes).
class HeldDescendants {
public:
    explicit HeldDescendants(int32_t rootPid);
    ~HeldDescendants();
    HeldDescendants(const HeldDescendants&) = delete;
    HeldDescendants& operator=(const HeldDescendants&) = delete;

    void Signal(int signal) const;
    // True once every one of them has ended; false when untilMs (of MonotonicMs) came first.
    bool WaitUntilEnded(int64_t untilMs) const;

private:
    std::vector<int> pidFds_;
};
