// The system's processes as one table kept from one refresh to the next, so that watching the
// process list at an interval costs a directory listing and little more per process already known.
//
// A process's start time and parent never change, so its stat line is read once, when its
// directory is new to the table (a process that takes over a PID gets a directory of its own, with
// another inode number). Its command name changes when it executes another program (a service's
// wrapper script that ends in exec, a forked child before its exec) or renames itself, so it is read
// again: at every refresh while the process is young, and then in turn, the older the process the
// less often, at least once in MaxRecheckSeconds (a table that only needs the parents can leave the
// names as first read). The executable's file name is read when the command name is first read or
// changes, and only when asked for.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <unordered_map>

struct ProcessTableEntry {
    int32_t pid{};
    int32_t parentPid{};
    uint64_t startTime{};     // clock ticks since boot; 0 for a zombie, which is never watched
    std::string commandName;  // as the kernel keeps it: at most 15 bytes, any bytes but NUL
    // The last component of the executable's path (without the kernel's " (deleted)"); empty for
    // a kernel thread, or where the link cannot be read: another user's process without
    // CAP_SYS_PTRACE.
    std::string executableName;
    bool executableRead{};  // executableName is up to date with commandName
    // The refresh at which the entry was first listed, and when its name was last read (seconds
    // of the caller's clock).
    double firstSeen{}, nameRead{};
    uint64_t inode{};
    uint64_t generation{};  // the refresh that listed it last
};

class ProcessTable {
public:
    static constexpr double MaxRecheckSeconds = 300.0;

    explicit ProcessTable(bool recheckNames = true) : recheckNames_(recheckNames) {}

    // Lists the process root at nowSeconds (any steady clock): new directories are read, known
    // ones re-read as said above, and processes no longer listed leave. False when the root cannot
    // be listed.
    bool Refresh(double nowSeconds);
    // The executable's file name of an entry, read now if it is not up to date.
    const std::string& ExecutableName(ProcessTableEntry& entry);

    std::unordered_map<int32_t, ProcessTableEntry>& Entries() { return entries_; }
    // Stat lines and command names read by the last refresh (the measure of its cost).
    int64_t LastReads() const { return lastReads_; }

private:
    std::unordered_map<int32_t, ProcessTableEntry> entries_;
    uint64_t generation_{};
    int64_t lastReads_{};
    bool recheckNames_;
};

// Whether the name of a process first seen at firstSeen and last read at nameRead is due to be read
// again at nowSeconds: at every refresh while the process is young, then the older the process the
// less often, at least once in MaxRecheckSeconds.
inline bool NameRecheckDue(double nowSeconds, double firstSeen, double nameRead) {
    return nowSeconds - nameRead >= std::min(ProcessTable::MaxRecheckSeconds, (nowSeconds - firstSeen) / 4);
}
