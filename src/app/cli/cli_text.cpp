#include "app/cli/cli_text.h"

std::string Figure(const char* format, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

void Say(std::FILE* err, const std::string& message) { std::fprintf(err, "quolk: %s\n", message.c_str()); }
