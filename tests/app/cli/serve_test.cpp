// `quolk --serve` as a user runs it: where it cannot listen, what a scrape holds (read by
// Prometheus's own checker), a process that ends leaving no series behind, SIGTERM and SIGINT
// ending it cleanly, and no Qt or X library mapped.
#include <netinet/in.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "app/cli/command_line.h"
#include "record_test_support.h"

namespace record_test {
namespace {

// A loopback socket bound to a port the system chose, listening or not; its port.
int BoundSocket(int& fd, bool listening) {
    fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), length);
    if (listening) listen(fd, 1);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

// A shell command's exit status and standard output.
std::pair<int, std::string> Shell(const std::string& command) {
    std::FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

// The body of an HTTP GET; empty when the server does not answer.
std::string Fetch(const std::string& url) { return Shell("curl -sf --max-time 5 '" + url + "'").second; }

// The value of the series of `family` whose labels hold `labels`; empty when there is none.
std::string Value(const std::string& scrape, const std::string& family, const std::string& labels) {
    for (const std::string& line : Lines(scrape))
        if ((line.starts_with(family + "{") || line.starts_with(family + " ")) && line.find(labels) != std::string::npos)
            return line.substr(line.rfind(' ') + 1);
    return "";
}

TEST(Serve, WhereItCannotListenItSaysWhyWithStatus2) {
    ScratchDir dir;
    int taken = -1;
    const std::string listen = "127.0.0.1:" + std::to_string(BoundSocket(taken, true));
    const Outcome outcome = RunQuolk(dir, {"--serve", "--pid", "1", "--listen", listen});
    EXPECT_EQ(outcome.status, ExitLoadError);
    EXPECT_EQ(outcome.err, "quolk: cannot listen on " + listen + ": Address already in use\n");
    close(taken);
}

TEST(Serve, ScrapesHoldEachMatchingProcessUntilItEnds) {
    ScratchDir dir;
    // A copy of the allocator under a name no other process on the machine has.
    const std::string name = "qa" + std::to_string(getpid()), program = dir.File(name);
    std::filesystem::copy_file(Allocator, program);
    std::filesystem::permissions(program, std::filesystem::perms::owner_exec, std::filesystem::perm_options::add);
    const pid_t small = Spawn(dir, {program, "hold", "8"}, "small"), large = Spawn(dir, {program, "hold", "40"}, "large");
    int unused = -1;
    const int port = BoundSocket(unused, false);
    close(unused);
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/metrics";
    const std::string smallLabels = "name=\"" + name + "\",pid=\"" + std::to_string(small) + "\"";
    const std::string largeLabels = "name=\"" + name + "\",pid=\"" + std::to_string(large) + "\"";
    for (int stop : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(stop);
        const pid_t server = StartQuolk(dir, {"--serve", "--listen", "127.0.0.1:" + std::to_string(port), "--match", name, "--interval", "100"});
        std::string scrape;
        double smallBytes = 0, largeBytes = 0;
        // Until both are watched and have touched their memory.
        for (int tries = 0; tries < 100 && (smallBytes < 8 << 20 || largeBytes < 40 << 20); ++tries) {
            Pause(50);
            scrape = Fetch(url);
            smallBytes = std::atof(Value(scrape, "quolk_process_footprint_bytes", smallLabels).c_str());
            largeBytes = std::atof(Value(scrape, "quolk_process_footprint_bytes", largeLabels).c_str());
        }
        EXPECT_EQ(dir.Read("err"), "quolk: serving metrics for Prometheus at " + url + "\n");
        EXPECT_EQ(Value(scrape, "quolk_watched_processes", ""), "2");
        EXPECT_GE(smallBytes, 8 << 20) << scrape;
        EXPECT_GE(largeBytes - smallBytes, 30 << 20) << scrape;
        EXPECT_EQ(Value(scrape, "quolk_process_leak_test", smallLabels + ",state=\"inconclusive\""), "1");
        EXPECT_EQ(Value(scrape, "quolk_process_leak_test", smallLabels + ",state=\"leak\""), "0");
        EXPECT_EQ(Value(scrape, "quolk_process_threads", largeLabels), "1");
        EXPECT_NE(Value(scrape, "quolk_build_info", "version="), "");
        EXPECT_EQ(QtAndXLibraries(Maps(server)), std::set<std::string>());
        if (stop == SIGTERM) {
            // Prometheus's checker reads the scrape, and the alerting rules that go with it.
            const auto [checked, complaints] = Shell("promtool check metrics 2>&1 <<'EOF' && promtool check rules " QUOLK_SOURCE_DIR
                                                     "/data/prometheus/quolk.rules.yml 2>&1\n" + scrape + "EOF\n");
            EXPECT_EQ(checked, 0) << complaints;
            // The next scrape after a process ends has none of its series.
            kill(small, SIGKILL);
            waitpid(small, nullptr, 0);
            for (int tries = 0; tries < 100 && Value(scrape, "quolk_watched_processes", "") != "1"; ++tries, Pause(50))
                scrape = Fetch(url);
            EXPECT_EQ(scrape.find("pid=\"" + std::to_string(small) + "\""), std::string::npos) << scrape;
            EXPECT_NE(scrape.find(largeLabels), std::string::npos) << scrape;
        }
        kill(server, stop);
        EXPECT_EQ(Wait(dir, server).status, 0);
        EXPECT_EQ(Fetch(url), "") << "still serving";
    }
    kill(large, SIGKILL);
    waitpid(large, nullptr, 0);
}

}  // namespace
}  // namespace record_test
