#include "app/main_window.h"

#include "app/app_state.h"
#include "session/session_view.h"
#include "strings/stringtable.h"
#include "toolkit/gadget.h"
#include "toolkit/event_queue.h"
#include "toolkit/menu.h"
#include "toolkit/window.h"

namespace {

constexpr char16_t kNoValue[] = u"--";

// Buttons and labels sized to their text.
int WidthOf(TextId textId) { return EstimateTextWidth(LookupText(textId)); }

void Label(int x, int y, int width, int height, TextId textId) {
    TextGadget(AnyNumber, x, y, width, height, LookupText(textId));
}
void SizedLabel(int x, int y, int height, TextId textId) { Label(x, y, WidthOf(textId), height, textId); }
void Value(int64_t gadget, int x, int y, int width, int height) {
    TextGadget(gadget, x, y, width, height, kNoValue);
}

void CreateProcessSelection() {
    FrameGadget(AnyNumber, 10, 30, 580, 110, LookupText(TextId::ProcessSelectionFrame));
    ButtonGadget(GadgetBrowse, 20, 52, WidthOf(TextId::Browse), 28, LookupText(TextId::Browse));
    TextGadget(GadgetTargetName, 180, 56, 500, 20, LookupText(TextId::NoProcessSelected));
    Label(30, 100, 110, 20, TextId::AppProfileLabel);
    ComboBoxGadget(GadgetProfileList, 110, 100, 150, 20);
    for (TextId textId :
         {TextId::ProfileDefault, TextId::ProfileMenuBar, TextId::ProfileFileConverter, TextId::ProfileCustom})
        AddGadgetItem(GadgetProfileList, -1, LookupText(textId));
    SetGadgetState(GadgetProfileList, 0);
    ButtonGadget(GadgetEditProfile, 260, 96, WidthOf(TextId::EditProfile), 24, LookupText(TextId::EditProfile));
    SetGadgetSmallControlSize(GadgetEditProfile);
    HideGadget(GadgetEditProfile, 1);
    CheckBoxGadget(GadgetDockStats, 360, 96, 110, 20, LookupText(TextId::DockStats));
    ComboBoxGadget(GadgetDockStatList, 460, 98, 120, 20);
    // The statistics' labels without their colon name the badge's choices.
    for (TextId textId : {TextId::FootprintLabel, TextId::PeakLabel, TextId::DeltaLabel})
        AddGadgetItem(GadgetDockStatList, -1, Trim(LookupText(textId), u":"));
}

void CreateMemoryStats() {
    FrameGadget(AnyNumber, 10, 145, 580, 140, LookupText(TextId::MemoryStatsFrame));
    ButtonGadget(GadgetGlossary, 558, 160, 28, 28, u"?");
    SizedLabel(20, 170, 20, TextId::VirtualLabel);
    Value(GadgetVirtual, 120, 170, 140, 20);
    SizedLabel(20, 200, 20, TextId::FootprintLabel);
    Value(GadgetFootprint, 120, 200, 140, 20);
    SizedLabel(250, 200, 20, TextId::DeltaLabel);
    Value(GadgetDelta, 300, 200, 140, 20);
    SizedLabel(400, 200, 20, TextId::PeakLabel);
    Value(GadgetPeak, 450, 200, 120, 20);
    Label(20, 230, 100, 20, TextId::ThreadsLabel);
    Value(GadgetThreads, 120, 230, 100, 20);
    SizedLabel(250, 230, 20, TextId::PageFaultsLabel);
    Value(GadgetPageFaults, 340, 230, 200, 20);
    SizedLabel(250, 255, 20, TextId::PageInsLabel);
    Value(GadgetPageIns, 340, 255, 140, 20);
    SizedLabel(400, 255, 20, TextId::CowFaultsLabel);
    Value(GadgetCowFaults, 480, 255, 50, 140);
    SizedLabel(20, 255, 20, TextId::LastUpdatedLabel);
    Value(GadgetLastUpdated, 120, 255, 140, 20);
}

void CreateAlertsAndGraph() {
    FrameGadget(AnyNumber, 10, 295, 580, 80, LookupText(TextId::AlertsFrame));
    TextGadget(GadgetStreakAlert, 20, 317, 170, 20, LookupText(TextId::StreakIdle));
    TextGadget(GadgetGrowthAlert, 200, 317, 170, 20, LookupText(TextId::GrowthIdle));
    TextGadget(GadgetAlertStatus, 380, 317, 170, 20, LookupText(TextId::StatusOk));
    SizedLabel(20, 345, 20, TextId::DetailsLabel);
    TextGadget(GadgetAlertDetails, 80, 345, 490, 20, LookupText(TextId::Ready));
    FrameGadget(AnyNumber, 10, 385, 580, 180, LookupText(TextId::TrendFrame));
    CanvasGadget(GadgetTrendGraph, 20, 410, 560, 140);
}

void CreateControls(const AppState& state) {
    FrameGadget(AnyNumber, 10, 575, 580, 90, u"");
    ButtonGadget(GadgetStart, 20, 592, WidthOf(TextId::Start), 30, LookupText(TextId::Start));
    ButtonGadget(GadgetPause, 115, 592, WidthOf(TextId::Pause), 30, LookupText(TextId::Pause));
    ButtonGadget(GadgetStop, 210, 592, WidthOf(TextId::Stop), 30, LookupText(TextId::Stop));
    ButtonGadget(GadgetAnalyze, 315, 592, WidthOf(TextId::Analyze), 28, LookupText(TextId::Analyze));
    CheckBoxGadget(GadgetCsvOutput, 430, 594, WidthOf(TextId::OutputCsv), 20, LookupText(TextId::OutputCsv));
    Label(20, 636, 180, 20, TextId::RefreshRateLabel);
    TrackBarGadget(GadgetRefreshSlider, 150, 636, 350, 24, 500, 5000);
    // The interval snaps to half seconds: a key or a wheel notch moves one mark, a page two.
    SetTrackBarSteps(GadgetRefreshSlider, RefreshIntervalStepMs, 2 * RefreshIntervalStepMs);
    SetGadgetState(GadgetRefreshSlider, state.settings.refreshIntervalMs);
    TextGadget(GadgetRefreshLabel, 520, 636, 60, 20, RefreshIntervalText(state.settings.refreshIntervalMs));
    TextGadget(GadgetStatusLine, 20, 675, 580, 20, LookupText(TextId::StatusReady));
    // 25 high: the rounded push button.
    ButtonGadget(GadgetBuyMe, static_cast<int>(WindowWidth(MainWindow)) - 140, 674, WidthOf(TextId::BuyMeButton), 25,
                 LookupText(TextId::BuyMeButton));
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
    SetGadgetText(GadgetRefreshLabel, RefreshIntervalText(intervalMs));
}

Text ProfileToolTipText(const LeakSettings& settings) {
    return LookupText(TextId::GrowthLimitLabel) + u": " + Str(RoundToInteger(settings.growthLimitMB)) + u"\n" +
           LookupText(TextId::StreakCountLabel) + u": " + Str(settings.streakThreshold) + u"\n" +
           LookupText(TextId::RefreshIntervalLabel) + u": " + Str(settings.refreshIntervalMs);
}

void UpdateProfileToolTip(const LeakSettings& settings) {
    GadgetToolTip(GadgetProfileList, ProfileToolTipText(settings));
}
