// `quolk --serve` as a user runs it: where it cannot listen, what a scrape holds, a process that
// ends leaving no series behind, and SIGTERM and SIGINT ending it cleanly.
#include <gtest/gtest.h>

#include "app/cli/command_line.h"
#include "serve_support.h"

namespace record_test {
namespace {

TEST(Serve, WhereItCannotListenItSaysWhyWithStatus2) {
    ScratchDir dir;
    // A port taken by a listener of the test's own.
    const int taken = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(taken, reinterpret_cast<sockaddr*>(&address), length), 0);
    listen(taken, 1);
    getsockname(taken, reinterpret_cast<sockaddr*>(&address), &length);
    const std::string port = std::to_string(ntohs(address.sin_port));
    const std::pair<std::string, std::string> cases[] = {
        {"127.0.0.1:" + port, "quolk: cannot listen on 127.0.0.1:" + port + ": Address already in use\n"},
        // TEST-NET-1: an address no machine of ours has.
        {"192.0.2.1:" + port, "quolk: cannot listen on 192.0.2.1:" + port + ": Cannot assign requested address\n"},
    };
    for (const auto& [listen, message] : cases) {
        const Outcome outcome = RunQuolk(dir, {"--serve", "--pid", "1", "--listen", listen});
        EXPECT_EQ(outcome.status, ExitLoadError) << listen;
        EXPECT_EQ(outcome.err, message);
    }
    close(taken);
    const Outcome usage = RunQuolk(dir, {"--serve", "--pid", "1", "--listen", "localhost"});
    EXPECT_EQ(usage.status, ExitUsageError);
    EXPECT_EQ(Lines(usage.err).size(), 1u) << usage.err;
}

// The value of the series of `family` whose labels hold `labels`; empty when there is none.
std::string Value(const std::string& scrape, const std::string& family, const std::string& labels) {
    for (const std::string& line : Lines(scrape))
        if ((line.starts_with(family + "{") || line.starts_with(family + " ")) && line.find(labels) != std::string::npos)
            return line.substr(line.rfind(' ') + 1);
    return "";
}

TEST(Serve, ScrapesHoldEachMatchingProcessUntilItEnds) {
    ScratchDir dir;
    const std::string program = OwnAllocator(dir);
    const std::string name = program.substr(program.rfind('/') + 1);
    const pid_t small = StartAllocator(dir, program, "small", {"hold", "8"});
    const pid_t large = StartAllocator(dir, program, "large", {"hold", "40"});
    const int port = FreePort();
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/metrics";
    for (int stop : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(stop);
        const pid_t server = StartServing(dir, port, {"--match", name, "--interval", "100"});
        ASSERT_GT(server, 0) << dir.Read("err");
        const std::string smallLabels = "name=\"" + name + "\",pid=\"" + std::to_string(small) + "\"";
        const std::string largeLabels = "name=\"" + name + "\",pid=\"" + std::to_string(large) + "\"";
        std::string scrape;
        double smallBytes = 0, largeBytes = 0;
        // Until both are watched and have touched their memory.
        for (int tries = 0; tries < 100 && (smallBytes < 8 << 20 || largeBytes < 40 << 20); ++tries) {
            Pause(50);
            scrape = Fetch(url);
            smallBytes = std::atof(Value(scrape, "quolk_process_footprint_bytes", smallLabels).c_str());
            largeBytes = std::atof(Value(scrape, "quolk_process_footprint_bytes", largeLabels).c_str());
        }
        EXPECT_EQ(Value(scrape, "quolk_watched_processes", ""), "2");
        EXPECT_GE(smallBytes, 8 << 20) << scrape;
        EXPECT_GE(largeBytes - smallBytes, 30 << 20) << scrape;
        EXPECT_EQ(Value(scrape, "quolk_process_leak_test", smallLabels + ",state=\"inconclusive\""), "1");
        EXPECT_EQ(Value(scrape, "quolk_process_leak_test", smallLabels + ",state=\"leak\""), "0");
        EXPECT_EQ(Value(scrape, "quolk_process_threads", largeLabels), "1");
        EXPECT_NE(Value(scrape, "quolk_build_info", "version="), "");
        EXPECT_EQ(scrape.find("cmdline"), std::string::npos);
        const auto [checked, complaints] = Shell("promtool check metrics 2>&1 <<'EOF'\n" + scrape + "EOF");
        EXPECT_EQ(checked, 0) << complaints;
        kill(server, stop);
        const Outcome outcome = Wait(dir, server);
        EXPECT_EQ(outcome.status, 0) << outcome.err;
        EXPECT_EQ(Fetch(url), "") << "still serving";
    }
    // The next scrape after a process ends has none of its series.
    const pid_t server = StartServing(dir, port, {"--match", name, "--interval", "100"});
    ASSERT_GT(server, 0) << dir.Read("err");
    for (int tries = 0; tries < 100 && Value(Fetch(url), "quolk_watched_processes", "") != "2"; ++tries) Pause(50);
    EndChild(small);
    std::string scrape;
    for (int tries = 0; tries < 100 && Value(scrape, "quolk_watched_processes", "") != "1"; ++tries) {
        Pause(50);
        scrape = Fetch(url);
    }
    EXPECT_EQ(scrape.find("pid=\"" + std::to_string(small) + "\""), std::string::npos) << scrape;
    EXPECT_NE(scrape.find("pid=\"" + std::to_string(large) + "\""), std::string::npos) << scrape;
    kill(server, SIGTERM);
    EXPECT_EQ(Wait(dir, server).status, 0);
    EndChild(large);
}

}  // namespace
}  // namespace record_test
