// Requesters: the message requester, the open-file requester and the clipboard.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "runtime/text.h"

enum RequesterFlag : int {
    RequesterYesNo = 1,
    RequesterYesNoCancel = 2,
    RequesterInfo = 4,
    RequesterError = 8,
    RequesterWarning = 16,
    // A message with its default button only, shown window-modal over the key window while the
    // call returns at once (0): the program's timers and events go on while the user reads it.
    RequesterGoesOn = 32,
};
enum RequesterAnswer : int { RequesterCancel = 2, RequesterYes = 6, RequesterNo = 7 };

// Shows an alert and returns the answer (RequesterYes/No/Cancel), or 0 for an alert with only the
// default button.
int MessageRequester(TextView title, TextView message, int flags = 0);
// The chosen file's full path, or "" when cancelled. `defaultFile` is split at its last "/" into the
// starting folder and the proposed name. The pattern, "Name|*.ext|Name|*", gives the dialog's
// filters in order, the first one in force.
Text OpenFileRequester(TextView title, TextView defaultFile, TextView pattern, int patternPosition,
                       int flags = 0);
// An alert with the program's own buttons, the first of them the default (Return) and the answer
// of Escape and of the close button: the 1-based number of the button chosen, 0 for an alert
// without buttons.
int AlertRequester(TextView title, TextView message, const std::vector<Text>& buttons);
// Puts the text on the general clipboard as plain text; returns 1.
int SetClipboardText(TextView text);

// Yes/No/Cancel titles for the desktop's preferred language ("fr", "de", "it", "es" prefixes,
// else English).
struct RequesterButtonTitles {
    Text yes, no, cancel;
};
RequesterButtonTitles RequesterButtonTitlesFor(TextView languageTag);

// The seam through which tests (and the headless command line) answer requesters without a person.
// While a responder is set, the requesters do not open a dialog: they describe it to the responder
// and return its answer.
struct RequesterCall {
    enum Kind { Message, OpenFile, Alert } kind = Message;
    Text title;
    Text message;           // Message: the informative text
    int flags = 0;
    Text yesTitle, noTitle, cancelTitle;  // Message: the button titles it would show ("" if none)
    int icon = 0;           // Message: the icon flag that won (16, 4, 8) or 0
    Text startFolder;       // OpenFile
    Text proposedName;      // OpenFile
    std::vector<Text> filters;  // OpenFile: "CSV (*.csv)", in the order offered
    std::vector<Text> buttons;  // Alert: the button titles in order
};
struct RequesterResponse {
    int answer = 0;   // Message; Alert: the button's number
    Text path;        // OpenFile ("" = cancelled)
};
using RequesterResponder = std::function<RequesterResponse(const RequesterCall&)>;
void SetRequesterResponder(RequesterResponder responder);  // empty function: real dialogs again

// Brings the application to the front and, unless told otherwise, beeps: what the program does
// before every requester.
void AlertAttention(bool beep = true);
