// The /proc readers against a fixture root whose stat, status, comm, cgroup and environ files hold
// any bytes: every reading ends in a value or a quiet failure, and names stay one line.
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "fuzz_support.h"
#include "monitor/sampler.h"
#include "platform/process_info.h"

namespace {

// The fixture root, removed when the run ends.
struct FixtureRoot {
    std::string path;
    ~FixtureRoot() {
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove_all(path, ignored);
    }
} fixture;
std::string& root = fixture.path;

void Put(const char* name, std::string_view bytes) {
    const std::string path = root + "/42/" + name;
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || write(fd, bytes.data(), bytes.size()) != ssize_t(bytes.size())) std::abort();
    close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // In memory where there is a shared-memory file system: every input writes five files.
    char dir[] = "/dev/shm/quolk-fuzz-proc-XXXXXX";
    char fallback[] = "/tmp/quolk-fuzz-proc-XXXXXX";
    if (!mkdtemp(dir) && !mkdtemp(std::strcpy(dir, fallback))) std::abort();
    root = dir;
    mkdir((root + "/42").c_str(), 0755);
    SetProcRoot(root.c_str());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Reader reader(data, size);
    // Parts separated by a 0xFF byte, which no /proc file holds.
    Put("stat", reader.Part(0xFF));
    Put("status", reader.Part(0xFF));
    Put("comm", reader.Part(0xFF));
    Put("cgroup", reader.Part(0xFF));
    Put("environ", reader.Rest());

    const int dirFd = OpenProcessDir(42);
    fuzz::Require(dirFd >= 0, "the fixture process opens");
    TaskInfo info;
    if (ReadTaskInfoAt(dirFd, info)) {
        fuzz::Require(info.virtualBytes >= 0 && info.residentBytes >= 0 && info.pageFaults >= 0 && info.pageIns >= 0 &&
                          info.threadCount >= 0 && info.cowFaults == 0,
                      "task figures are never negative");
        fuzz::Require(ProcessStartTime(42) == info.startTime, "one start time");
    }
    fuzz::Require(ReadPhysicalFootprintAt(dirFd) >= 0 || ReadPhysicalFootprintAt(dirFd) == -1, "footprint or -1");
    ProcessDescription description;
    fuzz::Require(DescribeProcessAt(dirFd, 42, description) == ReadTaskInfoAt(dirFd, info), "described when read");
    CloseProcessDir(dirFd);

    const Text& name = description.name;
    fuzz::Require(!name.empty(), "a name is never empty");
    for (char16_t unit : name) fuzz::Require(unit >= 0x20 && unit != 0x7F, "a name holds no control character");
    ProcessRealUid(42);
    IsUserAppProcess(42);

    MemorySample sample;
    HeldTarget target;
    if (OpenHeldTarget(42, 0, target)) {
        fuzz::Require(ReadHeldTargetSample(target, sample) == ReadMemorySample(42, sample, target.startTime),
                      "held and unheld readings agree");
        CloseHeldTarget(target);
    }
    return 0;
}
