#include "app/cli/child_process.h"

#include <poll.h>
#include <spawn.h>
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
#include "runtime/date.h"

extern char** environ;

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
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // The recorder blocks the signals it waits for; the command gets them back as usual.
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGCHLD, SIGPIPE}) sigaddset(&defaults, signal);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    // Standard output holds only the recorder's result; the command's output goes to standard error.
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_adddup2(&files, STDERR_FILENO, STDOUT_FILENO);
    // A descriptor duplicated onto itself loses its close-on-exec flag in the child only.
    if (setup.inheritedFd >= 0) posix_spawn_file_actions_adddup2(&files, setup.inheritedFd, setup.inheritedFd);
    pid_t pid = -1;
    int result = posix_spawnp(&pid, argv[0], &files, &attributes, argv.data(),
                              setup.environment ? envp.data() : environ);
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attributes);
    if (result != 0) {
        error = std::strerror(result);
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
    kill(child.pid, SIGTERM);
    bool interrupted = false;
    if (WaitForChild(child, signalFd, MonotonicMs() + ChildGraceMs, interrupted)) return;
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
        return code == 0 ? std::string() : CliText(TextId::CommandExitedPrefix) + std::to_string(code);
    }
    if (WIFSIGNALED(child.waitStatus)) {
        int signal = WTERMSIG(child.waitStatus);
        return CliText(TextId::CommandSignalPrefix) + std::to_string(signal) + " (" + strsignal(signal) + ")";
    }
    return std::string();
}
