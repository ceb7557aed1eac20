#include "app/main_window.h"

#include "app/app_state.h"
#include "strings/stringtable.h"
#include "toolkit/gadget.h"
#include "toolkit/event_queue.h"
#include "toolkit/menu.h"
#include "toolkit/window.h"

namespace {

constexpr char16_t kNoValue[] = u"--";

// Buttons and labels sized to their text.
int WidthOf(int textId) { return EstimateTextWidth(LookupText(textId)); }

void Label(int x, int y, int width, int height, int textId) {
    TextGadget(AnyNumber, x, y, width, height, LookupText(textId));
}
void SizedLabel(int x, int y, int height, int textId) { Label(x, y, WidthOf(textId), height, textId); }
void Value(int64_t gadget, int x, int y, int width, int height) {
    TextGadget(gadget, x, y, width, height, kNoValue);
}

void CreateProcessSelection() {
    FrameGadget(AnyNumber, 10, 30, 580, 110, LookupText(100));
    ButtonGadget(GadgetBrowse, 20, 52, WidthOf(101), 28, LookupText(101));
    TextGadget(GadgetTargetName, 180, 56, 500, 20, LookupText(102));
    Label(30, 100, 110, 20, 208);
    ComboBoxGadget(GadgetProfileList, 110, 100, 150, 20);
    for (int textId : {210, 212, 214, 216}) AddGadgetItem(GadgetProfileList, -1, LookupText(textId));
    SetGadgetState(GadgetProfileList, 0);
    ButtonGadget(GadgetEditProfile, 260, 96, WidthOf(218), 24, LookupText(218));
    SetGadgetSmallControlSize(GadgetEditProfile);
    HideGadget(GadgetEditProfile, 1);
    CheckBoxGadget(GadgetDockStats, 360, 96, 110, 20, LookupText(220));
    ComboBoxGadget(GadgetDockStatList, 460, 98, 120, 20);
    // The statistics' labels without their colon name the badge's choices.
    for (int textId : {105, 107, 106}) AddGadgetItem(GadgetDockStatList, -1, Trim(LookupText(textId), u":"));
}

void CreateMemoryStats() {
    FrameGadget(AnyNumber, 10, 145, 580, 140, LookupText(103));
    ButtonGadget(GadgetGlossary, 558, 160, 28, 28, u"?");
    SizedLabel(20, 170, 20, 104);
    Value(GadgetVirtual, 120, 170, 140, 20);
    SizedLabel(20, 200, 20, 105);
    Value(GadgetFootprint, 120, 200, 140, 20);
    SizedLabel(250, 200, 20, 106);
    Value(GadgetDelta, 300, 200, 140, 20);
    SizedLabel(400, 200, 20, 107);
    Value(GadgetPeak, 450, 200, 120, 20);
    Label(20, 230, 100, 20, 108);
    Value(GadgetThreads, 120, 230, 100, 20);
    SizedLabel(250, 230, 20, 109);
    Value(GadgetPageFaults, 340, 230, 200, 20);
    SizedLabel(250, 255, 20, 110);
    Value(GadgetPageIns, 340, 255, 140, 20);
    SizedLabel(400, 255, 20, 111);
    Value(GadgetCowFaults, 480, 255, 50, 140);
    SizedLabel(20, 255, 20, 112);
    Value(GadgetLastUpdated, 120, 255, 140, 20);
}

void CreateAlertsAndGraph() {
    FrameGadget(AnyNumber, 10, 295, 580, 80, LookupText(113));
    TextGadget(GadgetStreakAlert, 20, 317, 170, 20, LookupText(64));
    TextGadget(GadgetGrowthAlert, 200, 317, 170, 20, LookupText(65));
    TextGadget(GadgetAlertStatus, 380, 317, 170, 20, LookupText(114));
    SizedLabel(20, 345, 20, 115);
    TextGadget(GadgetAlertDetails, 80, 345, 490, 20, LookupText(116));
    FrameGadget(AnyNumber, 10, 385, 580, 180, LookupText(124));
    CanvasGadget(GadgetTrendGraph, 20, 410, 560, 140);
}

void CreateControls(const AppState& state) {
    FrameGadget(AnyNumber, 10, 575, 580, 90, u"");
    ButtonGadget(GadgetStart, 20, 592, WidthOf(117), 30, LookupText(117));
    ButtonGadget(GadgetPause, 115, 592, WidthOf(98), 30, LookupText(98));
    ButtonGadget(GadgetStop, 210, 592, WidthOf(118), 30, LookupText(118));
    ButtonGadget(GadgetAnalyze, 315, 592, WidthOf(119), 28, LookupText(119));
    CheckBoxGadget(GadgetCsvOutput, 430, 594, WidthOf(120), 20, LookupText(120));
    Label(20, 636, 180, 20, 121);
    TrackBarGadget(GadgetRefreshSlider, 150, 636, 350, 24, 500, 5000);
    SetGadgetState(GadgetRefreshSlider, state.settings.refreshIntervalMs);
    TextGadget(GadgetRefreshLabel, 520, 636, 60, 20, Str(state.settings.refreshIntervalMs) + u" ms");
    TextGadget(GadgetStatusLine, 20, 675, 580, 20, LookupText(122));
    // 25 high: the rounded push button.
    ButtonGadget(GadgetBuyMe, static_cast<int>(WindowWidth(MainWindow)) - 140, 674, WidthOf(123), 25,
                 LookupText(123));
}

void ApplyStartStates(const AppState& state) {
    SetGadgetState(GadgetDockStats, state.settings.dockStatsEnabled ? CheckBoxChecked : CheckBoxUnchecked);
    SetGadgetState(GadgetDockStatList, 0);
    SetGadgetSmallControlSize(GadgetGlossary);
    SetButtonCircularBezel(GadgetGlossary);
    DisableGadget(GadgetStart, state.targetName.empty() ? 1 : 0);
    DisableGadget(GadgetStop, 1);
    DisableGadget(GadgetPause, 1);
}

}  // namespace

bool OpenMainWindow(const AppState& state) {
    if (!OpenWindow(MainWindow, 100, 100, MainWindowWidth, MainWindowHeight, u"",
                    WindowScreenCentered | WindowMinimizeGadget | WindowSystemMenu))
        return false;
    SetWindowTitlebarTransparent(MainWindow, 1);
    SetWindowRepresentedFile(MainWindow, u"");
    SetWindowTitle(MainWindow, MainWindowTitle);
    CreateProcessSelection();
    CreateMemoryStats();
    CreateAlertsAndGraph();
    CreateControls(state);
    ApplyStartStates(state);
    CreateMenu(AnyNumber, WindowID(MainWindow));
    MenuItem(MenuItemAbout, u"About");
    UpdateProfileToolTip(state.settings);
    return true;
}

void ShowRefreshInterval(int64_t intervalMs) {
    SetGadgetState(GadgetRefreshSlider, intervalMs);
    SetGadgetText(GadgetRefreshLabel, Str(intervalMs) + u" ms");
}

Text ProfileToolTipText(const LeakSettings& settings) {
    return LookupText(232) + u": " + Str(RoundToInteger(settings.growthLimitMB)) + u"\n" + LookupText(234) +
           u": " + Str(settings.streakThreshold) + u"\n" + LookupText(236) + u": " +
           Str(settings.refreshIntervalMs);
}

void UpdateProfileToolTip(const LeakSettings& settings) {
    GadgetToolTip(GadgetProfileList, ProfileToolTipText(settings));
}
