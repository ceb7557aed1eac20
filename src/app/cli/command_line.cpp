#include "app/cli/command_line.h"

#include <cstring>

namespace {

const char* const kVersionLine = "Quolk 1.03\n";
const char* const kUsage =
    "Usage: quolk [OPTION]\n"
    "Watch the memory of a running process and judge whether it leaks.\n"
    "\n"
    "  (no option)      start the window\n"
    "  --help           show this help and exit\n"
    "  --version        show the version and exit\n";

}  // namespace

int RunCommandLine(int argc, char** argv, std::FILE* out, std::FILE* err) {
    if (argc < 2) return -1;
    const char* option = argv[1];
    if (std::strcmp(option, "--help") == 0 || std::strcmp(option, "-h") == 0) {
        std::fputs(kUsage, out);
        return 0;
    }
    if (std::strcmp(option, "--version") == 0) {
        std::fputs(kVersionLine, out);
        return 0;
    }
    std::fprintf(err, "quolk: unknown option '%s'\n", option);
    std::fputs(kUsage, err);
    return ExitUsageError;
}
