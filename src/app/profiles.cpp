#include "app/profiles.h"

#include <array>

#include "app/main_window.h"
#include "toolkit/gadget.h"

namespace {

struct Profile {
    int64_t refreshIntervalMs;
    int64_t streakThreshold;
    float growthLimitMB;
};

constexpr std::array<Profile, 4> kProfiles = {{
    {1000, 3, 200.0f},  // Default
    {2000, 5, 50.0f},   // Menu Bar
    {500, 2, 500.0f},   // File Converter
    {1000, 3, 250.0f},  // Custom, before the dialog changes it
}};

}  // namespace

bool ProfileSettings(int64_t item, LeakSettings& out) {
    if (item < 0 || item >= static_cast<int64_t>(kProfiles.size())) return false;
    const Profile& profile = kProfiles[static_cast<size_t>(item)];
    // Only the three leak settings: the session's options stay as they are.
    out.refreshIntervalMs = profile.refreshIntervalMs;
    out.streakThreshold = profile.streakThreshold;
    out.growthLimitMB = profile.growthLimitMB;
    return true;
}

void ApplySelectedProfile(AppState& state) {
    const int64_t item = GetGadgetState(GadgetProfileList);
    if (ProfileSettings(item, state.settings)) HideGadget(GadgetEditProfile, item == ProfileCustom ? 0 : 1);
    ShowRefreshInterval(state.settings.refreshIntervalMs);
    UpdateProfileToolTip(state.settings);
}
