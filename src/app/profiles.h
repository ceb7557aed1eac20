// The application profiles of the profile list (36): each fixes the three leak settings.
#pragma once

#include <cstdint>

#include "app/app_state.h"

enum ProfileItem : int64_t { ProfileDefault = 0, ProfileMenuBar = 1, ProfileFileConverter = 2, ProfileCustom = 3 };

// The profile's settings; false for a number that names no profile.
bool ProfileSettings(int64_t item, LeakSettings& out);

// The profile list's change: applies the selected profile (Custom always starts from its own
// values and shows Edit), shows the interval on the slider and its label, rebuilds the tooltip.
// The monitoring timer is left alone: the list is disabled during a session.
void ApplySelectedProfile(AppState& state);
