#include "app/main_window.h"

#include "app/app_state.h"
#include "app/trend_graph.h"
#include "session/session_view.h"
#include "strings/stringtable.h"
#include "toolkit/gadget.h"
#include "toolkit/event_queue.h"
#include "toolkit/menu.h"
#include "toolkit/window.h"

namespace {

constexpr char16_t kNoValue[] = u"--";

// Buttons sized to their text where their row has room for the estimate.
int WidthOf(TextId textId) { return EstimateTextWidth(LookupText(textId)); }

// Labels end a few pixels before what follows them on their row; their texts fit in every language.
void Label(int x, int y, int width, int height, TextId textId) {
    TextGadget(AnyNumber, x, y, width, height, LookupText(textId));
}
void Value(int64_t gadget, int x, int y, int width, int height) {
    TextGadget(gadget, x, y, width, height, kNoValue);
}

void CreateProcessSelection() {
    FrameGadget(AnyNumber, 10, 30, 580, 110, LookupText(TextId::ProcessSelectionFrame));
    ButtonGadget(GadgetBrowse, 20, 52, WidthOf(TextId::Browse), 28, LookupText(TextId::Browse));
    TextGadget(GadgetTargetName, 180, 56, 400, 20, LookupText(TextId::NoProcessSelected));
    Label(30, 100, 78, 20, TextId::AppProfileLabel);
    ComboBoxGadget(GadgetProfileList, 110, 100, 140, 20);
    for (TextId textId :
         {TextId::ProfileDefault, TextId::ProfileMenuBar, TextId::ProfileFileConverter, TextId::ProfileCustom})
        AddGadgetItem(GadgetProfileList, -1, LookupText(textId));
    SetGadgetState(GadgetProfileList, 0);
    ButtonGadget(GadgetEditProfile, 253, 96, 80, 24, LookupText(TextId::EditProfile));
    SetGadgetSmallControlSize(GadgetEditProfile);
    HideGadget(GadgetEditProfile, 1);
    CheckBoxGadget(GadgetDockStats, 340, 96, 112, 20, LookupText(TextId::DockStats));
    ComboBoxGadget(GadgetDockStatList, 456, 98, 124, 20);
    // The statistics' labels without their colon (and the space before it in French) name the
    // badge's choices.
    for (TextId textId : {TextId::FootprintLabel, TextId::PeakLabel, TextId::DeltaLabel})
        AddGadgetItem(GadgetDockStatList, -1, Trim(Trim(LookupText(textId), u":"), u" "));
}

void CreateMemoryStats() {
    FrameGadget(AnyNumber, 10, 145, 580, 140, LookupText(TextId::MemoryStatsFrame));
    ButtonGadget(GadgetGlossary, 558, 160, 28, 28, u"?");
    Label(20, 170, 104, 20, TextId::VirtualLabel);
    Value(GadgetVirtual, 128, 170, 118, 20);
    Label(20, 200, 104, 20, TextId::FootprintLabel);
    Value(GadgetFootprint, 128, 200, 118, 20);
    Label(250, 200, 46, 20, TextId::DeltaLabel);
    Value(GadgetDelta, 300, 200, 96, 20);
    Label(400, 200, 46, 20, TextId::PeakLabel);
    Value(GadgetPeak, 450, 200, 120, 20);
    Label(20, 230, 104, 20, TextId::ThreadsLabel);
    Value(GadgetThreads, 128, 230, 100, 20);
    Label(250, 230, 91, 20, TextId::PageFaultsLabel);
    Value(GadgetPageFaults, 345, 230, 200, 20);
    Label(250, 255, 91, 20, TextId::PageInsLabel);
    Value(GadgetPageIns, 345, 255, 71, 20);
    Label(420, 255, 80, 20, TextId::CowFaultsLabel);
    Value(GadgetCowFaults, 504, 255, 66, 20);
    Label(20, 255, 104, 20, TextId::LastUpdatedLabel);
    Value(GadgetLastUpdated, 128, 255, 118, 20);
}

void CreateAlertsAndGraph() {
    FrameGadget(AnyNumber, 10, 295, 580, 80, LookupText(TextId::AlertsFrame));
    TextGadget(GadgetStreakAlert, 20, 317, 170, 20, LookupText(TextId::StreakIdle));
    TextGadget(GadgetGrowthAlert, 200, 317, 170, 20, LookupText(TextId::GrowthIdle));
    TextGadget(GadgetAlertStatus, 380, 317, 170, 20, LookupText(TextId::StatusOk));
    Label(20, 345, 58, 20, TextId::DetailsLabel);
    TextGadget(GadgetAlertDetails, 80, 345, 490, 20, LookupText(TextId::Ready));
    FrameGadget(AnyNumber, 10, 385, 580, 180, LookupText(TextId::TrendFrame));
    CanvasGadget(GadgetTrendGraph, 20, 410, 560, 140);
}

void CreateControls(const AppState& state) {
    FrameGadget(AnyNumber, 10, 575, 580, 90, u"");
    ButtonGadget(GadgetStart, 20, 592, WidthOf(TextId::Start), 30, LookupText(TextId::Start));
    // Pause has room for its other caption, "▶ Resume".
    ButtonGadget(GadgetPause, 115, 592, 96, 30, LookupText(TextId::Pause));
    ButtonGadget(GadgetStop, 216, 592, 96, 30, LookupText(TextId::Stop));
    ButtonGadget(GadgetAnalyze, 318, 592, 104, 28, LookupText(TextId::Analyze));
    CheckBoxGadget(GadgetCsvOutput, 428, 594, 152, 20, LookupText(TextId::OutputCsv));
    Label(20, 636, 132, 20, TextId::RefreshRateLabel);
    TrackBarGadget(GadgetRefreshSlider, 155, 636, 345, 24, 500, 5000);
    // The interval snaps to half seconds: a key or a wheel notch moves one mark, a page two.
    SetTrackBarSteps(GadgetRefreshSlider, RefreshIntervalStepMs, 2 * RefreshIntervalStepMs);
    SetGadgetState(GadgetRefreshSlider, state.settings.refreshIntervalMs);
    TextGadget(GadgetRefreshLabel, 520, 636, 60, 20, RefreshIntervalText(state.settings.refreshIntervalMs));
    TextGadget(GadgetStatusLine, 20, 675, 444, 20, LookupText(TextId::StatusReady));
    // 25 high: the rounded push button, its right edge on the frames' above.
    ButtonGadget(GadgetBuyMe, 470, 674, 120, 25, LookupText(TextId::BuyMeButton));
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
    // The graph's background, grid and legend from the first paint on, before any session.
    TrendPlan emptyGraph;
    DrawTrendGraph(GadgetTrendGraph, state.history, emptyGraph);
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
