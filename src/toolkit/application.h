// The toolkit's application: the QApplication, the application menu, and the desktop's requests
// to quit, which become Quit menu events (menu item -4, window -1) instead of ending the program.
#pragma once

#include "runtime/text.h"

class QIcon;

// Creates the QApplication unless one exists, gives it the toolkit's style, builds the application
// menu and installs the quit interception. `applicationName` names the application in its
// application menu and in the title bars of its requesters (the executable's name when empty);
// `desktopFileName` is its desktop entry's name without ".desktop", through which the desktop
// finds its icon. `argc` and `argv` must outlive the application. Returns 1.
int InitToolkit(int& argc, char** argv, TextView applicationName = u"", TextView desktopFileName = u"");
// Closes every window, frees the menus, empties the event queue and deletes the QApplication if
// InitToolkit created it.
void EndToolkit();

// Qt loads every image format plugin (JPEG, GIF, SVG and the rest) the first time it reads any
// image, even one of its own built-in PNGs (a check box's mark): work a window's first paint can do
// without. From HoldPluginsBack to LetPluginsIn Qt finds no plugin (the platform's own are loaded
// by then); LetPluginsIn makes every one findable again.
void HoldPluginsBack();
void LetPluginsIn();

// Loads Qt's own translations (its dialogs' labels and buttons) for a language code ("fr") in
// place of those loaded before; "" or a language without them: Qt speaks English again (false).
bool LoadToolkitTranslations(TextView languageCode);

// Brings the application's key window (else its first visible window) to the front.
void BringApplicationToFront();
// The desktop's alert sound.
void Beep();

// The icon of every window, dialog and requester that the application opens.
void SetApplicationIcon(const QIcon& icon);
