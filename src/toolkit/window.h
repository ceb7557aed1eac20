// Numbered windows. Coordinates are points from the top-left corner of the screen; a window's
// width and height are those of its content, below the menu bar when it has one.
#pragma once

#include <cstdint>

#include "runtime/objects.h"  // AnyNumber
#include "runtime/text.h"

class QWidget;

enum WindowFlag : int {
    WindowInvisible = 0x01,
    WindowSizeGadget = 0x02,
    WindowSystemMenu = 0x04,         // close button
    WindowMaximizeGadget = 0x10,     // resizable, close button
    WindowMinimizeGadget = 0x20,     // minimise and close buttons
    WindowScreenCentered = 0x40,
    WindowBorderless = 0x80,
    WindowWindowCentered = 0x100,    // on the parent, or on the key window
    WindowMaximize = 0x200,          // resizable, maximised at opening
    WindowMinimize = 0x400,          // minimised at opening
    WindowNoGadgets = 0x1000,        // does not become the current gadget list
    WindowNoActivate = 0x2000,       // shown without becoming key
};
// x or y with this value centres the window on the screen.
inline constexpr int WindowCentredPosition = -65535;

// Opens a window: the platform window as a number for an explicit number, the new handle for
// AnyNumber, 0 on failure. A window with a parent (a window number) and without WindowInvisible
// is a dialog of it: it stays above it, moves with it and is minimised with it. Escape in a
// dialog that no control takes asks to close it, as its close button does.
int64_t OpenWindow(int64_t number, int x, int y, int innerWidth, int innerHeight, TextView title,
                   int flags = 0, int64_t parentWindow = -1);
// Closes a window with its gadgets, timers, menus and queued events; -1 closes every window.
void CloseWindow(int64_t number);
bool IsWindow(int64_t number);
QWidget* WindowID(int64_t number);
int64_t WindowWidth(int64_t number);
int64_t WindowHeight(int64_t number);
void SetWindowTitle(int64_t number, TextView title);
Text GetWindowTitle(int64_t number);
// Brings a visible window to the front (restored when it was minimised) and makes it key.
void SetActiveWindow(int64_t number);
// The key window's number, or -1.
int64_t GetActiveWindow();
// 1: input to the window is blocked and its title-bar buttons are disabled; 0: restored.
void DisableWindow(int64_t number, int state);
// Gadgets created from now on go into this window; the previous gadget list, or -1.
int64_t UseGadgetList(int64_t window);

// --- Sheets and window details -----------------------------------------------------------------

// Shows a window opened invisible as a window-modal sheet of `parentWindow`, centred on it: a
// dialog of that window (see OpenWindow), without minimise or maximise buttons.
void BeginSheet(int64_t window, int64_t parentWindow);
// Hides the sheet again; the program closes it afterwards.
void EndSheet(int64_t window);
// 0: the window stays where it is (it still follows its parent); 1: movable again.
void SetWindowMovable(int64_t number, int movable);
// The title bar's transparency and the represented file have no equivalent here: accepted and
// ignored.
void SetWindowTitlebarTransparent(int64_t number, int transparent);
void SetWindowRepresentedFile(int64_t number, TextView path);
