// What needs Qt is kept out of the `quolk` binary, in private programs in lib/quolk beside bin/
// (the build tree has the same layout: build/bin/quolk, build/lib/quolk, and build/quolk a link
// to build/bin/quolk). `quolk` turns into one only when a command needs it, by executing it in
// its own place, so that --record, --analyze and every other command run without a Qt or X
// library mapped, and a server needs none installed. Two take its place: the window
// (lib/quolk/quolk) and the server of --serve (lib/quolk/quolk-serve), which links the Prometheus
// client library and the C++ runtime's shared libraries that it needs. The third, the drawing
// program of --plot (lib/quolk/quolk-plot, Qt's painter offscreen), is started as a child by
// plot_output.h when, and only when, a plot is asked for.
#pragma once

#include <cstdio>
#include <string>

// The folder of the running executable; "" when /proc cannot tell it.
std::string RunningFolder();

// The path of the private program `name`: the folder of the running executable, then
// ../lib/quolk/name; "" when /proc cannot tell the running executable.
std::string PrivateProgramPath(const char* name);

// Replaces this process with the private program, given argv as it is (argv[0] stays what the
// user typed). Returns only when that fails, with the reason in `error`.
void ExecPrivateProgram(const char* name, char** argv, std::string& error);

// Whether a window can be shown: DISPLAY or WAYLAND_DISPLAY is set, or QT_QPA_PLATFORM chooses a
// platform.
bool DisplayAvailable();

// Starts the window's program in this process's place. Without a display, or when the program
// cannot be started (the quolk-cli package alone is installed), one line on `err` says why and
// the status is 1.
int RunWindow(char** argv, std::FILE* err);

// Starts the server of --serve in this process's place; when it cannot be started, one line on
// `err` says why and the status is 2.
int RunServeProgram(char** argv, std::FILE* err);
