// Running the real quolk binary and the test allocator as child processes of a test, with their
// output in files, and looking at processes afterwards.
#pragma once

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "scratch_dir.h"

extern char** environ;

namespace record_test {

inline const std::string Quolk = QUOLK_BINARY_DIR "/quolk";
inline const std::string Allocator = QUOLK_TEST_ALLOCATOR;

struct Outcome {
    int status{-1};  // exit status, or -1 when ended by a signal
    std::string out, err;
};

inline constexpr int ClosedOutput = -2;  // StartQuolk's outputFd for a closed standard output

// Starts quolk with the arguments, its standard output and error in files of dir (or its standard
// error on the descriptor errorFd, its standard output on outputFd), English texts.
inline pid_t StartQuolk(const ScratchDir& dir, const std::vector<std::string>& args, int errorFd = -1,
                        int outputFd = -1) {
    std::vector<std::string> words{"env", "-u", "LANGUAGE", "-u", "LANG", "-u", "LC_MESSAGES", "LC_ALL=C.UTF-8", Quolk};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    if (outputFd == ClosedOutput) posix_spawn_file_actions_addclose(&files, 1);
    else if (outputFd >= 0) posix_spawn_file_actions_adddup2(&files, outputFd, 1);
    else posix_spawn_file_actions_addopen(&files, 1, dir.File("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (errorFd >= 0) posix_spawn_file_actions_adddup2(&files, errorFd, 2);
    else posix_spawn_file_actions_addopen(&files, 2, dir.File("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    posix_spawnp(&pid, "env", &files, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    return pid;
}

inline Outcome Wait(const ScratchDir& dir, pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, dir.Read("out"), dir.Read("err")};
}

inline Outcome RunQuolk(const ScratchDir& dir, const std::vector<std::string>& args) {
    return Wait(dir, StartQuolk(dir, args));
}

// Lines of a text, without their line feeds.
inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Whether a process with this PID exists at all, a zombie included.
inline bool Exists(pid_t pid) { return kill(pid, 0) == 0 || errno != ESRCH; }

// Orphans of the processes this test starts come to the test rather than to init, so that a
// zombie left behind stays visible.
inline void AdoptOrphans() { prctl(PR_SET_CHILD_SUBREAPER, 1); }

inline void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace record_test
