// Web addresses handed to the user's default browser.
#pragma once

#include <functional>

#include "runtime/text.h"

// Opens the address in the desktop's browser. A text that is no valid address is tried once more
// with every character outside a URL query's allowed set percent-encoded; when that is no valid
// address either, nothing is opened. False when nothing was opened.
bool OpenUrlInBrowser(TextView url);

// The seam through which tests see what would be opened: while set, the address (as it would be
// opened) goes to this function instead of the desktop, and its result is the result.
using UrlOpener = std::function<bool(const Text& url)>;
void SetUrlOpener(UrlOpener opener);  // empty function: the desktop again
