#include "platform/process_tree.h"

#include <unistd.h>

#include <cstdio>

#include "platform/process_info.h"

namespace {

// /proc/stat's "btime" line: the boot time in seconds since 1970.
int64_t BootTime() {
    char path[4096];
    std::snprintf(path, sizeof path, "%s/stat", ProcRoot());
    std::FILE* file = std::fopen(path, "re");
    if (!file) return -1;
    char line[256];
    long long seconds = -1;
    while (std::fgets(line, sizeof line, file))
        if (std::sscanf(line, "btime %lld", &seconds) == 1) break;
    std::fclose(file);
    return seconds;
}

}  // namespace

int64_t ProcessStartUnixTime(uint64_t startTicks) {
    static const int64_t boot = BootTime();
    long ticksPerSecond = sysconf(_SC_CLK_TCK);
    if (boot < 0 || ticksPerSecond <= 0) return -1;
    return boot + int64_t(startTicks / uint64_t(ticksPerSecond));
}
