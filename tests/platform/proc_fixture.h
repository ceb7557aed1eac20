// Test helpers: a fake process root for the process-information readers, and real child processes.
#pragma once

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "platform/process_info.h"
#include "scratch_dir.h"

// A process root of plain files in a temporary directory; the readers use it while it lives.
class ProcFixture {
public:
    ProcFixture() { SetProcRoot(root_.path.c_str()); }
    ~ProcFixture() { SetProcRoot(nullptr); }
    // Creates the process's directory and in it `name` (a path such as "task/12/stat" too) holding
    // content, or linking to it.
    void Add(int32_t pid, const std::string& name, const std::string& content = "", bool link = false) const {
        const std::filesystem::path path = root_.File(std::to_string(pid)) + "/" + name;
        std::filesystem::create_directories(path.parent_path());
        if (link) std::filesystem::create_symlink(content, path);
        else if (!name.empty()) std::ofstream(path) << content;
    }

private:
    ScratchDir root_;
};

// A stat line whose field n (numbered from 1, as the kernel documents them) holds 1000 + n unless
// overridden, so that a reader taking a neighbouring field gets a telling value.
inline std::string StatLine(int32_t pid, const std::string& comm, const std::string& state,
                            const std::map<int, std::string>& overrides = {}) {
    std::string line = std::to_string(pid) + " (" + comm + ") " + state;
    for (int field = 4; field <= 52; ++field)
        line += " " + (overrides.count(field) ? overrides.at(field) : std::to_string(1000 + field));
    return line + "\n";
}

// A forked child running body(), which stops itself with Pause() wherever the parent is to look;
// killed and reaped at the end of its scope unless the test reaped it.
class ChildProcess {
public:
    template <typename Body>
    explicit ChildProcess(Body body) : pid_(fork()) {
        if (pid_ == 0) body(), _exit(0);
    }
    ~ChildProcess() {  // the checks on pid_ matter: kill(-1) would reach every process
        if (pid_ > 0) kill(pid_, SIGKILL), Reap();
    }
    pid_t Pid() const { return pid_; }
    static void Pause() { raise(SIGSTOP); }
    // Blocks until the child has paused, or (with WEXITED | WNOWAIT) exited and become a zombie.
    bool WaitUntil(int state = WSTOPPED) const {
        siginfo_t info{};
        return waitid(P_PID, id_t(pid_), &info, state) == 0;
    }
    void Resume() const { if (pid_ > 0) kill(pid_, SIGCONT); }
    void Reap() { if (pid_ > 0) waitpid(pid_, nullptr, 0), pid_ = -1; }

private:
    pid_t pid_ = -1;
};

// Forks an idle child that ends with its parent, however that ends; its PID.
inline pid_t ForkIdleChild() {
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(0);
        for (;;) pause();
    }
    return child;
}
