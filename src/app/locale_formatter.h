// The session's byte sizes and grouped counts in the desktop's locale.
#pragma once

#include "session/number_format.h"

// Digits, grouping and decimal separator of the user's locale (LC_ALL, LC_NUMERIC, LANG); the
// plain English (United States) forms when the locale is C or POSIX, as on a bare system.
SessionFormatter LocaleFormatter();
