// The end of the target ends a recording: the PID given to another process, the process gone, or
// turned zombie, told apart with a fixture process root whose files the test rewrites mid-run.
#include <pthread.h>
#include <signal.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <regex>
#include <thread>

#include "app/cli/cli_options.h"
#include "app/cli/recorder.h"
#include "platform/proc_fixture.h"

namespace {

constexpr int32_t Pid = 4242;

std::string Stat(const std::string& state, uint64_t start) {
    return StatLine(Pid, "fake", state, {{9, "0"}, {20, "1"}, {22, std::to_string(start)}, {23, "104857600"}, {24, "2560"}});
}
const std::string Status = "Uid:\t0\t0\t0\t0\nRssAnon:\t10240 kB\nVmPTE:\t40 kB\nVmSwap:\t0 kB\n";

std::string ReadAll(std::FILE* file) {
    std::string text;
    std::rewind(file);
    for (int c; (c = std::fgetc(file)) != EOF;) text.push_back(char(c));
    return text;
}

TEST(RecordTargetEnd, AReusedGoneOrZombiePidEndsTheRecordingWithTheReport) {
    const std::pair<const char*, std::function<void(const ProcFixture&, const std::string&)>> cases[] = {
        {"reused", [](const ProcFixture& f, const std::string&) { f.Add(Pid, "stat", Stat("S", 999)); }},
        {"zombie", [](const ProcFixture& f, const std::string&) { f.Add(Pid, "stat", Stat("Z", 777)); }},
        {"gone", [](const ProcFixture&, const std::string& root) { std::filesystem::remove_all(root + "/4242"); }},
    };
    for (const auto& [name, end] : cases) {
        SCOPED_TRACE(name);
        ProcFixture fixture;
        fixture.Add(Pid, "stat", Stat("S", 777));
        fixture.Add(Pid, "status", Status);
        CliOptions options;
        options.mode = CliMode::Record;
        options.pid = Pid;
        options.intervalMs = 100;
        options.json = true;
        options.quiet = true;
        // With a duration, an end before it is told: the recording was cut short.
        const bool timed = std::string(name) != "reused";
        if (timed) options.durationSec = 60;
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        // The recording has no duration: only the target's end, or the watchdog's SIGTERM when the
        // end goes unnoticed, can stop it.
        std::atomic<bool> finished{false}, watchdogFired{false};
        const pthread_t recorder = pthread_self();
        std::thread changer([&, end = end] {
            std::this_thread::sleep_for(std::chrono::milliseconds(450));
            end(fixture, ProcRoot());
            for (int i = 0; i < 100 && !finished; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
            if (!finished) watchdogFired = true, pthread_kill(recorder, SIGTERM);
        });
        const int status = RunRecording(options, out, err);
        finished = true;
        changer.join();
        EXPECT_FALSE(watchdogFired);
        EXPECT_EQ(status, 0);
        const nlohmann::json j = nlohmann::json::parse(ReadAll(out), nullptr, false);
        ASSERT_FALSE(j.is_discarded());
        EXPECT_EQ(j["target"]["pid"], Pid);
        EXPECT_EQ(j["verdict"], "no_evidence");
        EXPECT_GE(j["sampleCount"].get<int>(), 3);
        EXPECT_EQ(j["endReason"], "target_ended");
        const std::string told = ReadAll(err);
        if (timed) EXPECT_TRUE(std::regex_match(told, std::regex("quolk: the target ended after [0-9]+\\.[0-9] s\n"))) << told;
        else EXPECT_EQ(told, "");
        std::fclose(out);
        std::fclose(err);
    }
}

}  // namespace
