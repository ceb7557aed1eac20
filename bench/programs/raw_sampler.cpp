// The floor under a recorder's cost: a loop that keeps a process's stat and status files open and
// re-reads them at a fixed interval, and does nothing else. bench/record_idle_cpu.sh runs it beside
// `quolk --record` of the same process at the same interval.
// Usage: raw_sampler PID INTERVAL_MS SECONDS
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fputs("usage: raw_sampler PID INTERVAL_MS SECONDS\n", stderr);
        return 64;
    }
    const std::string dir = std::string("/proc/") + argv[1] + "/";
    const long long intervalNs = std::atoll(argv[2]) * 1000000LL;
    const long long samples = std::atoll(argv[3]) * 1000000000LL / intervalNs;
    const int stat = open((dir + "stat").c_str(), O_RDONLY | O_CLOEXEC);
    const int status = open((dir + "status").c_str(), O_RDONLY | O_CLOEXEC);
    if (stat < 0 || status < 0) {
        std::perror(dir.c_str());
        return 2;
    }
    char buffer[4096];
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    for (long long i = 0; i < samples; ++i) {
        next.tv_nsec += intervalNs % 1000000000LL;
        next.tv_sec += intervalNs / 1000000000LL + next.tv_nsec / 1000000000LL;
        next.tv_nsec %= 1000000000LL;
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
        if (pread(stat, buffer, sizeof buffer, 0) <= 0 || pread(status, buffer, sizeof buffer, 0) <= 0) return 1;
    }
    return 0;
}
