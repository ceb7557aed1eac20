// Popovers: a bubble of text attached to one edge of a gadget. The program shows and closes it;
// clicks elsewhere leave it open, and it closes by itself when its window moves, is minimised or
// is hidden. Popovers are numbered objects like windows: AnyNumber gives a
// handle that serves as the number from then on.
#pragma once

#include <cstdint>

#include "runtime/objects.h"  // AnyNumber
#include "runtime/text.h"

class QWidget;

// The gadget's edge the popover opens at, numbered as the rectangle edges of a view whose origin
// is its top-left corner: 3 opens below the gadget, 2 to its right.
enum PopoverEdge : int { PopoverEdgeLeft = 0, PopoverEdgeTop = 1, PopoverEdgeRight = 2, PopoverEdgeBottom = 3 };

// A hidden popover of width x height points showing `text` wrapped at word boundaries, 20 points
// in from its sides and 10 from its top and bottom; a carriage return breaks the line as a line
// feed does. The popover as a number for an explicit number, the handle for AnyNumber, 0 on failure.
int64_t CreatePopover(int64_t number, TextView text, int width, int height);
bool IsPopover(int64_t popover);
// Shows the popover next to the gadget's edge, kept inside the screen. Nothing for a missing
// popover or gadget.
void ShowPopover(int64_t popover, int64_t gadget, int edge);
void ClosePopover(int64_t popover);
bool IsPopoverShown(int64_t popover);
// Closes the popover and forgets it.
void FreePopover(int64_t popover);
// The popover's platform window (for looking at it), nullptr if none.
QWidget* PopoverID(int64_t popover);
