// The main window (window 0): its gadgets, their start states, and the few texts the loop and the
// dialogs rewrite (the refresh interval, the profile list's tooltip).
#pragma once

#include <cstdint>

#include "quolk_version.h"
#include "runtime/text.h"

struct AppState;
struct SessionSettings;
using LeakSettings = SessionSettings;

inline constexpr int64_t MainWindow = 0;
inline constexpr int MainWindowWidth = 600;
inline constexpr int MainWindowHeight = 720;
inline constexpr const char16_t* MainWindowTitle = QuolkNameAndVersionText;

// Gadget numbers are global to the program; these are the main window's.
enum MainGadget : int64_t {
    GadgetBrowse = 5,
    GadgetTargetName = 7,
    GadgetVirtual = 8,
    GadgetFootprint = 9,
    GadgetDelta = 10,
    GadgetPeak = 11,
    GadgetThreads = 12,
    GadgetPageFaults = 13,
    GadgetPageIns = 14,
    GadgetCowFaults = 15,
    GadgetLastUpdated = 16,
    GadgetStreakAlert = 17,
    GadgetGrowthAlert = 18,
    GadgetAlertStatus = 19,
    GadgetAlertDetails = 20,
    GadgetTrendGraph = 21,
    GadgetStart = 22,
    GadgetPause = 23,
    GadgetStop = 24,
    GadgetCsvOutput = 25,
    GadgetRefreshSlider = 26,
    GadgetStatusLine = 27,
    GadgetAnalyze = 32,
    GadgetRefreshLabel = 33,
    GadgetBuyMe = 34,
    GadgetGlossary = 35,
    GadgetProfileList = 36,
    GadgetEditProfile = 37,
    GadgetDockStats = 38,
    GadgetDockStatList = 39,
};
inline constexpr int64_t FirstMainGadget = GadgetBrowse;
inline constexpr int64_t LastMainGadget = GadgetDockStatList;

// Opens window 0 centred on the screen with every gadget in its start state, its menu bar (About
// connected) and the profile list's tooltip. False when the window could not be opened.
bool OpenMainWindow(const AppState& state);

// The slider (26) at the interval and its label (33) reading it followed by " ms".
void ShowRefreshInterval(int64_t intervalMs);
// "Memory Growth (MB): 200", "Number of Leak Streaks: 3", "Refresh Interval (ms): 1000", one a
// line, in the loaded language.
Text ProfileToolTipText(const LeakSettings& settings);
// Sets that text as the profile list's tooltip.
void UpdateProfileToolTip(const LeakSettings& settings);
