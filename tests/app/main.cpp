#include "gui_test_main.h"

int main(int argc, char** argv) { return RunGuiTests(argc, argv); }
