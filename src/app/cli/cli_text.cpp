#include "app/cli/cli_text.h"

#include "strings/stringtable.h"

std::string CliText(TextId id, std::initializer_list<std::string_view> values) {
    const std::string pattern = TextToUtf8(LookupText(id));
    std::string out;
    for (size_t i = 0; i < pattern.size(); ++i) {
        const size_t value = i + 1 < pattern.size() ? size_t(pattern[i + 1] - '1') : values.size();
        if (pattern[i] == '%' && value < values.size()) {
            out += values.begin()[value];
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

std::string Figure(const char* format, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

void Say(std::FILE* err, const std::string& message) { std::fprintf(err, "quolk: %s\n", message.c_str()); }
