// The two web pages the application opens: the maker's other apps and the donation page. Both are
// chosen when the application is built; an empty address opens nothing.
#pragma once

#include "runtime/text.h"

Text DonationUrl();
Text OtherAppsUrl();
// Opens the address in the user's browser; an empty or unusable address does nothing, quietly.
void OpenUrl(TextView url);
