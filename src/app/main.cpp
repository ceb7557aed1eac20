#include <cstdio>

#include "app/cli/command_line.h"

int main(int argc, char** argv) {
    int status = RunCommandLine(argc, argv, stdout, stderr);
    if (status >= 0) return status;
    // The window comes with the toolkit; until then, say how to use the command line.
    std::fputs("Usage: quolk [--analyze FILE | --help | --version]\n", stdout);
    return 0;
}
