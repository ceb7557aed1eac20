#include "app/cli/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "app/cli/cli_text.h"
#include "platform/process_family.h"
#include "runtime/date.h"

namespace {

// Waits until the child is reaped or the time is up; true when reaped. A stop signal from the
// user is reported in interrupted.
bool WaitForChild(ChildProcess& child, int signalFd, int64_t untilMs, bool& interrupted) {
    while (!ReapChild(child)) {
        int64_t left = untilMs - MonotonicMs();
        if (left <= 0 || interrupted) return false;
        if (signalFd < 0) {
            // Without a signalfd, look again every 50 ms; only the short grace period runs so.
            timespec pause{0, 50 * 1000000};
            nanosleep(&pause, nullptr);
            continue;
        }
        pollfd p{signalFd, POLLIN, 0};
        if (poll(&p, 1, int(left)) <= 0) continue;
        signalfd_siginfo info{};
        while (read(signalFd, &info, sizeof info) == ssize_t(sizeof info))
            if (info.ssi_signo != SIGCHLD) interrupted = true;
    }
    return true;
}

// In the started child, before exec: it dies with the recorder (SIGKILL when the recorder ends,
// however it ends, even by SIGKILL), gets back the signals the recorder blocks or ignores, and
// writes to standard error what standard output would get. Only async-signal-safe calls here.
// envp (or null: the recorder's environment) replaces the environment; inheritedFd (or -1) loses
// its close-on-exec flag, so the command gets it under the same number.
[[noreturn]] void ExecChild(char* const* argv, char* const* envp, int inheritedFd, pid_t recorder,
                            int reportFd) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The recorder may have died before the line above: then nothing would ever end the command.
    if (getppid() != recorder) _exit(127);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGCHLD, SIGPIPE}) ::signal(signal, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    const int flags = inheritedFd >= 0 ? fcntl(inheritedFd, F_GETFD) : 0;
    if (flags >= 0 && (inheritedFd < 0 || fcntl(inheritedFd, F_SETFD, flags & ~FD_CLOEXEC) == 0) &&
        dup2(STDERR_FILENO, STDOUT_FILENO) >= 0)
        execvpe(argv[0], argv, envp ? envp : environ);
    const int error = errno;
    ssize_t written = write(reportFd, &error, sizeof error);
    (void)written;
    _exit(127);
}

}  // namespace

bool StartChild(const std::vector<std::string>& command, ChildProcess& child, std::string& error,
                const ChildSetup& setup) {
    std::vector<char*> argv, envp;
    for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    if (setup.environment) {
        for (const std::string& entry : *setup.environment) envp.push_back(const_cast<char*>(entry.c_str()));
        envp.push_back(nullptr);
    }
    // The child tells why exec failed through a pipe that a successful exec closes.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        error = std::strerror(errno);
        return false;
    }
    const pid_t recorder = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        close(report[0]);
        ExecChild(argv.data(), setup.environment ? envp.data() : nullptr, setup.inheritedFd, recorder,
                  report[1]);
    }
    const int forkError = errno;
    close(report[1]);
    int execError = 0;
    ssize_t got;
    do got = read(report[0], &execError, sizeof execError);
    while (got < 0 && errno == EINTR);
    close(report[0]);
    if (pid < 0 || got == ssize_t(sizeof execError)) {
        if (pid > 0) waitpid(pid, nullptr, 0);
        error = std::strerror(pid < 0 ? forkError : execError);
        return false;
    }
    child = ChildProcess{pid};
    return true;
}

std::string ResolveCommandPath(const std::string& name) {
    if (name.empty() || name.find('/') != std::string::npos) return name;
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
    for (size_t at = 0; at <= folders.size();) {
        size_t end = std::min(folders.find(':', at), folders.size());
        std::string folder = folders.substr(at, end - at);
        std::string file = (folder.empty() ? std::string(".") : folder) + "/" + name;
        struct stat status{};
        if (stat(file.c_str(), &status) == 0 && S_ISREG(status.st_mode) && access(file.c_str(), X_OK) == 0)
            return file;
        at = end + 1;
    }
    return std::string();
}

bool ReapChild(ChildProcess& child) {
    if (child.pid <= 0 || child.reaped) return true;
    int status = 0;
    pid_t result;
    do result = waitpid(child.pid, &status, WNOHANG);
    while (result < 0 && errno == EINTR);
    if (result == 0) return false;
    child.reaped = true;
    child.waitStatus = result == child.pid ? status : 0;
    return true;
}

void EndChild(ChildProcess& child, int signalFd) {
    if (ReapChild(child)) return;
    child.endedByUs = true;
    // What the command started ends with it: a shell's background jobs would outlive the recording
    // and hold open the pipes a CI job waits on. Held before the command ends, which hands them on.
    const HeldDescendants descendants(child.pid);
    descendants.Signal(SIGTERM);
    kill(child.pid, SIGTERM);
    bool interrupted = false;
    const int64_t graceEnd = MonotonicMs() + ChildGraceMs;
    const bool ended = WaitForChild(child, signalFd, graceEnd, interrupted);
    if (interrupted || !descendants.WaitUntilEnded(graceEnd)) descendants.Signal(SIGKILL);
    if (ended) return;
    kill(child.pid, SIGKILL);
    int status = 0;
    pid_t result;
    do result = waitpid(child.pid, &status, 0);
    while (result < 0 && errno == EINTR);
    child.reaped = true;
    child.waitStatus = status;
}

std::string ChildEndText(const ChildProcess& child) {
    if (!child.reaped || child.endedByUs) return std::string();
    if (WIFEXITED(child.waitStatus)) {
        int code = WEXITSTATUS(child.waitStatus);
        return code == 0 ? std::string() : FilledText(TextId::CommandExitedPrefix) + std::to_string(code);
    }
    if (WIFSIGNALED(child.waitStatus)) {
        int signal = WTERMSIG(child.waitStatus);
        return FilledText(TextId::CommandSignalPrefix) + std::to_string(signal) + " (" + strsignal(signal) + ")";
    }
    return std::string();
}
