#include "app/custom_profile_dialog.h"

#include "app/help_popover.h"
#include "app/main_window.h"
#include "strings/stringtable.h"
#include "toolkit/application.h"
#include "toolkit/event_queue.h"
#include "toolkit/gadget.h"
#include "toolkit/popover.h"
#include "toolkit/window.h"

namespace {

void CreateSpin(int64_t gadget, int y, int minimum, int maximum, int64_t value) {
    SpinGadget(gadget, 210, y, 100, 25, minimum, maximum, SpinNumeric);
    SetGadgetTextAlignment(gadget, GadgetAlignCenter);
    SetGadgetRoundedBezel(gadget);
    SetGadgetState(gadget, value);
}

void CreateHelpButton(int64_t gadget, int y) {
    ButtonGadget(gadget, 314, y, 28, 28, u"?");
    SetButtonCircularBezel(gadget);
    SetGadgetSmallControlSize(gadget);
}

bool OpenDialogWindow(const LeakSettings& settings) {
    if (!OpenWindow(CustomProfileWindow, 0, 0, 360, 280, u"", WindowInvisible)) return false;
    TextGadget(AnyNumber, 10, 20, 350, 25, LookupText(TextId::CustomProfileTitle), TextCenter);
    // Each label ends before its field, which starts at 210.
    TextGadget(AnyNumber, 16, 64, 190, 25, LookupText(TextId::GrowthLimitLabel));
    CreateSpin(GadgetCustomGrowth, 60, 10, 999, RoundToInteger(settings.growthLimitMB));
    CreateHelpButton(GadgetCustomGrowthHelp, 58);
    TextGadget(AnyNumber, 16, 104, 190, 25, LookupText(TextId::StreakCountLabel));
    CreateSpin(GadgetCustomStreak, 100, 1, 10, settings.streakThreshold);
    CreateHelpButton(GadgetCustomStreakHelp, 98);
    TextGadget(AnyNumber, 16, 144, 190, 25, LookupText(TextId::RefreshIntervalLabel));
    CreateSpin(GadgetCustomInterval, 140, 500, 5000, settings.refreshIntervalMs);
    ButtonGadget(GadgetCustomCancel, 140, 240, EstimateTextWidth(LookupText(TextId::CustomProfileCancel)), 25,
                 LookupText(TextId::CustomProfileCancel));
    ButtonGadget(GadgetCustomSave, 250, 240, EstimateTextWidth(LookupText(TextId::Save)), 25, LookupText(TextId::Save),
                 ButtonDefault);
    return true;
}

struct DialogPopovers {
    HelpPopover* growth = nullptr;
    HelpPopover* streak = nullptr;
    ~DialogPopovers() {
        FreeHelpPopover(growth);
        FreeHelpPopover(streak);
    }
};

void ToggleHelp(HelpPopover*& help, TextId textId, int height, int64_t gadget) {
    if (!help) help = CreateHelpPopover(LookupText(textId), 320, height);
    ToggleHelpPopover(help, gadget, PopoverEdgeRight);
}

// One event of the dialog's own window; true when the dialog is done.
bool HandleDialogGadget(AppState& state, DialogPopovers& popovers) {
    const int64_t gadget = EventGadget();
    const bool changed = EventType() == EventTypeChange;
    LeakSettings& settings = state.settings;
    switch (gadget) {
    case GadgetCustomGrowth:
        if (changed) settings.growthLimitMB = static_cast<float>(GetGadgetState(gadget));
        return false;
    case GadgetCustomStreak:
        if (changed) settings.streakThreshold = GetGadgetState(gadget);
        return false;
    case GadgetCustomInterval:
        if (changed) settings.refreshIntervalMs = GetGadgetState(gadget);
        return false;
    case GadgetCustomGrowthHelp: ToggleHelp(popovers.growth, TextId::GrowthHelp, 200, gadget); return false;
    case GadgetCustomStreakHelp: ToggleHelp(popovers.streak, TextId::StreakHelp, 140, gadget); return false;
    case GadgetCustomSave:
        settings.growthLimitMB = static_cast<float>(GetGadgetState(GadgetCustomGrowth));
        settings.streakThreshold = GetGadgetState(GadgetCustomStreak);
        settings.refreshIntervalMs = GetGadgetState(GadgetCustomInterval);
        ShowRefreshInterval(settings.refreshIntervalMs);
        return true;
    case GadgetCustomCancel: return true;
    default: return false;
    }
}

}  // namespace

void CustomProfileDialog(AppState& state) {
    BringApplicationToFront();
    const LeakSettings startValues = state.settings;
    if (!OpenDialogWindow(state.settings)) return;
    BeginSheet(CustomProfileWindow, MainWindow);
    bool saved = false;
    {
        DialogPopovers popovers;
        for (bool done = false; !done;) {
            const int32_t code = WaitWindowEvent();
            if (EventWindow() != CustomProfileWindow) continue;
            // Its close request (Escape) is a Cancel.
            if (code == EventCodeCloseWindow) break;
            if (code != EventCodeGadget) continue;
            done = HandleDialogGadget(state, popovers);
            saved = done && EventGadget() == GadgetCustomSave;
        }
        EndSheet(CustomProfileWindow);
        CloseWindow(CustomProfileWindow);
    }
    // A cancelled dialog changes nothing, also not through the edits made before Cancel.
    if (!saved) state.settings = startValues;
    SetActiveWindow(MainWindow);
}
