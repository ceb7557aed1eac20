#include <cstdio>

#include "app/cli/command_line.h"
#include "app/startup.h"

int main(int argc, char** argv) {
    const int status = RunCommandLine(argc, argv, stdout, stderr);
    if (status >= 0) return status;
    // Without a display Qt would abort; the command line still works.
    if (!DisplayAvailable()) return SayNoDisplay(stderr);
    return RunApplication(argc, argv);
}
