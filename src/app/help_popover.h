// Help popovers: a text bubble beside a "?" button that stays open until the button is pressed
// again. Created on first use and reused.
#pragma once

#include <cstdint>

#include "runtime/text.h"

struct HelpPopover {
    int64_t popover = 0;  // the toolkit's popover handle
};

// A hidden popover of width x height points showing the text.
HelpPopover* CreateHelpPopover(TextView text, int width, int height);
// Shows the popover at the gadget's edge, or closes it when it is shown.
void ToggleHelpPopover(HelpPopover* help, int64_t gadget, int edge);
bool HelpPopoverShown(const HelpPopover* help);
// Closes and frees everything the popover holds; nullptr is allowed.
void FreeHelpPopover(HelpPopover* help);
