// Reading the kernel's text files: numbers, blanks and the fields of a stat line, one rule each
// for every reader of the platform layer.
#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string_view>

// The whole text must be a decimal number that fits.
template <typename Number>
bool ParseNumber(std::string_view text, Number& out) {
    if (text.empty()) return false;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return error == std::errc() && end == text.data() + text.size();
}

// A PID: a directory entry of the process root, a line of a children file.
inline bool ParsePid(std::string_view text, int32_t& pid) { return ParseNumber(text, pid) && pid > 0; }

// The text without blanks, tabs and line ends on either side.
inline std::string_view TrimBlanks(std::string_view text) {
    constexpr std::string_view blanks = " \t\r\n";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// /proc/PID/stat: "pid (comm) state ppid ...". The command name may hold blanks and brackets, so
// the fields are those after its last ")", separated by blanks; fields[0] is the state (field 3 of
// the line). False when the line has no ")" or fewer than count fields after it.
inline bool SplitStatFields(std::string_view line, std::string_view* fields, int count) {
    const size_t close = line.rfind(')');
    if (close == std::string_view::npos) return false;
    line.remove_prefix(close + 1);
    for (int i = 0; i < count; ++i) {
        const size_t start = line.find_first_not_of(' ');
        if (start == std::string_view::npos) return false;
        line.remove_prefix(start);
        fields[i] = line.substr(0, line.find_first_of(" \n"));
        line.remove_prefix(fields[i].size());
    }
    return true;
}
