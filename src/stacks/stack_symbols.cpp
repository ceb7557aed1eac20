#include "stacks/stack_symbols.h"

#include <cxxabi.h>
#include <dlfcn.h>
#include <elfutils/libdwfl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "heap/heap_region.h"
#include "runtime/file.h"

namespace {

char* debugInfoPath = nullptr;

// libdw is opened when a frame is first named: the command line's other commands then load neither
// it nor the ELF and compression libraries it brings, which were most of `quolk --version`'s cost.
struct Libdw {
    decltype(&::dwfl_begin) begin{};
    decltype(&::dwfl_end) end{};
    decltype(&::dwfl_report_begin) reportBegin{};
    decltype(&::dwfl_report_end) reportEnd{};
    decltype(&::dwfl_linux_proc_maps_report) mapsReport{};
    decltype(&::dwfl_linux_proc_find_elf) findElf{};
    decltype(&::dwfl_standard_find_debuginfo) findDebuginfo{};
    decltype(&::dwfl_addrmodule) addrModule{};
    decltype(&::dwfl_module_info) moduleInfo{};
    decltype(&::dwfl_module_relocate_address) relocateAddress{};
    decltype(&::dwfl_module_addrname) addrName{};
    decltype(&::dwfl_module_getsrc) getSrc{};
    decltype(&::dwfl_lineinfo) lineInfo{};
    decltype(&::dwfl_line_comp_dir) compDir{};
    Dwfl_Callbacks callbacks{};
    bool loaded = false;
};

template <typename Function>
bool Bind(void* library, Function& function, const char* name) {
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

// Every function of libdw the naming uses; loaded is false when the library cannot be opened, and
// frames then keep their module and offset only.
const Libdw& Dw() {
    static const Libdw dw = [] {
        Libdw d;
        void* library = dlopen("libdw.so.1", RTLD_NOW | RTLD_LOCAL);
        if (!library) return d;
        d.loaded = Bind(library, d.begin, "dwfl_begin") && Bind(library, d.end, "dwfl_end") &&
                   Bind(library, d.reportBegin, "dwfl_report_begin") &&
                   Bind(library, d.reportEnd, "dwfl_report_end") &&
                   Bind(library, d.mapsReport, "dwfl_linux_proc_maps_report") &&
                   Bind(library, d.findElf, "dwfl_linux_proc_find_elf") &&
                   Bind(library, d.findDebuginfo, "dwfl_standard_find_debuginfo") &&
                   Bind(library, d.addrModule, "dwfl_addrmodule") &&
                   Bind(library, d.moduleInfo, "dwfl_module_info") &&
                   Bind(library, d.relocateAddress, "dwfl_module_relocate_address") &&
                   Bind(library, d.addrName, "dwfl_module_addrname") &&
                   Bind(library, d.getSrc, "dwfl_module_getsrc") && Bind(library, d.lineInfo, "dwfl_lineinfo") &&
                   Bind(library, d.compDir, "dwfl_line_comp_dir");
        d.callbacks = {.find_elf = d.findElf, .find_debuginfo = d.findDebuginfo, .section_address = nullptr,
                       .debuginfo_path = &debugInfoPath};
        return d;
    }();
    return dw;
}

// The modules of a saved map, as libdwfl reads them from /proc/PID/maps; nullptr when none.
Dwfl* OpenModuleMap(const std::string& map) {
    const Libdw& dw = Dw();
    Dwfl* dwfl = dw.loaded ? dw.begin(&dw.callbacks) : nullptr;
    if (!dwfl) return nullptr;
    dw.reportBegin(dwfl);
    FILE* lines = fmemopen(const_cast<char*>(map.data()), map.size(), "r");
    if (lines) {
        dw.mapsReport(dwfl, lines);
        std::fclose(lines);
    }
    dw.reportEnd(dwfl, nullptr, nullptr);
    return dwfl;
}

Text Demangled(const char* name) {
    int status = 0;
    char* plain = abi::__cxa_demangle(name, nullptr, nullptr, &status);
    Text text = TextFromUtf8(status == 0 && plain ? plain : name);
    std::free(plain);
    return text;
}

Text FileName(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return TextFromUtf8(slash ? slash + 1 : path);
}

StackFrame NameFrame(Dwfl* dwfl, uint64_t returnAddress) {
    StackFrame frame;
    Dwarf_Addr address = returnAddress - 1;  // inside the call instruction, not after it
    const Libdw& dw = Dw();
    Dwfl_Module* module = dwfl ? dw.addrModule(dwfl, address) : nullptr;
    frame.offset = address;
    if (!module) return frame;
    const char* moduleName = dw.moduleInfo(module, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    if (moduleName) frame.module = FileName(moduleName);
    Dwarf_Addr relative = address;
    if (dw.relocateAddress(module, &relative) >= 0) frame.offset = relative;
    if (const char* name = dw.addrName(module, address)) frame.function = Demangled(name);
    if (Dwfl_Line* line = dw.getSrc(module, address)) {
        int number = 0;
        if (const char* file = dw.lineInfo(line, nullptr, &number, nullptr, nullptr, nullptr)) {
            // Compilers record names relative to where they ran; the frame tells the file itself.
            std::filesystem::path path(file);
            const char* directory = dw.compDir(line);
            if (path.is_relative() && directory && directory[0] == '/') path = std::filesystem::path(directory) / path;
            frame.file = TextFromUtf8(path.lexically_normal().string());
            frame.line = number;
        }
    }
    return frame;
}

// Frames of the allocator itself, which every stack through it would share.
bool IsAllocatorFrame(const StackFrame& frame) {
    static const char16_t* const Prefixes[] = {
        u"operator new",        u"malloc",        u"calloc",           u"realloc",
        u"reallocarray",        u"posix_memalign", u"aligned_alloc",   u"memalign",
        u"valloc",              u"pvalloc",       u"__libc_",          u"__gnu_cxx::new_allocator",
        u"std::__new_allocator", u"std::allocator", u"std::allocator_traits",
    };
    if (frame.module == u"libquolk-heap.so") return true;
    for (const char16_t* prefix : Prefixes)
        if (TextView(frame.function).starts_with(prefix)) return true;
    return false;
}

Text HexText(uint64_t value) {
    char digits[24];
    std::snprintf(digits, sizeof digits, "0x%llx", static_cast<unsigned long long>(value));
    return TextFromUtf8(digits);
}

// A frame by its function; the allocating one, innermost, also by its file and line, so that two
// allocations in one function stay apart and the folded file names the line that allocated.
Text FoldedName(const StackFrame& frame, bool innermost) {
    Text name = !frame.function.empty() ? frame.function
                : !frame.module.empty()  ? frame.module + u"+" + HexText(frame.offset)
                                         : HexText(frame.offset);
    if (innermost && !frame.file.empty())
        name += u" (" + frame.file.substr(frame.file.rfind(u'/') + 1) + u":" + Str(frame.line) + u")";
    // A semicolon separates frames and a line feed lines: neither may stand inside a name.
    for (char16_t& unit : name)
        if (unit == u';' || unit == u'\n') unit = u'_';
    return name;
}

std::vector<Text> FoldedLines(StackSymbols& symbols, const StackHistory& history, int64_t slot) {
    std::map<Text, double> merged;
    for (int32_t stack = 0; stack < int32_t(history.stacks.size()); ++stack) {
        double bytes = FiguresAt(history, slot, stack).liveBytes;
        if (bytes < 0.5) continue;
        std::vector<StackFrame> frames = StackFrames(symbols, history, stack);
        Text path;
        for (auto frame = frames.rbegin(); frame != frames.rend(); ++frame)
            path += (path.empty() ? u"" : u";") + FoldedName(*frame, frame + 1 == frames.rend());
        merged[path.empty() ? Text(u"[unknown]") : path] += bytes;
    }
    std::vector<Text> lines;
    for (const auto& [path, bytes] : merged) lines.push_back(path + u" " + Str(RoundToInteger(bytes)));
    return lines;
}

}  // namespace

StackSymbols::~StackSymbols() {
    for (auto& [map, dwfl] : sessions)
        if (dwfl) Dw().end(dwfl);
}

std::vector<StackFrame> StackFrames(StackSymbols& symbols, const StackHistory& history, int32_t stack) {
    std::vector<StackFrame> frames;
    if (stack < 0 || stack >= int32_t(history.stacks.size())) return frames;
    const HeapStack& heapStack = history.stacks[size_t(stack)];
    for (size_t i = 0; i < heapStack.frames.size(); ++i) {
        int32_t map = heapStack.frameMaps[i];
        uint64_t address = heapStack.frames[i];
        auto known = symbols.frames.find({map, address});
        if (known == symbols.frames.end()) {
            auto session = symbols.sessions.find(map);
            if (session == symbols.sessions.end()) {
                bool valid = map >= 0 && map < int32_t(history.moduleMaps.size());
                session =
                    symbols.sessions.emplace(map, valid ? OpenModuleMap(history.moduleMaps[size_t(map)]) : nullptr)
                        .first;
            }
            known = symbols.frames.emplace(std::make_pair(map, address), NameFrame(session->second, address)).first;
        }
        if (frames.empty() && IsAllocatorFrame(known->second)) continue;
        frames.push_back(known->second);
    }
    return frames;
}

Text FoldedStacks(StackSymbols& symbols, const StackHistory& history, int64_t slot) {
    Text text;
    for (const Text& line : FoldedLines(symbols, history, slot)) text += line + u"\n";
    return text;
}

bool WriteFoldedStacks(StackSymbols& symbols, const StackHistory& history, int64_t slot, TextView path) {
    std::vector<Text> lines = FoldedLines(symbols, history, slot);
    int64_t file = CreateFile(AnyNumber, path);
    if (!file) return false;
    for (const Text& line : lines) WriteStringN(file, line);
    FlushFileBuffers(file);
    bool written = FileError(file) == 0;
    CloseFile(file);
    return written;
}
