// Menus: a menu bar per window, and the application menu (About, Preferences…, Quit) that every
// menu bar carries. Menu selections queue menu events (code 1) with the item number as object.
#pragma once

#include <cstdint>

#include "runtime/objects.h"  // AnyNumber
#include "runtime/text.h"

class QAction;
class QWidget;

// A menu bar for the window (its platform window, WindowID), carrying the application menu. The
// bar as a number for an explicit number, the handle for AnyNumber, 0 when `window` is no window.
// The new bar becomes the current menu.
int64_t CreateMenu(int64_t number, QWidget* window);
// A titled menu in the current menu bar; items added afterwards go into it.
void MenuTitle(TextView title);
// Adds an item to the current menu. MenuItemAbout and MenuItemPreferences enable those items of
// the application menu, MenuItemQuit ties Quit to the current menu's window; none of them adds an
// item.
void MenuItem(int64_t item, TextView text);
// A separator in the current menu.
void MenuBar();
void FreeMenu(int64_t number);

// The application menu's actions (MenuItemAbout, MenuItemPreferences, MenuItemQuit), built by
// InitToolkit; nullptr before that or for another number.
QAction* ApplicationMenuAction(int64_t item);
// Builds the application menu; InitToolkit calls it once.
void BuildApplicationMenu();
// Forgets the application menu; EndToolkit calls it.
void FreeApplicationMenu();
