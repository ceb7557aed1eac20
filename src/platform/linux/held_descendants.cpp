#include "platform/process_family.h"

#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "runtime/date.h"

HeldDescendants::HeldDescendants(int32_t rootPid) {
    // A fixture root's PIDs name no real processes: a pidfd opened by one could reach a stranger.
    if (std::strcmp(ProcRoot(), "/proc") != 0) return;
    ProcessFamily family;
    FamilyReading reading;
    if (!family.Follow(rootPid, 0) || !family.Read(reading)) return;
    for (const FamilyMember& member : family.Members([](const FamilyMember&) { return false; })) {
        if (member.pid == rootPid) continue;
        const int pidFd = int(syscall(SYS_pidfd_open, member.pid, 0));
        if (pidFd < 0) continue;
        // Opened after the reading: the same start time proves the PID still names that member.
        if (ProcessStartTime(member.pid) == member.startTime)
            pidFds_.push_back(pidFd);
        else
            close(pidFd);
    }
}

HeldDescendants::~HeldDescendants() {
    for (int pidFd : pidFds_) close(pidFd);
}

void HeldDescendants::Signal(int signal) const {
    // One that has ended meanwhile answers ESRCH, and nothing else can receive it.
    for (int pidFd : pidFds_) syscall(SYS_pidfd_send_signal, pidFd, signal, nullptr, 0);
}

bool HeldDescendants::WaitUntilEnded(int64_t untilMs) const {
    for (int pidFd : pidFds_) {
        for (;;) {  // a pidfd turns readable when its process has ended
            const int64_t left = untilMs - MonotonicMs();
            if (left <= 0) return false;
            pollfd ended{pidFd, POLLIN, 0};
            const int ready = poll(&ended, 1, int(left));
            if (ready > 0 || (ready < 0 && errno != EINTR)) break;
        }
    }
    return true;
}
