// Test helpers: a fake process root in a temporary directory for the process-information readers,
// and real child processes that the tests can steer with pipes.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/process_info.h"

// A process root of plain files and directories; the readers use it while the fixture lives.
class ProcFixture {
public:
    ProcFixture() {
        std::string pattern = (std::filesystem::temp_directory_path() / "quolk-proc-XXXXXX").string();
        if (mkdtemp(pattern.data())) root_ = pattern;
        SetProcRoot(root_.c_str());
    }
    ~ProcFixture() {
        SetProcRoot(nullptr);
        std::error_code ignored;
        if (!root_.empty()) std::filesystem::remove_all(root_, ignored);
    }
    ProcFixture(const ProcFixture&) = delete;
    ProcFixture& operator=(const ProcFixture&) = delete;

    const std::string& Root() const { return root_; }
    std::string DirOf(std::string_view entry) const { return root_ + "/" + std::string(entry); }
    void AddDir(std::string_view entry) const { std::filesystem::create_directories(DirOf(entry)); }
    void AddFile(int32_t pid, std::string_view name, std::string_view content) const {
        std::string dir = DirOf(std::to_string(pid));
        std::filesystem::create_directories(dir);
        std::ofstream(dir + "/" + std::string(name), std::ios::binary) << content;
    }
    void AddLink(int32_t pid, std::string_view name, std::string_view target) const {
        std::string dir = DirOf(std::to_string(pid));
        std::filesystem::create_directories(dir);
        std::filesystem::create_symlink(std::string(target), dir + "/" + std::string(name));
    }

private:
    std::string root_;
};

// A stat line whose field n (numbered from 1, as the kernel documents them) holds 1000 + n unless
// overridden, so that a reader taking a neighbouring field gets a telling value.
inline std::string StatLine(int32_t pid, std::string_view comm, std::string_view state,
                            std::initializer_list<std::pair<int, std::string>> overrides = {}) {
    std::string line = std::to_string(pid) + " (" + std::string(comm) + ") " + std::string(state);
    for (int field = 4; field <= 52; ++field) {
        std::string value = std::to_string(1000 + field);
        for (const auto& [number, text] : overrides)
            if (number == field) value = text;
        line += " " + value;
    }
    return line + "\n";
}

// A forked child running body(fromParent, toChild's reply end); killed and reaped when it goes
// out of scope unless the test reaped it.
class ChildProcess {
public:
    template <typename Body>
    explicit ChildProcess(Body body) {
        int down[2], up[2];
        if (pipe2(down, O_CLOEXEC) != 0 || pipe2(up, O_CLOEXEC) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            close(down[1]);
            close(up[0]);
            body(down[0], up[1]);
            _exit(0);
        }
        close(down[0]);
        close(up[1]);
        toChild_ = down[1];
        fromChild_ = up[0];
    }
    ~ChildProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            Reap();
        }
        if (toChild_ >= 0) close(toChild_);
        if (fromChild_ >= 0) close(fromChild_);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t Pid() const { return pid_; }
    bool Send() const { return write(toChild_, "x", 1) == 1; }
    bool Receive() const {
        char byte;
        return read(fromChild_, &byte, 1) == 1;
    }
    // Blocks until the child has exited, leaving it a zombie.
    bool WaitUntilExited() const {
        siginfo_t info{};
        return waitid(P_PID, id_t(pid_), &info, WEXITED | WNOWAIT) == 0;
    }
    void Reap() {
        if (pid_ > 0) waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

    // Child side: one byte each way.
    static bool Tell(int fd) { return write(fd, "x", 1) == 1; }
    static bool Await(int fd) {
        char byte;
        return read(fd, &byte, 1) == 1;
    }

private:
    pid_t pid_ = -1;
    int toChild_ = -1;
    int fromChild_ = -1;
};

// A shell started with exactly this environment, waiting on its input; killed and reaped when it
// goes out of scope. The constructor returns once the shell runs (it has written a line), so the
// new program's environment is in place.
class WaitingShell {
public:
    explicit WaitingShell(std::vector<std::string> environment) {
        std::vector<char*> env;
        for (std::string& entry : environment) env.push_back(entry.data());
        env.push_back(nullptr);
        int input[2], output[2];
        if (pipe2(input, O_CLOEXEC) != 0 || pipe2(output, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, input[0], 0);
        posix_spawn_file_actions_adddup2(&actions, output[1], 1);
        char program[] = "/bin/sh", option[] = "-c", script[] = "echo ready; read line";
        char* argv[] = {program, option, script, nullptr};
        if (posix_spawn(&pid_, program, &actions, nullptr, argv, env.data()) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(input[0]);
        close(output[1]);
        input_ = input[1];
        char byte;
        if (pid_ > 0 && read(output[0], &byte, 1) != 1) pid_ = -1;
        close(output[0]);
    }
    ~WaitingShell() {
        if (input_ >= 0) close(input_);
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    WaitingShell(const WaitingShell&) = delete;
    WaitingShell& operator=(const WaitingShell&) = delete;
    pid_t Pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int input_ = -1;
};
