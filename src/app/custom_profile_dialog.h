// The custom profile dialog behind the Edit button: the three leak settings entered by hand.
#pragma once

#include <cstdint>

#include "app/app_state.h"

inline constexpr int64_t CustomProfileWindow = 3;

enum CustomProfileGadget : int64_t {
    GadgetCustomInterval = 40,
    GadgetCustomStreak = 41,
    GadgetCustomGrowth = 42,
    GadgetCustomCancel = 43,
    GadgetCustomSave = 44,
    GadgetCustomGrowthHelp = 45,
    GadgetCustomStreakHelp = 46,
};

// Runs the dialog as a sheet of the main window until Save or Cancel. Edits take effect at once;
// Save also moves the main window's slider and label to the interval, Cancel restores the three
// values the dialog started with. Every event not of the dialog's own gadgets is dropped meanwhile.
void CustomProfileDialog(AppState& state);
