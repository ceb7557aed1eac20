// Start-up: from process launch to the main window and its loop.
#pragma once

class SleepWakeObserver;
// The observer whose sleep and wake reach the main loop as events 1068 and 1069 of window 0;
// nullptr without a system bus or logind.
SleepWakeObserver* StartSleepWakeObserver();

struct AppState;
// With the toolkit running: the numeric locale "C", an empty history, the string table of the
// user's language, the sleep/wake observer and the main window. False when the window could not
// be opened.
bool StartApplication(AppState& state);

// Starts the toolkit, sets up the state, the language, the sleep/wake observer and the main
// window, and runs the main loop. The exit status.
int RunApplication(int& argc, char** argv);

// Test-only: with this variable set to 1 the program ends right after the main window's first
// paint (the start-up benchmark times exactly that).
inline constexpr char QuitAfterFirstPaintVariable[] = "QUOLK_QUIT_AFTER_FIRST_PAINT";
