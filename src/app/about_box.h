// The about box of the application menu.
#pragma once

#include "runtime/text.h"

// "An app memory diagnostic for Linux", "made with great angst", then the system it runs on and
// the maker's credit block.
Text AboutText(TextView systemName, TextView processorBrand);
// The modal about box: "Ok", or "See My Other Apps", which opens the maker's apps page.
void ShowAboutBox();
