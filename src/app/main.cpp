#include <cstdio>

#include "app/cli/command_line.h"
#include "app/cli/private_program.h"

int main(int argc, char** argv) {
    const int status = RunCommandLine(argc, argv, stdout, stderr);
    if (status >= 0) return status;
    return RunWindow(argv, stderr);
}
