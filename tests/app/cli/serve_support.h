// Running `quolk --serve` from a test: a free port, the server started on it, its metrics fetched.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdio>
#include <string>

#include "record_test_support.h"

namespace record_test {

// A port that was free a moment ago, on the loopback address.
inline int FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), length);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

// A shell command's exit status and standard output.
inline std::pair<int, std::string> Shell(const std::string& command) {
    std::FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

// The body of an HTTP GET; empty when the server does not answer.
inline std::string Fetch(const std::string& url) { return Shell("curl -sf --max-time 5 '" + url + "'").second; }

// `quolk --serve` with the arguments on a free port of the loopback address, once it serves
// (its line on standard error); its PID, or -1 when it did not start serving.
inline pid_t StartServing(const ScratchDir& dir, int port, std::vector<std::string> args) {
    args.insert(args.begin(), {"--serve", "--listen", "127.0.0.1:" + std::to_string(port)});
    const pid_t pid = StartQuolk(dir, args);
    for (int tries = 0; tries < 250 && dir.Read("err").find("serving") == std::string::npos; ++tries) Pause(20);
    return dir.Read("err").find("serving") == std::string::npos ? -1 : pid;
}

// A copy of the test allocator under a name that no other process on the machine has, which
// tests running beside this one cannot start too.
inline std::string OwnAllocator(const ScratchDir& dir) {
    const std::string path = dir.File("qa" + std::to_string(getpid()));
    Shell("cp '" + Allocator + "' '" + path + "'");
    return path;
}

// Starts the program (an allocator) with the arguments, its output in the file `name` of dir; its
// PID, once it has begun.
inline pid_t StartAllocator(const ScratchDir& dir, const std::string& program, const std::string& name,
                            const std::vector<std::string>& args) {
    std::vector<std::string> words{program};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, dir.File(name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    posix_spawn(&pid, program.c_str(), &files, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    for (int tries = 0; tries < 250 && dir.Read(name).empty(); ++tries) Pause(20);
    return pid;
}

inline void EndChild(pid_t pid) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

}  // namespace record_test
