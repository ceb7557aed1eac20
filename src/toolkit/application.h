// The toolkit's application: the QApplication, the application menu, and the desktop's requests
// to quit, which become Quit menu events (menu item -4, window -1) instead of ending the program.
#pragma once

class QIcon;

// Creates the QApplication unless one exists, builds the application menu and installs the quit
// interception. `argc` and `argv` must outlive the application. Returns 1.
int InitToolkit(int& argc, char** argv);
// Closes every window, frees the menus, empties the event queue and deletes the QApplication if
// InitToolkit created it.
void EndToolkit();

// Brings the application's key window (else its first visible window) to the front.
void BringApplicationToFront();
// The desktop's alert sound.
void Beep();

// The icon of every window, dialog and requester that the application opens.
void SetApplicationIcon(const QIcon& icon);
