// Process information: what the system tells about another process, read from the kernel's
// per-process files. A process that has gone, cannot be read or is a zombie is an ordinary
// result (false, 0, -1 or an empty text), never an error path.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/text.h"

// One reading of a process's task figures. Counters are cumulative since the process started;
// a counter beyond the signed 32-bit range is held at INT32_MAX rather than wrapped.
struct TaskInfo {
    int64_t virtualBytes{};   // reserved address space
    int64_t residentBytes{};  // pages in physical memory
    int32_t pageFaults{};     // minor and major faults
    int32_t pageIns{};        // major faults: pages that had to be read in
    int32_t cowFaults{};      // the kernel keeps no copy-on-write count: always 0
    int32_t threadCount{};
    uint64_t startTime{};  // clock ticks since boot; with the PID it names one process for good
};

// The directory that holds the per-process files, "/proc" unless a test points it at a fixture
// tree. A null or empty root restores "/proc". Not thread-safe: set it before reading.
void SetProcRoot(const char* root);
const char* ProcRoot();

// --- One process through its own directory -------------------------------------------------
// Every file of one reading is opened relative to the same directory descriptor, so that a PID
// reused in the middle of a reading can never mix another process's figures into it: once the
// process has gone, reads through the old descriptor fail.

// A directory descriptor for the process, or -1 if there is no such process.
int OpenProcessDir(int32_t pid);
void CloseProcessDir(int dirFd);
// False when the process has gone, cannot be read, is a zombie or dead, or has begun to exit (or
// has no address space without being a kernel thread, which an exiting process shows as well).
// A process whose leader thread has ended while other threads run on lives: its counters, thread
// count and start time are the thread group's, its sizes those of its address space, read through
// one of the live threads.
bool ReadTaskInfoAt(int dirFd, TaskInfo& out);
// Anonymous resident memory plus swapped-out memory plus page tables, in bytes: what the process
// itself costs, without the file pages it shares (through a live thread when the leader has
// ended). 0 when none is reported (kernel threads), -1 when the figures cannot be read.
int64_t ReadPhysicalFootprintAt(int dirFd);

// --- One process held for a whole session -------------------------------------------------
// The process's pidfd and its stat and status files, opened once and re-read at offset 0: reads
// through them fail once the process has gone, so a PID the kernel hands on is never read in its
// place, even when the old and the new process started in the same clock tick.
struct ProcessHold {
    int32_t pid{};     // the PID it was held by
    int pidFd{-1};     // -1 where the kernel offers no pidfd (before Linux 5.3) or under a fixture root
    int statFd{-1};
    int statusFd{-1};  // -1 when status could not be opened; the footprint then cannot be told
    int dirFd{-1};     // the process's directory, which tells the end where there is no pidfd
    // A live thread's stat and status, opened by the readers once the process's leader has ended
    // while other threads run on: the process lives on, and its memory is read through them.
    mutable int threadStatFd{-1};
    mutable int threadStatusFd{-1};
};

// Opens the pidfd first and the files after it, so that a check of ProcessHoldEnded after any
// reading proves the files were the pidfd's process's. False, holding nothing, when there is no
// such process.
bool HoldProcess(int32_t pid, ProcessHold& out);
// Whether the held process has exited, as its pidfd tells; without one, whether its directory
// has gone (removed, or no longer answering).
bool ProcessHoldEnded(const ProcessHold& hold);
// ReadTaskInfoAt and ReadPhysicalFootprintAt through the held files.
bool ReadHeldTaskInfo(const ProcessHold& hold, TaskInfo& out);
int64_t ReadHeldPhysicalFootprint(const ProcessHold& hold);
// Closes what is held and empties the record; harmless on an empty one.
void ReleaseProcess(ProcessHold& hold);

// What the picker lists, the window shows and the recorder reports about a process.
struct ProcessDescription {
    int32_t pid{};
    // The last component of the executable's path; otherwise the command name without surrounding
    // blanks; otherwise "Unknown". Control characters (U+0000 to U+001F, U+007F) read as "?", like
    // bytes that are not UTF-8, so that the name is always one line.
    Text name{u"Unknown"};
    // The executable's path as the kernel reports it (a replaced binary keeps the kernel's
    // " (deleted)" mark); empty when there is none (kernel threads) or it cannot be read.
    Text path;
    uint64_t startTime{};  // with the PID it names the process for good; 0 when it has gone
};

// Describes the process of this directory, every part read through it, so that none can come from
// a process that took the PID over meanwhile: the start time first (should the PID pass on while
// the rest is read, the reads fail). False, with the start time 0, when the task figures cannot be
// read (it has gone or is a zombie); the name and path are then what could still be read.
bool DescribeProcessAt(int dirFd, int32_t pid, ProcessDescription& out);
// Whether the process is a desktop application of the current user, as IsUserAppProcess tells it.
bool IsUserAppProcessAt(int dirFd);

// --- By PID, for listing ---------------------------------------------------------------------
// A process as the process root lists it: its PID, and the inode number of its directory, which
// the kernel gives each process anew, so that a PID that passes to another process shows as
// another inode: what was learnt about the entry can be kept until it changes.
struct ProcessEntry {
    int32_t pid{};
    uint64_t inode{};
};
// Every process under the process root, in the order the directory gives them.
std::vector<ProcessEntry> ListProcesses();
// The process's start time in clock ticks since boot; 0 if it has gone or is a zombie.
uint64_t ProcessStartTime(int32_t pid);
// The real user ID; -1 if it cannot be read.
int64_t ProcessRealUid(int32_t pid);
// Whether the process runs in the desktop session's application slice (an "app.slice" or an
// "app-*.scope" cgroup), where desktops start the applications the user launched.
bool ProcessInAppSlice(int32_t pid);
// Whether the process's environment names a display (DISPLAY or WAYLAND_DISPLAY, not empty).
bool ProcessNamesDisplay(int32_t pid);
// A process of the current real user that is a desktop application: in the application slice or
// connected to a display.
bool IsUserAppProcess(int32_t pid);
