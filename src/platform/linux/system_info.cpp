#include "platform/system_info.h"

#include <sys/utsname.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include "platform/linux/proc_text.h"

namespace {

std::string ReadWholeFile(const char* path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return {};
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// An os-release value: shell-style, optionally in double or single quotes; inside double quotes
// a backslash escapes $ " \ and `.
std::string UnquoteShellValue(std::string_view value) {
    if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'')
        return std::string(value.substr(1, value.size() - 2));
    if (value.size() < 2 || value.front() != '"' || value.back() != '"') return std::string(value);
    value = value.substr(1, value.size() - 2);
    std::string result;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size() && std::strchr("$\"\\`", value[i + 1])) ++i;
        result += value[i];
    }
    return result;
}

// Calls `each` with every line of `content` until it returns true.
template <typename Each>
void ForEachLine(std::string_view content, Each each) {
    while (!content.empty()) {
        const size_t end = content.find('\n');
        if (each(content.substr(0, end))) return;
        if (end == std::string_view::npos) return;
        content.remove_prefix(end + 1);
    }
}

#if defined(__x86_64__) || defined(__i386__)
// The 48 bytes of CPUID leaves 0x80000002 to 0x80000004, up to the first zero byte.
std::string CpuidBrand() {
    unsigned int highest = __get_cpuid_max(0x80000000, nullptr);
    if (highest < 0x80000004) return {};
    char brand[49] = {};
    for (unsigned int leaf = 0; leaf < 3; ++leaf) {
        unsigned int regs[4] = {};
        __cpuid(0x80000002 + leaf, regs[0], regs[1], regs[2], regs[3]);
        std::memcpy(brand + leaf * 16, regs, sizeof regs);
    }
    return std::string(brand);
}
#else
std::string CpuidBrand() { return {}; }
#endif

}  // namespace

Text PrettyNameFromOsRelease(std::string_view content) {
    Text found;
    ForEachLine(content, [&](std::string_view line) {
        line = TrimBlanks(line);
        if (!line.starts_with("PRETTY_NAME=")) return false;
        found = TextFromUtf8(UnquoteShellValue(line.substr(std::strlen("PRETTY_NAME="))));
        return true;
    });
    return found;
}

Text ModelNameFromCpuinfo(std::string_view content) {
    Text found;
    ForEachLine(content, [&](std::string_view line) {
        if (!line.starts_with("model name")) return false;
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos) return false;
        found = TextFromUtf8(TrimBlanks(line.substr(colon + 1)));
        return !found.empty();
    });
    return found;
}

Text OperatingSystemName() {
    for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
        Text name = PrettyNameFromOsRelease(ReadWholeFile(path));
        if (!name.empty()) return name;
    }
    return u"Linux";
}

Text ProcessorBrand() {
    std::string brand(TrimBlanks(CpuidBrand()));
    if (!brand.empty()) return TextFromUtf8(brand);
    Text model = ModelNameFromCpuinfo(ReadWholeFile("/proc/cpuinfo"));
    if (!model.empty()) return model;
    utsname names{};
    if (uname(&names) == 0) return TextFromUtf8(names.machine);
    return Text();
}
