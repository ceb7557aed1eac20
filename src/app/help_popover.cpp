#include "app/help_popover.h"

#include "toolkit/popover.h"

HelpPopover* CreateHelpPopover(TextView text, int width, int height) {
    const int64_t popover = CreatePopover(AnyNumber, text, width, height);
    if (!popover) return nullptr;
    return new HelpPopover{popover};
}

void ToggleHelpPopover(HelpPopover* help, int64_t gadget, int edge) {
    if (!help || !IsPopover(help->popover)) return;
    if (IsPopoverShown(help->popover))
        ClosePopover(help->popover);
    else
        ShowPopover(help->popover, gadget, edge);
}

bool HelpPopoverShown(const HelpPopover* help) { return help && IsPopoverShown(help->popover); }

void FreeHelpPopover(HelpPopover* help) {
    if (!help) return;
    FreePopover(help->popover);
    delete help;
}
