// Recordings through the real binary, side by side: one table of targets and options, each row's
// exit status, what standard error tells and the JSON's figures; a CSV log analysed again; the
// family sum of --include-children and its members one by one.
#include <sys/stat.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <regex>

#include "app/cli/command_line.h"
#include "record_test_support.h"

namespace record_test {
namespace {

using nlohmann::json;

const std::string Report = "MEMORY PHASE ANALYSIS REPORT", ClosingRule = std::string(106, '=') + "\r\n";

// The CSV log: the window's header, then complete rows only, each with its line feed; their count.
size_t ExpectWindowLog(const std::string& bytes) {
    EXPECT_EQ(bytes.substr(0, LogHeader.size()), LogHeader);
    const std::vector<std::string> lines = Lines(bytes.substr(std::min(LogHeader.size(), bytes.size())));
    EXPECT_TRUE(bytes.ends_with('\n'));
    const std::regex row(R"(\d\d:\d\d:\d\d,\d+\.\d\d,\d+\.\d\d,-?\d+\.\d\d,\d+\.\d\d,"([^"]|"")*")");
    for (const std::string& line : lines) EXPECT_TRUE(std::regex_match(line, row)) << line;
    return lines.size();
}

int64_t SiteLine(const std::string& marker) {
    return ::SiteLine(QUOLK_SOURCE_DIR "/tests/helpers/allocator.cpp", marker);
}

// A JSON value as a row expects it: equal, or an object {"min", "max"} or {"has": a regex}.
void ExpectValue(const json& got, const json& want, const std::string& where) {
    if (!want.is_object()) {
        EXPECT_EQ(got, want) << where;
    } else if (want.contains("has")) {
        EXPECT_TRUE(std::regex_search(got.get<std::string>(), std::regex(want["has"].get<std::string>()))) << where;
    } else {
        ASSERT_TRUE(got.is_number()) << where << " " << got;
        EXPECT_GE(got.get<double>(), want.value("min", -1e300)) << where;
        EXPECT_LE(got.get<double>(), want.value("max", 1e300)) << where;
    }
}

json Range(double min, double max = 1e300) { return {{"min", min}, {"max", max}}; }

struct Case {
    std::vector<std::string> args;  // after --record; "LOG" and "FOLDED" stand for files of the row's folder
    int status;
    std::string told;     // what standard error says after the allocator's PID line, as a regex
    bool report;          // standard output has the report (text, or the JSON's "report")
    std::map<std::string, json> figures;  // by JSON pointer; none: the output is the report's text
    int signal{};         // sent 1.2 s in
    int outFd{-1};        // standard output on this descriptor of the test's
};

// A recording ends at its duration, when its target ends, at a budget, on a signal; its status, its
// messages and its JSON tell which, and the command it started is ended and reaped.
TEST(Record, EveryEndHasItsStatusMessageAndFigures) {
    AdoptOrphans();
    const std::string site = "allocator.cpp:" + std::to_string(SiteLine("hold"));
    int closedPipe[2];
    ASSERT_EQ(pipe2(closedPipe, O_CLOEXEC), 0);
    close(closedPipe[0]);
    const std::vector<std::string> fiveSeconds{"--duration", "5", "--interval", "100", "--json", "--fail-on-leak"};
    auto with = [](std::vector<std::string> a, const std::vector<std::string>& b) { return a.insert(a.end(), b.begin(), b.end()), a; };
    const std::string noHeap = "(?![\\s\\S]*libquolk-heap)";  // the sampler preloaded only with --stacks
    std::vector<Case> cases = {
        {with(fiveSeconds, {"--csv", "LOG", "--stacks", "--stacks-out", "FOLDED", "--", Allocator, "grow", "4", "100"}),
         ExitLeakFound, "quolk: leak test: leak, \\+.*\nquolk: sampled live heap, leak test: leak, \\+.*\n", true,
         {{"/source", "record"}, {"/heapLeakTest/result", "leak"}, {"/endReason", "duration"}, {"/intervalMs", 100}, {"/verdict", "high_suspicion"},
          {"/leakTest/result", "leak"}, {"/target/name", "quolk_test_allocator"}, {"/heapSampling/status", "ready"},
          {"/heapSampling/sampleBytes", 512 * 1024}, {"/stacks/0/frames/0/line", SiteLine("hold")},
          {"/stacks/0/share", Range(0.9, 1.1)}, {"/report", {{"has", "Hold\\(long\\) — .*/" + site + "\r\n"}}}}},
        // Memory freed and kept resident by the allocator grows the footprint, not the live heap.
        {with(fiveSeconds, {"--stacks", "--", Allocator, "retain", "4", "100"}), 0,
         "quolk: leak test: leak, .*\nquolk: sampled live heap, leak test: (no leak|inconclusive).*\nquolk: the footprint grows but .*\n",
         true, {{"/leakTest/result", "leak"}, {"/heapLeakTest/result", {{"has", "^(no_leak|inconclusive)$"}}},
                {"/heapSampling/status", "ready"}}},
        {with(fiveSeconds, {"--max-footprint", "1000", "--", Allocator, "hold", "1"}), 0,
         "quolk: leak test: no leak .*\n", true,
         {{"/verdict", "no_evidence"}, {"/leakTest/result", "no_leak"}, {"/budget/maxFootprintMB", 1000},
          {"/budget/maxGrowthMB", nullptr}, {"/budget/exceeded", nullptr}, {"/endReason", "duration"}}},
        {{"--interval", "100", "--json", "--max-footprint", "30", "--", Allocator, "grow", "4", "100"},
         ExitBudgetExceeded, "quolk: the footprint of \\d+\\.\\d\\d MB is above --max-footprint 30 MB\n", true,
         {{"/endReason", "budget"}, {"/budget/exceeded", "footprint"}, {"/budget/exceededMB", Range(30, 60)}}},
        {{"--interval", "100", "--json", "--max-growth", "20", "--max-footprint", "2000", "--", Allocator, "grow", "4", "100"},
         ExitBudgetExceeded, "quolk: the growth of \\d+\\.\\d\\d MB over the baseline is above --max-growth 20 MB\n",
         true, {{"/endReason", "budget"}, {"/budget/exceeded", "growth"}, {"/budget/exceededMB", Range(20, 50)}}},
        // A process whose main thread has ended is recorded until its last thread ends it.
        {{"--interval", "100", "--json", "--", Allocator, "leaderless", "1", "100", "200", "25"}, 0, "", true,
         {{"/endReason", "target_ended"}, {"/sampleCount", Range(20)}, {"/summary/finalMB", Range(20)}}},
        {{"--stacks", "--duration", "0.5", "--interval", "100", "--json", "--", QUOLK_TEST_ALLOCATOR_STATIC, "hold", "1"},
         0, "", true, {{"/heapSampling/status", "statically_linked"}, {"/stacks", json::array()},
                       {"/report", {{"has", "\r\nAllocation stacks unavailable: the command is statically linked"}}}}},
        // The command's own failure is told; an end the recorder caused is not.
        {{"--interval", "100", "--", "sh", "-c", "env; sleep 0.3; exit 3"}, 0,
         noHeap + "(.*\n)*quolk: the command exited with status 3\n", true, {}},
        {{"--interval", "100", "--", "sh", "-c", "sleep 0.3; kill -KILL $$"}, 0,
         "quolk: the command was ended by signal 9 \\(Killed\\)\n", true, {}},
        // A signal ends the recording with the report and a complete log; a command that ignores
        // SIGTERM is killed after the grace period; a recorder killed outright takes its command along.
        {{"--interval", "100", "--csv", "LOG", "--", Allocator, "hold", "5"}, 0, "", true, {}, SIGINT},
        {{"--interval", "100", "--csv", "LOG", "--", Allocator, "stubborn"}, 0, "", true, {}, SIGTERM},
        {{"--quiet", "--", Allocator, "stubborn"}, -1, "", false, {}, SIGKILL},
        // Targets that cannot be recorded; a log or an output that cannot be written.
        {{"--", "/nonexistent/command"}, ExitLoadError,
         "quolk: cannot start the command /nonexistent/command: No such file or directory\n", false, {}},
        {{"--duration", "0.3", "--interval", "100", "--csv", "/dev/full", "--", "sleep", "1"}, ExitLoadError,
         "quolk: the CSV file cannot be written: /dev/full: No space left on device\n", true, {}},
        {{"--duration", "0.5", "--interval", "100", "--csv", "LOG", "--", "sleep", "5"}, ExitLoadError,
         "quolk: the result cannot be written to standard output: Broken pipe\n", false, {}, 0, closedPipe[1]},
        // A closed standard output is said at once, and the log never takes its place.
        {{"--duration", "0.3", "--csv", "LOG", "--", "sleep", "1"}, ExitLoadError,
         "quolk: the result cannot be written to standard output: Bad file descriptor\n", false, {}, 0, ClosedOutput},
    };
    // A set-user-ID command (root gives a copy to another user) is recorded without stacks.
    ScratchDir setIdDir;
    const std::string setId = setIdDir.File("allocator");
    std::filesystem::copy_file(QUOLK_TEST_ALLOCATOR_STATIC, setId);
    if (chown(setId.c_str(), 65534, 65534) == 0 && chmod(setId.c_str(), 04755) == 0)
        cases.push_back({{"--stacks", "--duration", "0.5", "--interval", "100", "--json", "--", setId, "hold", "1"}, 0, "",
                         true, {{"/heapSampling/status", "set_id"}, {"/heapLeakTest", nullptr},
                                {"/report", {{"has", "\r\nAllocation stacks unavailable: the command is set-user-ID"}}}}});
    // A free PID and a kernel thread.
    pid_t free = 4000000;
    while (Exists(free)) ++free;
    cases.push_back({{std::to_string(free)}, ExitLoadError,
                     "quolk: cannot read process " + std::to_string(free) + ": no such process\n", false, {}});
    // A running process given by PID that ends before --duration: the recording is cut short, and says so.
    const pid_t sleeper = Spawn(ScratchDir(), {"sleep", "4"}, "");  // outlasts twenty recorders starting
    cases.push_back({{std::to_string(sleeper), "--duration", "60", "--interval", "100", "--json"}, 0,
                     "quolk: the target ended after \\d+\\.\\d s\n", true, {{"/endReason", "target_ended"}, {"/target/pid", sleeper}}});
    if (ReadBytes("/proc/2/comm") == "kthreadd\n")
        cases.push_back({{"2"}, ExitLoadError, "quolk: cannot read process 2: it is a kernel thread, which has no memory of its own to record\n", false, {}});
    Pause(200);

    std::vector<ScratchDir> dirs(cases.size());
    std::vector<pid_t> recorders;
    for (size_t i = 0; i < cases.size(); ++i) {
        std::vector<std::string> args{"--record"};
        for (const std::string& a : cases[i].args) args.push_back(a == "LOG" ? dirs[i].File("log.csv") : a == "FOLDED" ? dirs[i].File("stacks.folded") : a);
        recorders.push_back(StartQuolk(dirs[i], args, -1, cases[i].outFd));
    }
    Pause(1200);
    for (size_t i = 0; i < cases.size(); ++i) {
        if (!cases[i].signal) continue;
        // However slow the build and the machine: the command has told its PID (the recorder takes
        // its signals by then), and a log has the five rows checked below.
        const bool logged = std::count(cases[i].args.begin(), cases[i].args.end(), "LOG") > 0;
        for (int tries = 0; tries < 300; ++tries, Pause(100)) {
            const bool started = std::regex_search(dirs[i].Read("err"), std::regex("^\\d+\n"));
            if (started && (!logged || Lines(dirs[i].Read("log.csv")).size() >= Lines(LogHeader).size() + 5)) break;
        }
        // Some ticks in: a recording maps no Qt or X library.
        EXPECT_EQ(QtAndXLibraries(Maps(recorders[i])), std::set<std::string>());
        kill(recorders[i], cases[i].signal);
    }
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        const ScratchDir& dir = dirs[i];
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const Outcome o = Wait(dir, recorders[i]);
        EXPECT_EQ(o.status, c.status) << o.err;
        // The allocator's first line, its PID: the command is ended and reaped with the recording.
        std::string told = o.err;
        pid_t command = 0;
        if (std::regex_search(o.err, std::regex("^\\d+\n"))) command = std::stoi(o.err), told = o.err.substr(o.err.find('\n') + 1);
        // Twenty recordings at 100 ms on a busy machine: a sample that overran is told, and no row's concern.
        told = std::regex_replace(told, std::regex("quolk: a sample took .*\n"), "");
        if (c.signal == SIGKILL) {  // orphaned to this test, it dies at once
            int status = 0;
            pid_t reaped = 0;
            for (int tries = 0; tries < 20 && reaped == 0; ++tries, Pause(50)) reaped = waitpid(command, &status, WNOHANG);
            EXPECT_TRUE(reaped == command && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
            continue;
        }
        if (command) {
            EXPECT_FALSE(Exists(command));
        }
        EXPECT_TRUE(std::regex_match(told, std::regex(c.told))) << told;
        const json j = json::parse(o.out, nullptr, false);
        if (!c.report) {
            EXPECT_EQ(o.out, "");
        } else if (c.figures.empty()) {
            EXPECT_TRUE(o.out.find(Report) != std::string::npos && o.out.ends_with(ClosingRule)) << o.out;
        }
        for (const auto& [pointer, want] : c.figures) {
            ASSERT_FALSE(j.is_discarded()) << o.out;
            ExpectValue(j.value(json::json_pointer(pointer), json()), want, pointer);
        }
        const auto given = [&](const char* word) { return std::find(c.args.begin(), c.args.end(), word) != c.args.end(); };
        if (!given("LOG") || c.outFd == ClosedOutput) continue;
        const size_t rows = ExpectWindowLog(dir.Read("log.csv"));
        EXPECT_GE(rows, 5u);
        if (given("FOLDED")) {  // the stacks' folded file names the leaking line
            EXPECT_NE(dir.Read("stacks.folded").find("main;(anonymous namespace)::Hold(long) (" + site + ") "), std::string::npos);
        }
        if (j.is_discarded()) continue;
        // The log holds every sample; --analyze of it reads the same ones as the recording did.
        EXPECT_EQ(j["sampleCount"], rows);
        EXPECT_EQ(j["analysisSpan"], json({{"first", 1}, {"last", rows}, {"of", rows}}));
        const Outcome analyzed = RunQuolk(dir, {"--analyze", dir.File("log.csv"), "--json", "--fail-on-leak"});
        EXPECT_EQ(analyzed.status, c.status);
        const json a = json::parse(analyzed.out, nullptr, false);
        ASSERT_FALSE(a.is_discarded()) << analyzed.out;
        for (const char* key : {"/verdict", "/leakTest/result"}) EXPECT_EQ(a[json::json_pointer(key)], j[json::json_pointer(key)]);
        ASSERT_EQ(a["phases"].size(), j["phases"].size());
        for (size_t k = 0; k < a["phases"].size(); ++k) {
            EXPECT_EQ(a["phases"][k]["kind"], j["phases"][k]["kind"]);
            EXPECT_NEAR(a["phases"][k]["delta"].get<double>(), j["phases"][k]["delta"].get<double>(), 0.1);
        }
    }
    waitpid(sleeper, nullptr, 0);
    close(closedPipe[1]);
}

// The family's footprint is the sum of its three members' shares, read while they hold still.
TEST(Record, IncludeChildrenSumsTheFamily) {
    ScratchDir dir;
    std::FILE* family = popen((Allocator + " family 30 12").c_str(), "r");
    ASSERT_NE(family, nullptr);
    int pids[3] = {};
    for (int& pid : pids) ASSERT_EQ(std::fscanf(family, "%d", &pid), 1);
    const Outcome o = RunQuolk(dir, {"--record", std::to_string(pids[0]), "--include-children", "--duration", "0.5",
                                     "--csv", dir.File("log.csv"), "--json"});
    const Outcome alone = RunQuolk(dir, {"--record", std::to_string(pids[0]), "--duration", "0.3", "--json"});
    kill(pids[0], SIGTERM);
    pclose(family);
    EXPECT_EQ(o.status, 0) << o.err;
    const std::vector<std::string> rows = Lines(dir.Read("log.csv"));
    ASSERT_GE(rows.size(), 3u);
    // The 42 MB the children hold (2 %); the pages the three share from before the forks count once.
    EXPECT_NEAR(std::stod(rows.back().substr(rows.back().find(',', 9) + 1)), 42.0, 0.84);
    EXPECT_LT(json::parse(alone.out)["summary"]["finalMB"].get<double>(), 5.0);  // without the option, the parent alone
}

// Member by member: a parent and three children, of which one grows, one ends at 1.75 s and one
// starts at 1.25 s (between samples). The grower is named with its growth, the others are flat
// (within the shifts of the pages they share with the parent, counted in proportion, as the
// family changes), and the ends have their times; --children-csv has their rows.
TEST(Record, IncludeChildrenFollowsEachMember) {
    ScratchDir dir;
    const Outcome o = RunQuolk(dir, {"--record", "--include-children", "--duration", "3", "--interval", "100", "--json",
                                     "--children-csv", dir.File("kids.csv"), "--", Allocator, "brood", "4", "200",
                                     "1750", "1250"});
    ASSERT_EQ(o.status, 0) << o.err;
    std::vector<int> pids;  // the parent, the grower, the child that ends, the late one
    for (const std::string& line : Lines(o.err))
        if (!line.empty() && line.find_first_not_of("0123456789") == std::string::npos) pids.push_back(std::stoi(line));
    ASSERT_EQ(pids.size(), 4u) << o.err;
    const json members = json::parse(o.out)["members"];
    ASSERT_EQ(members.size(), 4u) << members;
    const struct { int pid; double growth[2], first[2], last[2]; bool inLast; } expected[] = {
        {pids[1], {20, 80}, {0, 0.5}, {2.5, 3.5}, true},
        {pids[2], {-3, 3}, {0, 0.5}, {1.5, 2.5}, false},
        {pids[3], {-3, 3}, {1.2, 2}, {2.5, 3.5}, true},
    };
    const std::string rows = dir.Read("kids.csv");
    for (const auto& e : expected) {
        const auto m = std::find_if(members.begin(), members.end(), [&](const json& m) { return m["pid"] == e.pid; });
        ASSERT_NE(m, members.end()) << e.pid;
        ExpectValue((*m)["growthMB"], Range(e.growth[0], e.growth[1]), m->dump());
        ExpectValue((*m)["firstSeenSeconds"], Range(e.first[0], e.first[1]), std::to_string(e.pid));
        ExpectValue((*m)["lastSeenSeconds"], Range(e.last[0], e.last[1]), std::to_string(e.pid));
        EXPECT_EQ((*m)["inLastSample"], e.inLast);
        EXPECT_EQ((*m)["parentPid"], pids[0]);
        // Its last row has the footprint the JSON gives it last.
        const size_t row = rows.rfind("," + std::to_string(e.pid) + ",\"quolk_test_allocator\",");
        ASSERT_NE(row, std::string::npos) << e.pid;
        EXPECT_NEAR(std::stod(rows.substr(rows.find("\",", row) + 2)), (*m)["footprint"]["lastMB"].get<double>(), 0.01);
    }
    EXPECT_TRUE(rows.starts_with(LogHeader.substr(0, LogHeader.find('\n') + 1) + "Timestamp,PID,Name,Footprint(MB)\n"));
}

// What the command started ends with the recording: a background job, and one that ignores SIGTERM
// (killed once the grace period is over), though the shell that started them is gone by then.
TEST(Record, TheCommandsDescendantsEndWithTheRecording) {
    ScratchDir dir;
    const Outcome o = RunQuolk(dir, {"--record", "--duration", "1", "--quiet", "--", "sh", "-c",
                                     "sleep 60 & echo $!; (trap '' TERM; exec sleep 60) & echo $!; exec sleep 60"});
    EXPECT_EQ(o.status, 0) << o.err;
    std::vector<std::string> pids;  // the command's output comes to standard error
    for (const std::string& line : Lines(o.err))
        if (std::regex_match(line, std::regex("\\d+"))) pids.push_back(line);
    ASSERT_EQ(pids.size(), 2u) << o.err;
    for (const std::string& line : pids) {
        const pid_t pid = std::stoi(line);
        bool ended = false;  // reaped by init, or by this test where it adopts orphans
        for (int tries = 0; tries < 60 && !ended; ++tries, Pause(50)) ended = waitpid(pid, nullptr, WNOHANG) == pid || !Exists(pid);
        EXPECT_TRUE(ended) << pid;
        if (!ended) kill(pid, SIGKILL);
    }
}

}  // namespace
}  // namespace record_test
