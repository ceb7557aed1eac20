#include "stacks/heap_stacks.h"

#include <elf.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "heap/heap_region.h"
#include "monitor/sample_history.h"

bool CreateHeapRegion(HeapRegion& region, std::string& error) {
    int fd = memfd_create("quolk-heap", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, off_t(HeapRegionBytes)) != 0) {
        error = std::strerror(errno);
        if (fd >= 0) close(fd);
        return false;
    }
    void* memory = mmap(nullptr, HeapRegionBytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (memory == MAP_FAILED) {
        error = std::strerror(errno);
        close(fd);
        return false;
    }
    region.fd = fd;
    region.header = static_cast<HeapRegionHeader*>(memory);
    InitHeapRegion(region.header);
    return true;
}

void CloseHeapRegion(HeapRegion& region) {
    if (region.header) munmap(region.header, HeapRegionBytes);
    if (region.fd >= 0) close(region.fd);
    region = HeapRegion{};
}

bool HeapEnvironment(const HeapRegion& region, const std::string& libraryPath, int64_t sampleBytes,
                     std::vector<std::string>& environment, std::string& error) {
    if (libraryPath.empty() || libraryPath.find_first_of(" :\t\n") != std::string::npos) {
        error = "the library's path has a space or a colon: " + libraryPath;
        return false;
    }
    std::string preload = "LD_PRELOAD=" + libraryPath;
    const std::string ours[] = {"LD_PRELOAD=", std::string(HeapFdVariable) + "=",
                                std::string(HeapSampleBytesVariable) + "="};
    std::vector<std::string> kept;
    for (const std::string& entry : environment) {
        if (entry.starts_with(ours[0]) && entry.size() > ours[0].size())
            preload += " " + entry.substr(ours[0].size());
        if (std::none_of(std::begin(ours), std::end(ours), [&](const std::string& name) { return entry.starts_with(name); }))
            kept.push_back(entry);
    }
    kept.push_back(preload);
    kept.push_back(ours[1] + std::to_string(region.fd));
    kept.push_back(ours[2] + std::to_string(sampleBytes > 0 ? sampleBytes : HeapDefaultSampleBytes));
    environment = std::move(kept);
    return true;
}

namespace {

// True when the ELF file names no program interpreter: the dynamic loader never runs for it.
template <typename Header, typename ProgramHeader>
bool LacksInterpreter(std::ifstream& file) {
    Header header{};
    if (!file.seekg(0).read(reinterpret_cast<char*>(&header), sizeof header)) return false;
    for (unsigned i = 0; i < header.e_phnum; ++i) {
        ProgramHeader program{};
        if (!file.seekg(std::streamoff(header.e_phoff + uint64_t(i) * header.e_phentsize))
                 .read(reinterpret_cast<char*>(&program), sizeof program))
            return false;
        if (program.p_type == PT_INTERP) return false;
    }
    return true;
}

}  // namespace

PreloadBlocker PreloadBlockerOf(const std::string& executablePath) {
    struct stat status{};
    if (stat(executablePath.c_str(), &status) != 0) return PreloadBlocker::None;
    // The loader ignores LD_PRELOAD where executing the file changes the user or group.
    if (((status.st_mode & S_ISUID) && status.st_uid != getuid()) ||
        ((status.st_mode & S_ISGID) && status.st_gid != getgid()))
        return PreloadBlocker::SetId;
    std::ifstream file(executablePath, std::ios::binary);
    unsigned char ident[EI_NIDENT]{};
    if (!file.read(reinterpret_cast<char*>(ident), EI_NIDENT) || std::memcmp(ident, ELFMAG, SELFMAG) != 0)
        return PreloadBlocker::None;  // a script: its interpreter is what runs
    bool lacks = ident[EI_CLASS] == ELFCLASS64 ? LacksInterpreter<Elf64_Ehdr, Elf64_Phdr>(file)
                                               : LacksInterpreter<Elf32_Ehdr, Elf32_Phdr>(file);
    return lacks ? PreloadBlocker::StaticallyLinked : PreloadBlocker::None;
}

HeapStatus ReadHeapStatus(const HeapRegion& region) {
    HeapStatus status;
    const HeapRegionHeader* header = region.header;
    if (!header) return status;
    status.pid = header->ownerPid.load(std::memory_order_acquire);
    status.attached = status.pid != 0;
    status.generation = header->generation.load(std::memory_order_relaxed);
    status.sampleBytes = header->sampleBytes.load(std::memory_order_relaxed);
    status.samples = header->samples.load(std::memory_order_relaxed);
    status.droppedSamples = header->droppedSamples.load(std::memory_order_relaxed);
    return status;
}

StackAvailability StackAvailabilityOf(const HeapStatus& status) {
    if (!status.attached) return StackAvailability::NeverAttached;
    return status.samples == 0 ? StackAvailability::NoMallocSeen : StackAvailability::Ready;
}

namespace {

// The file-backed lines of /proc/PID/maps (libraries and the executable: what symbols come from).
std::string ReadModuleMap(const std::string& procRoot, pid_t pid) {
    std::ifstream maps(procRoot + "/" + std::to_string(pid) + "/maps");
    std::string line, kept;
    while (std::getline(maps, line)) {
        size_t path = line.find(" /");
        if (path == std::string::npos) continue;
        std::string_view file = std::string_view(line).substr(path + 1);
        // Shared memory (the region itself among it) and devices hold no code.
        if (!file.starts_with("/memfd:") && !file.starts_with("/dev/") && !file.starts_with("/SYSV"))
            kept += line + "\n";
    }
    return kept;
}

// The executable ranges of a module map, in order.
std::vector<std::pair<uint64_t, uint64_t>> CodeRanges(const std::string& map) {
    std::vector<std::pair<uint64_t, uint64_t>> ranges;
    std::istringstream lines(map);
    std::string line;
    while (std::getline(lines, line)) {
        uint64_t start = 0, end = 0;
        char permissions[8]{};
        if (std::sscanf(line.c_str(), "%lx-%lx %7s", &start, &end, permissions) == 3 && permissions[2] == 'x')
            ranges.emplace_back(start, end);
    }
    std::sort(ranges.begin(), ranges.end());
    return ranges;
}

bool InCode(const std::vector<std::pair<uint64_t, uint64_t>>& ranges, uint64_t returnAddress) {
    uint64_t address = returnAddress - 1;  // the call, which a return address just follows
    auto after = std::upper_bound(ranges.begin(), ranges.end(), std::make_pair(address, UINT64_MAX));
    return after != ranges.begin() && address < std::prev(after)->second;
}

// Takes in stacks first seen now, each frame with the module map it is named from.
void AddStacks(StackHistory& history, HeapRegionHeader* header, const std::vector<uint32_t>& records) {
    std::string map = ReadModuleMap(history.procRoot, header->ownerPid.load(std::memory_order_acquire));
    if (history.moduleMaps.empty() || map != history.moduleMaps.back()) {
        history.previousCode = std::move(history.latestCode);
        history.latestCode = CodeRanges(map);
        history.moduleMaps.push_back(std::move(map));
    }
    int32_t latest = int32_t(history.moduleMaps.size()) - 1;
    for (uint32_t number : records) {
        const HeapStackRecord& record = HeapRecords(header)[number];
        const uint64_t* words = HeapFrames(header) + record.frameOffset;
        HeapStack stack{number, std::vector<uint64_t>(words, words + record.frameCount), {}};
        for (uint64_t frame : stack.frames)
            stack.frameMaps.push_back(InCode(history.latestCode, frame) ? latest
                                      : InCode(history.previousCode, frame) ? latest - 1
                                                                             : -1);
        history.stacks.push_back(std::move(stack));
    }
}

}  // namespace

void TakeStackSnapshot(StackHistory& history, const HeapRegion& region) {
    HeapRegionHeader* header = region.header;
    if (!header) return;
    uint32_t count = std::min(header->stackCount.load(std::memory_order_acquire), HeapStackCapacity);
    std::vector<uint32_t> waiting = std::move(history.pendingRecords), fresh;
    history.pendingRecords.clear();
    for (uint32_t number = history.nextRecord; number < count; ++number) waiting.push_back(number);
    history.nextRecord = std::max(history.nextRecord, count);
    for (uint32_t number : waiting) {
        uint32_t state = HeapRecords(header)[number].state.load(std::memory_order_acquire);
        if (state == HeapStackPublished) fresh.push_back(number);
        if (state == HeapStackWriting) history.pendingRecords.push_back(number);
    }
    if (!fresh.empty()) AddStacks(history, header, fresh);

    std::vector<StackFigures> column(history.stacks.size());
    for (size_t i = 0; i < column.size(); ++i) {
        int64_t bytes = 0, count = 0, allocated = 0;
        if (ReadStackFigures(HeapRecords(header)[history.stacks[i].record], bytes, count, allocated))
            column[i] = {float(bytes), float(double(count) / HeapCountScale)};
        else if (!history.columns.empty() && i < history.columns.back().size())
            column[i] = history.columns.back()[i];  // busy all along: the last figures stand
    }
    if (int64_t(history.columns.size()) >= HistorySlotCount) history.columns.pop_front();
    history.columns.push_back(std::move(column));
}

StackFigures FiguresAt(const StackHistory& history, int64_t slot, int32_t stack) {
    if (slot < 0 || slot >= int64_t(history.columns.size()) || stack < 0) return {};
    const std::vector<StackFigures>& column = history.columns[size_t(slot)];
    return size_t(stack) < column.size() ? column[size_t(stack)] : StackFigures{};
}

double LiveBytesAt(const StackHistory& history, int64_t slot) {
    if (slot < 0 || slot >= int64_t(history.columns.size())) return 0.0;
    double bytes = 0.0;
    for (const StackFigures& figures : history.columns[size_t(slot)]) bytes += figures.liveBytes;
    return bytes;
}

std::vector<StackGrowth> TopStacksByGrowth(const StackHistory& history, int64_t fromSlot, int64_t toSlot,
                                           int64_t count) {
    std::vector<StackGrowth> grown;
    for (int32_t stack = 0; stack < int32_t(history.stacks.size()); ++stack) {
        StackFigures start = FiguresAt(history, fromSlot, stack), end = FiguresAt(history, toSlot, stack);
        if (end.liveBytes > start.liveBytes)
            grown.push_back({stack, start.liveBytes, end.liveBytes, start.liveCount, end.liveCount});
    }
    std::sort(grown.begin(), grown.end(), [](const StackGrowth& a, const StackGrowth& b) {
        return a.growthBytes() > b.growthBytes() || (a.growthBytes() == b.growthBytes() && a.stack < b.stack);
    });
    if (count >= 0 && int64_t(grown.size()) > count) grown.resize(size_t(count));
    return grown;
}
