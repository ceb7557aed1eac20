// The window's own program, lib/quolk/quolk, which `quolk` starts when no command is given
// (app/cli/private_program.h): the only program of Quolk that links Qt.
#include "app/startup.h"

int main(int argc, char** argv) { return RunApplication(argc, argv); }
