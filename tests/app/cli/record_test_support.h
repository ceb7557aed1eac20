// Running the real quolk binary, the test allocator and other programs as children of a test, with
// their output in files, and looking at processes afterwards.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
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

inline constexpr int ClosedOutput = -2;  // a stream's descriptor: closed

// Starts the words (searched in PATH) with their standard output and error each in the file of
// that name in dir, or on the test's descriptor given (or closed); an empty name and no
// descriptor leave the test's own.
inline pid_t Spawn(const ScratchDir& dir, std::vector<std::string> words, const std::string& outName,
                   const std::string& errName = "", int outFd = -1, int errFd = -1) {
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    for (const auto& [target, name, fd] : {std::tuple(1, outName, outFd), std::tuple(2, errName, errFd)}) {
        if (fd == ClosedOutput) posix_spawn_file_actions_addclose(&files, target);
        else if (fd >= 0) posix_spawn_file_actions_adddup2(&files, fd, target);
        else if (!name.empty())
            posix_spawn_file_actions_addopen(&files, target, dir.File(name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    }
    pid_t pid = -1;
    posix_spawnp(&pid, argv[0], &files, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    return pid;
}

// quolk with the arguments and English texts, its output in the files "out" and "err" of dir
// (or on the descriptors given).
inline pid_t StartQuolk(const ScratchDir& dir, const std::vector<std::string>& args, int errorFd = -1,
                        int outputFd = -1) {
    std::vector<std::string> words{"env", "-u", "LANGUAGE", "-u", "LANG", "-u", "LC_MESSAGES", "LC_ALL=C.UTF-8", Quolk};
    words.insert(words.end(), args.begin(), args.end());
    return Spawn(dir, words, "out", "err", outputFd, errorFd);
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

// The Qt and X libraries that a loader trace or a maps file names.
inline std::set<std::string> QtAndXLibraries(const std::string& text) {
    std::set<std::string> found;
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        const std::string name = word.substr(word.find_last_of("/=") + 1);
        if (name.starts_with("libQt6") || name.starts_with("libX") || name.starts_with("libxcb")) found.insert(name);
    }
    return found;
}

// The libraries a running process has mapped.
inline std::string Maps(pid_t pid) { return ReadBytes("/proc/" + std::to_string(pid) + "/maps"); }

}  // namespace record_test
