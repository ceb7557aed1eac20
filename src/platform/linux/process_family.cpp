#include "platform/process_family.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "platform/linux/proc_files.h"
#include "platform/process_table.h"
#include "runtime/date.h"

namespace {

// Up to this many threads a member's children are read from each thread's list; beyond, from
// the process table, whose cost (about 0.4 µs a process) does not grow with the member's threads.
constexpr int32_t FewThreads = 16;

int32_t AddCount(int32_t a, int32_t b) {
    int64_t sum = int64_t(a) + int64_t(b);
    return sum > INT32_MAX ? INT32_MAX : int32_t(sum);
}

int64_t AddBytes(int64_t a, int64_t b) { return b > INT64_MAX - a ? INT64_MAX : a + b; }

void CloseFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

// Appends the PIDs of a children list (blank-separated) read from an open file; false when it
// cannot be read (the thread has ended).
bool ReadChildrenFrom(int fd, std::vector<int32_t>& out) {
    return !proc::ScanRecords(fd, ' ', proc::OpenRecords::Visit, [&out](std::string_view text) {
                int32_t child = 0;
                if (ParsePid(text, child)) out.push_back(child);
                return false;
            }).failed;
}

// smaps_rollup's anonymous figures in kB: proportional and whole, resident and swapped.
struct AnonShares {
    int64_t pssAnon{-1}, anonymous{-1}, swapPss{-1}, swap{-1};
    bool Complete() const { return pssAnon >= 0 && anonymous >= 0 && swapPss >= 0 && swap >= 0; }
    // No anonymous page of the process is mapped by another one.
    bool Private() const { return pssAnon == anonymous && swapPss == swap; }
};

// /proc/PID/smaps_rollup: "Key:   value kB" lines summed over every mapping. False when it cannot
// be read (another user's process, a kernel before 5.7 without Pss_Anon, a process gone).
bool ReadAnonShares(int dirFd, AnonShares& out) {
    const int fd = openat(dirFd, "smaps_rollup", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    AnonShares shares;
    proc::ScanRecords(fd, '\n', proc::OpenRecords::Skip, [&shares](std::string_view line) {
        size_t colon = line.find(':');
        if (colon == std::string_view::npos) return false;
        std::string_view key = line.substr(0, colon);
        int64_t* field = key == "Pss_Anon" ? &shares.pssAnon : key == "Anonymous" ? &shares.anonymous
                         : key == "SwapPss"  ? &shares.swapPss : key == "Swap"    ? &shares.swap : nullptr;
        if (field) *field = proc::KeyedNumber(line.substr(colon + 1));
        return shares.Complete();
    });
    close(fd);
    if (!shares.Complete()) return false;
    out = shares;
    return true;
}

// Everyone's children by parent PID, from the process table: each process's stat line is read
// once, when it is new to the table, and the names are left as first read.
class ParentTable {
public:
    void Refresh() {
        if (!table_.Refresh(0)) return;
        byParent_.clear();
        for (const auto& [pid, entry] : table_.Entries())
            if (entry.parentPid > 0) byParent_.emplace_back(entry.parentPid, pid);
        std::sort(byParent_.begin(), byParent_.end());
    }
    void AppendChildren(int32_t parent, std::vector<int32_t>& out) const {
        auto it = std::lower_bound(byParent_.begin(), byParent_.end(), std::make_pair(parent, INT32_MIN));
        for (; it != byParent_.end() && it->first == parent; ++it) out.push_back(it->second);
    }

private:
    ProcessTable table_{false};
    std::vector<std::pair<int32_t, int32_t>> byParent_;  // (parent, child), sorted
};

// The soft limit on open files raised to the hard one, once: a family of a thousand members holds
// four thousand files. Nothing here waits on descriptors with select().
void RaiseOpenFileLimit() {
    static const bool raised = [] {
        rlimit limit{};
        if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max) return false;
        limit.rlim_cur = limit.rlim_max;
        return setrlimit(RLIMIT_NOFILE, &limit) == 0;
    }();
    (void)raised;
}

}  // namespace

// One member and the files kept for it.
struct FamilyFiles {
    int32_t pid{};
    int32_t parentPid{};
    uint64_t startTime{};
    int dirFd{-1}, statFd{-1}, statusFd{-1};
    int childrenFd{-1};  // the main thread's children list
    DIR* tasks{};        // the thread folder, while it has more threads than one
    std::vector<std::pair<int32_t, int>> threadChildren;  // (TID, children list) of each thread
    proc::ThreadFiles thread;  // a live thread, once the leader has ended
    TaskInfo task;
    proc::StatusFields status;
    AnonShares shares;
    bool sharesRead{};        // shares hold a smaps_rollup reading
    uint64_t sharesTried{};   // the reading that last tried to read them; 0: never
    bool changed{};           // its task figures moved in this reading, or it is new
    bool forked{};            // a child of it is new in this reading
    uint64_t seen{};          // the reading that last found it in the family
    int64_t footprint{};

    FamilyFiles() = default;
    FamilyFiles(const FamilyFiles&) = delete;
    FamilyFiles& operator=(const FamilyFiles&) = delete;
    ~FamilyFiles() {
        for (int* fd : {&dirFd, &statFd, &statusFd, &childrenFd}) CloseFd(*fd);
        for (auto& [tid, fd] : threadChildren) CloseFd(fd);
        if (tasks) closedir(tasks);
        proc::CloseThread(thread);
    }
    bool Sharing() const { return sharesRead && !shares.Private(); }
};

struct ProcessFamily::State {
    std::unordered_map<int32_t, std::unique_ptr<FamilyFiles>> byPid;
    std::vector<FamilyFiles*> order;  // the last reading's members, the root first
    FamilyFiles* root{};
    // Members that left while the kernel was still tearing their memory down: until it is done,
    // the shares of the pages they mapped move to the others.
    std::vector<std::unique_ptr<FamilyFiles>> leaving;
    ParentTable parents;
    bool parentsRead{};        // in this reading
    bool childrenLists{true};  // the kernel keeps children lists
    uint64_t readings{};
    double lastSeconds{-1};    // the monotonic clock at the last reading
    double refreshDue{};       // members whose turn it is to be read afresh, in part
    size_t refreshNext{};      // the place in the order where the turns go on
};

namespace {

// A member's files; nothing when the process has gone.
std::unique_ptr<FamilyFiles> OpenMember(int32_t pid) {
    auto m = std::make_unique<FamilyFiles>();
    m->pid = pid;
    m->dirFd = OpenProcessDir(pid);
    if (m->dirFd < 0) return nullptr;
    m->statFd = openat(m->dirFd, "stat", O_RDONLY | O_CLOEXEC);
    if (m->statFd < 0) return nullptr;
    m->statusFd = openat(m->dirFd, "status", O_RDONLY | O_CLOEXEC);
    m->changed = true;
    return m;
}

// A member's task figures, and its status when they moved. False when it has ended.
bool ReadMember(FamilyFiles& m) {
    TaskInfo task;
    if (!proc::ReadProcessStat(m.dirFd, m.statFd, m.thread, task, &m.parentPid)) return false;
    if (m.startTime == 0) m.startTime = task.startTime;
    // Its anonymous memory, swap and page tables cannot move without a fault or a change of the
    // virtual or resident size.
    m.changed = m.changed || task.pageFaults != m.task.pageFaults || task.virtualBytes != m.task.virtualBytes ||
                task.residentBytes != m.task.residentBytes;
    m.task = task;
    if (m.changed && m.statusFd >= 0) proc::ReadProcessStatus(m.dirFd, m.statusFd, m.thread, m.status);
    return true;
}

// The children lists of a member with more than one thread: its thread folder is listed each
// reading (a thread may have ended and another begun), the lists of threads already known stay
// open. False when the folder cannot be read.
bool ReadEveryThreadsChildren(FamilyFiles& m, std::vector<int32_t>& out) {
    if (m.tasks) {
        rewinddir(m.tasks);
    } else {
        const int fd = openat(m.dirFd, "task", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0 || !(m.tasks = fdopendir(fd))) {
            if (fd >= 0) close(fd);
            return false;
        }
    }
    std::vector<std::pair<int32_t, int>> current;
    proc::VisitNumbered(m.tasks, [&](int32_t tid, const dirent&) {
        auto known = std::find_if(m.threadChildren.begin(), m.threadChildren.end(),
                                  [tid](const auto& kept) { return kept.first == tid; });
        if (known != m.threadChildren.end()) {
            current.emplace_back(tid, std::exchange(known->second, -1));
            return false;
        }
        char name[64];
        std::snprintf(name, sizeof name, "%d/children", int(tid));
        const int fd = openat(dirfd(m.tasks), name, O_RDONLY | O_CLOEXEC);
        if (fd >= 0) current.emplace_back(tid, fd);
        return false;
    });
    for (auto& [tid, fd] : m.threadChildren) CloseFd(fd);
    m.threadChildren = std::move(current);
    for (const auto& [tid, fd] : m.threadChildren) ReadChildrenFrom(fd, out);
    return true;
}

// A member's children from its threads' lists; false where they cannot tell (too many threads to
// read each one's list, or no lists at all).
bool ReadThreadsChildren(FamilyFiles& m, std::vector<int32_t>& out) {
    if (m.task.threadCount > FewThreads) return false;
    if (m.task.threadCount > 1) return ReadEveryThreadsChildren(m, out);
    if (m.childrenFd < 0) {
        char name[64];
        std::snprintf(name, sizeof name, "task/%d/children", int(m.pid));
        m.childrenFd = openat(m.dirFd, name, O_RDONLY | O_CLOEXEC);
    }
    return m.childrenFd >= 0 && ReadChildrenFrom(m.childrenFd, out);
}

}  // namespace

ProcessFamily::ProcessFamily() : state_(std::make_unique<State>()) {}
ProcessFamily::~ProcessFamily() = default;

void ProcessFamily::Clear() { *state_ = State{}; }

bool ProcessFamily::Following() const { return state_->root != nullptr; }

bool ProcessFamily::Follow(int32_t rootPid, uint64_t startTime) {
    Clear();
    RaiseOpenFileLimit();
    std::unique_ptr<FamilyFiles> root = OpenMember(rootPid);
    if (!root || !ReadMember(*root) || (startTime != 0 && root->startTime != startTime)) return false;
    // Without the kernel's children lists every member's children come from the process table.
    char name[64];
    std::snprintf(name, sizeof name, "task/%d/children", int(rootPid));
    state_->childrenLists = faccessat(root->dirFd, name, R_OK, 0) == 0;
    state_->root = root.get();
    state_->byPid[rootPid] = std::move(root);
    return true;
}

namespace {

// The member's children: from its threads' lists where they can tell, else from the process table,
// read once in a reading for every member that needs it.
void AppendChildren(ProcessFamily::State& s, FamilyFiles& m, std::vector<int32_t>& out) {
    if (s.childrenLists && ReadThreadsChildren(m, out)) return;
    if (!s.parentsRead) s.parents.Refresh();
    s.parentsRead = true;
    s.parents.AppendChildren(m.pid, out);
}

// Takes a member out of the family; one that shared pages and is still exiting is watched until
// its memory is gone.
void Leave(ProcessFamily::State& s, std::unordered_map<int32_t, std::unique_ptr<FamilyFiles>>::iterator member) {
    TaskInfo ignored;
    if (member->second->Sharing() && proc::ReadStatFrom(member->second->statFd, ignored) == proc::StatRead::Exiting)
        s.leaving.push_back(std::move(member->second));
    s.byPid.erase(member);
}

// The member with this PID in the family as parent's child, read for this reading; null when it
// has ended, is no child of parent (the table's figure was old) or was met already. `joined`: it is
// new to the family; `left`: a member of that PID has ended.
FamilyFiles* ReadChild(ProcessFamily::State& s, const FamilyFiles& parent, int32_t pid, bool& joined, bool& left) {
    auto known = s.byPid.find(pid);
    if (known != s.byPid.end()) {
        if (known->second->seen == s.readings) return nullptr;
        FamilyFiles* member = known->second.get();
        if (ReadMember(*member) && member->parentPid == parent.pid) return member;
        // Ended: its PID may have passed to a new process, which opens as one below.
        Leave(s, known);
        left = true;
    }
    std::unique_ptr<FamilyFiles> opened = OpenMember(pid);
    if (!opened || !ReadMember(*opened) || opened->parentPid != parent.pid) return nullptr;
    joined = true;
    FamilyFiles* member = opened.get();
    s.byPid[pid] = std::move(opened);
    return member;
}

// Its proportional share where it shares anonymous pages, else its status figures (the same then).
int64_t MemberFootprint(const FamilyFiles& m) {
    if (!m.Sharing()) return proc::StatusFootprint(m.status);
    const int64_t kilobytes = m.shares.pssAnon + m.shares.swapPss + std::max<int64_t>(m.status.vmPteKb, 0);
    return proc::ScaledBytes(uint64_t(kilobytes), 1024);
}

// How many members read their shares afresh in this reading, in turn, so that each does once in
// RefreshSeconds whatever the interval between readings.
size_t RefreshTurns(ProcessFamily::State& s) {
    const double seconds = double(MonotonicMs()) / 1000.0;
    if (s.lastSeconds >= 0)
        s.refreshDue += double(s.order.size()) * (seconds - s.lastSeconds) / ProcessFamily::RefreshSeconds;
    s.lastSeconds = seconds;
    const size_t turns = std::min(size_t(s.refreshDue), s.order.size());
    s.refreshDue = std::min(s.refreshDue - double(turns), 1.0);
    if (s.refreshNext >= s.order.size()) s.refreshNext = 0;
    return turns;
}

// Walks the family from the root, parents before children, into the order: members already known
// are read again, new ones opened, those no longer found let go. Whether the membership changed.
bool FindMembers(ProcessFamily::State& s) {
    s.order.assign(1, s.root);
    bool membership = false;
    std::vector<int32_t> children;
    for (size_t at = 0; at < s.order.size(); ++at) {
        children.clear();
        AppendChildren(s, *s.order[at], children);
        for (int32_t pid : children) {
            bool joined = false;
            FamilyFiles* child = ReadChild(s, *s.order[at], pid, joined, membership);
            if (!child) continue;
            child->seen = s.readings;
            s.order.push_back(child);
            s.order[at]->forked = s.order[at]->forked || joined;
            membership = membership || joined;
        }
    }
    for (auto it = s.byPid.begin(); it != s.byPid.end();) {
        auto next = std::next(it);
        if (it->second->seen != s.readings) Leave(s, it), membership = true;
        it = next;
    }
    return membership;
}

// The members' footprints, with the shares read afresh where they may have moved, and the sums.
FamilyReading SumMembers(ProcessFamily::State& s, bool membership) {
    // Shares move between the members that share pages whenever one of them or the family changes,
    // and while a member that left still lets go of its memory.
    bool sharesMoved = membership || !s.leaving.empty();
    std::erase_if(s.leaving, [](const auto& m) {
        TaskInfo ignored;
        return proc::ReadStatFrom(m->statFd, ignored) != proc::StatRead::Exiting;
    });
    for (const FamilyFiles* m : s.order) sharesMoved = sharesMoved || (m->changed && m->Sharing());
    FamilyReading reading;
    reading.task.startTime = s.root->task.startTime;
    reading.members = int32_t(s.order.size());
    const size_t turns = RefreshTurns(s);
    for (size_t i = 0; i < s.order.size(); ++i) {
        FamilyFiles& m = *s.order[i];
        const bool due = m.sharesTried == 0 || m.forked || (sharesMoved && m.Sharing()) ||
                         (i + s.order.size() - s.refreshNext) % s.order.size() < turns;
        if (due) {
            m.sharesRead = ReadAnonShares(m.dirFd, m.shares);
            m.sharesTried = s.readings;
        }
        m.footprint = MemberFootprint(m);
        if (m.footprint > 0) reading.footprintBytes = AddBytes(reading.footprintBytes, m.footprint);
        TaskInfo& sum = reading.task;
        sum.virtualBytes = AddBytes(sum.virtualBytes, m.task.virtualBytes);
        sum.residentBytes = AddBytes(sum.residentBytes, m.task.residentBytes);
        sum.pageFaults = AddCount(sum.pageFaults, m.task.pageFaults);
        sum.pageIns = AddCount(sum.pageIns, m.task.pageIns);
        sum.cowFaults = AddCount(sum.cowFaults, m.task.cowFaults);
        sum.threadCount = AddCount(sum.threadCount, m.task.threadCount);
    }
    s.refreshNext = (s.refreshNext + turns) % s.order.size();
    return reading;
}

}  // namespace

bool ProcessFamily::Read(FamilyReading& out) {
    State& s = *state_;
    if (!s.root) return false;
    ++s.readings;
    s.parentsRead = false;
    for (auto& [pid, member] : s.byPid) member->changed = member->forked = false;
    if (!ReadMember(*s.root)) return false;
    s.root->seen = s.readings;
    out = SumMembers(s, FindMembers(s));
    return true;
}

std::vector<FamilyMember> ProcessFamily::Members(const std::function<bool(const FamilyMember&)>& named) const {
    std::vector<FamilyMember> members;
    members.reserve(state_->order.size());
    for (const FamilyFiles* m : state_->order) {
        FamilyMember& member = members.emplace_back(FamilyMember{m->pid, m->parentPid, m->startTime, m->footprint, {}});
        if (named && !named(member)) continue;
        ProcessDescription description;
        DescribeProcessAt(m->dirFd, m->pid, description);
        member.name = std::move(description.name);
    }
    return members;
}
