// Start-up: from process launch to the main window and its loop.
#pragma once

class SleepWakeObserver;
// The observer whose sleep and wake reach the main loop as events 1068 and 1069 of window 0;
// nullptr without a system bus or logind.
SleepWakeObserver* StartSleepWakeObserver();

struct AppState;
// With the toolkit running: the numeric locale "C", an empty history, the string table of the
// user's language and the main window. False when the window could not be opened.
bool StartApplication(AppState& state);

// What the main window's first paint does not need, done right after it so that the window shows
// sooner: the application's icon (six PNG renders decoded) and the sleep/wake observer (a
// connection to the system bus).
void FinishStart(AppState& state);
// Has FinishStart run once the main window has painted for the first time.
void FinishStartAfterFirstPaint(AppState& state);

// Starts the toolkit, sets up the state, the language and the main window, runs the main loop
// (which finishes the start after the first paint). The exit status.
int RunApplication(int& argc, char** argv);

// Test-only: with this variable set to 1 the program ends right after the main window's first
// paint (the start-up benchmark times exactly that).
inline constexpr char QuitAfterFirstPaintVariable[] = "QUOLK_QUIT_AFTER_FIRST_PAINT";
