// The main event loop: one event at a time, dispatched by kind and by gadget or menu number.
#pragma once

#include <cstdint>

#include "app/app_state.h"

// The About command the loop posts to itself for the application menu's About item.
inline constexpr int64_t MenuItemAboutCommand = 1;

// Runs until the user confirms quitting, then runs the quit sequence and returns the exit status
// (0). Windows other than the main one run their own loops inside the handlers.
int RunMainLoop(AppState& state);

// The donation prompt of the Buy Me button.
void BuyMePrompt();
// Asks whether to quit; true for Yes.
bool ConfirmQuit();
// Ends the session, frees the glossary popover and removes the sleep/wake observer.
void QuitSequence(AppState& state);
