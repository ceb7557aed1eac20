// The command a recording starts: started with the recorder's signals back at their defaults,
// ended with SIGTERM and, after a grace period, SIGKILL, and always reaped.
#pragma once

#include <signal.h>
#include <sys/types.h>

#include <string>
#include <vector>

struct ChildProcess {
    pid_t pid{-1};
    bool reaped{};
    int waitStatus{};    // as waitpid gave it, once reaped
    bool endedByUs{};    // the recorder sent the signal that ended it
};

// What the command gets in place of the recorder's own: its environment (NAME=value entries;
// none: the recorder's), and a descriptor it inherits under the same number (-1: none).
struct ChildSetup {
    const std::vector<std::string>* environment{};
    int inheritedFd{-1};
};

// Starts the command, searched in PATH as a shell would, with its standard output on the
// recorder's standard error. The command gets SIGKILL when the recorder dies, even by SIGKILL.
// False with the system's reason in error when it cannot be started.
bool StartChild(const std::vector<std::string>& command, ChildProcess& child, std::string& error,
                const ChildSetup& setup = {});

// The file that StartChild would execute for this program name: the name itself when it holds a
// slash, else the first executable file of that name in PATH; "" when there is none.
std::string ResolveCommandPath(const std::string& name);

// Reaps the child if it has ended; true once it is reaped.
bool ReapChild(ChildProcess& child);

// The grace period between SIGTERM and SIGKILL.
inline constexpr int ChildGraceMs = 5000;

// Sends SIGTERM, waits up to the grace period for the child to end, then sends SIGKILL and waits
// for it. signalFd (or -1) is a signalfd that reports SIGCHLD, so the wait is not a busy one; a
// SIGINT, SIGTERM or SIGHUP read from it during the wait cuts the grace short.
void EndChild(ChildProcess& child, int signalFd);

// What to tell about a reaped child that did not end well by itself, in the loaded language:
// "the command exited with status 3", "the command was ended by signal 9 (Killed)"; empty for
// status 0 and for an end the recorder caused.
std::string ChildEndText(const ChildProcess& child);
