// The window's own program, lib/quolk/quolk, which `quolk` starts when no command is given
// (app/cli/private_program.h): of the programs Quolk installs, the only one that links Qt.
#include "app/startup.h"

int main(int argc, char** argv) { return RunApplication(argc, argv); }
