#include "app/event_loop.h"

#include <array>

#include "app/about_box.h"
#include "app/custom_profile_dialog.h"
#include "app/help_popover.h"
#include "app/main_window.h"
#include "app/monitoring.h"
#include "app/open_url.h"
#include "app/profiles.h"
#include "platform/sleep_wake.h"
#include "strings/stringtable.h"
#include "toolkit/event_queue.h"
#include "toolkit/gadget.h"
#include "toolkit/popover.h"
#include "toolkit/requester.h"
#include "toolkit/window.h"

namespace {

constexpr int64_t AnyEventType = -1;

// One row per main-window gadget the loop answers: its number, the event type it answers (or any)
// and the handler.
struct GadgetRow {
    int64_t gadget;
    int64_t eventType;
    void (*handler)(AppState&);
};

void ToggleGlossary(AppState& state) {
    if (!state.glossaryPopover) state.glossaryPopover = CreateHelpPopover(LookupText(TextId::Glossary), 550, 440);
    ToggleHelpPopover(state.glossaryPopover, GadgetGlossary, PopoverEdgeBottom);
}

void EditCustomProfile(AppState& state) {
    CustomProfileDialog(state);
    UpdateProfileToolTip(state.settings);
}

const std::array<GadgetRow, 13> kGadgetRows = {{
    {GadgetBrowse, AnyEventType, BrowseClicked},
    {GadgetStart, AnyEventType, StartMonitoring},
    {GadgetPause, AnyEventType, PauseResumeClicked},
    {GadgetStop, AnyEventType, StopMonitoring},
    {GadgetAnalyze, AnyEventType, AnalyzeClicked},
    {GadgetCsvOutput, AnyEventType, CsvOptionClicked},
    {GadgetRefreshSlider, AnyEventType, RefreshSliderMoved},
    {GadgetBuyMe, AnyEventType, [](AppState&) { BuyMePrompt(); }},
    {GadgetGlossary, AnyEventType, ToggleGlossary},
    {GadgetProfileList, EventTypeChange, ApplySelectedProfile},
    {GadgetEditProfile, AnyEventType, EditCustomProfile},
    {GadgetDockStats, AnyEventType, DockStatsClicked},
    {GadgetDockStatList, EventTypeChange, DockStatSelected},
}};

void DispatchGadget(AppState& state) {
    const int64_t gadget = EventGadget();
    if (gadget < FirstMainGadget || gadget > LastMainGadget) return;
    for (const GadgetRow& row : kGadgetRows) {
        if (row.gadget != gadget) continue;
        if (row.eventType == AnyEventType || row.eventType == EventType()) row.handler(state);
        return;
    }
}

// False when the user confirmed quitting.
bool DispatchMenu(AppState& state) {
    switch (EventMenu()) {
    case MenuItemAboutCommand:
        ShowAboutBox();
        SetActiveWindow(MainWindow);
        return true;
    case MenuItemAbout: PostEvent(EventCodeMenu, MainWindow, MenuItemAboutCommand); return true;
    case MenuItemQuit: return !ConfirmQuit();
    default: return true;
    }
}

// One event; false when the user confirmed quitting.
bool Dispatch(AppState& state, int32_t code) {
    switch (code) {
    case EventCodeMenu: return DispatchMenu(state);
    case EventCodeCloseWindow: return !ConfirmQuit();
    case EventCodeGadget: DispatchGadget(state); return true;
    case EventCodeTimer:
        if (EventTimer() == MonitorTimer) MonitorTick(state);
        return true;
    case EventSystemWillSleep: SystemSleepChanged(state, true); return true;
    case EventSystemDidWake: SystemSleepChanged(state, false); return true;
    default: return true;
    }
}

}  // namespace

void BuyMePrompt() {
    AlertAttention();
    if (MessageRequester(LookupText(TextId::BuyCoffeeTitle), LookupText(TextId::DonationPlea) + u"\n",
                         RequesterYesNo) == RequesterYes)
        OpenUrl(DonationUrl());
}

bool ConfirmQuit() {
    AlertAttention();
    return MessageRequester(LookupText(TextId::Confirmation), LookupText(TextId::QuitQuestionPrefix) + u"Quolk?\n",
                            RequesterYesNo) == RequesterYes;
}

void QuitSequence(AppState& state) {
    StopMonitoring(state);
    FreeHelpPopover(state.glossaryPopover);
    state.glossaryPopover = nullptr;
    RemoveSleepWakeObserver(state.sleepWakeObserver);
    state.sleepWakeObserver = nullptr;
}

int RunMainLoop(AppState& state) {
    for (;;) {
        // The session's target and profile cannot change while it runs.
        const int busy = SessionActive(state) ? 1 : 0;
        for (int64_t gadget : {GadgetBrowse, GadgetProfileList, GadgetEditProfile}) DisableGadget(gadget, busy);
        const int32_t code = WaitWindowEvent();
        if (code == -1) continue;
        if (!Dispatch(state, code)) break;
    }
    QuitSequence(state);
    return 0;
}
