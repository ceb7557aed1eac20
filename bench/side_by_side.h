// Whole programs run as child processes, each beside its reference in the same run: the programs
// take turns, round after round, so that every one meets the same machine, and each one's median
// wall-clock and CPU time (user and system, the whole process) become the benchmark's counters.
#pragma once

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

extern char** environ;

namespace side_by_side {

struct Program {
    std::string name;                      // the counters' prefix
    std::vector<std::string> argv;         // argv[0] is the path
    std::vector<std::string> environment;  // "NAME=value" added to this process's environment
};

struct Cost {
    int status{-1};
    double wallMs{}, cpuMs{};
};

// This process's environment with the given variables replaced or added.
inline std::vector<std::string> EnvironmentWith(const std::vector<std::string>& overrides) {
    std::vector<std::string> result;
    for (char** entry = environ; *entry; ++entry) {
        const std::string current(*entry);
        const bool replaced = std::any_of(overrides.begin(), overrides.end(), [&](const std::string& o) {
            return current.compare(0, o.find('=') + 1, o, 0, o.find('=') + 1) == 0;
        });
        if (!replaced) result.push_back(current);
    }
    result.insert(result.end(), overrides.begin(), overrides.end());
    return result;
}

inline std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& s : strings) pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Runs the program to its end, its output to /dev/null.
inline Cost Run(const Program& program) {
    std::vector<std::string> argv = program.argv, env = EnvironmentWith(program.environment);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, Pointers(argv).data(), Pointers(env).data());
    posix_spawn_file_actions_destroy(&actions);
    Cost cost;
    int status = 0;
    rusage usage{};
    if (spawned != 0 || wait4(pid, &status, 0, &usage) != pid) return cost;
    cost.wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    cost.cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                 (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    cost.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return cost;
}

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// `rounds` rounds of every program in turn; counters NAME_wall_ms and NAME_cpu_ms (medians), and
// NAME_cpu_x and NAME_wall_x: the medians over the first program's. A program that fails ends the
// benchmark.
inline void RunSideBySide(benchmark::State& state, const std::vector<Program>& programs, int rounds) {
    std::vector<std::vector<double>> wall(programs.size()), cpu(programs.size());
    for (auto _ : state) {
        for (int round = 0; round < rounds; ++round) {
            for (size_t i = 0; i < programs.size(); ++i) {
                const Cost cost = Run(programs[i]);
                if (cost.status != 0) {
                    state.SkipWithError((programs[i].name + " failed").c_str());
                    return;
                }
                wall[i].push_back(cost.wallMs);
                cpu[i].push_back(cost.cpuMs);
            }
        }
    }
    const double reference = Median(cpu[0]);
    for (size_t i = 0; i < programs.size(); ++i) {
        state.counters[programs[i].name + "_wall_ms"] = Median(wall[i]);
        state.counters[programs[i].name + "_cpu_ms"] = Median(cpu[i]);
        if (i == 0) continue;
        state.counters[programs[i].name + "_cpu_x"] = Median(cpu[i]) / reference;
        state.counters[programs[i].name + "_wall_x"] = Median(wall[i]) / Median(wall[0]);
    }
}

}  // namespace side_by_side
