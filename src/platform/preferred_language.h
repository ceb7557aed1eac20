// The desktop's preferred language, as the user's environment names it.
#pragma once

#include "runtime/text.h"

// The first entry of LANGUAGE (a colon-separated list), else LC_ALL, LC_MESSAGES, LANG: the first
// of them that is set and not empty, as written there ("fr_CA.UTF-8", "de", "C.UTF-8"). "" if none.
Text PreferredLanguageTag();
