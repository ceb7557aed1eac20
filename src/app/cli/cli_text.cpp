#include "app/cli/cli_text.h"

#include "strings/stringtable.h"

std::string CliText(TextId id, std::initializer_list<std::string_view> values) { return FilledText(id, values); }

std::string Figure(const char* format, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

void Say(std::FILE* err, const std::string& message) { std::fprintf(err, "quolk: %s\n", message.c_str()); }
