// The localized string table: every user-visible text by string identifier, in the language the
// user prefers, and the width estimate that sizes buttons and labels to their text.
//
// A string identifier is a decimal number written as text ("117"). Each language's table is one
// compiled-in block of NUL-terminated UTF-16 strings, identifier and text alternating, closed by
// "_END_" where an identifier would stand.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/map.h"
#include "runtime/text.h"
#include "strings/text_id.h"

// The loaded language's texts by identifier. 512 slots; filled once at start-up, read-only after.
extern StringMap<Text> TextMap;

// The user's preferred language as a table code ("fr_CA.UTF-8" -> "fr"); "en" when none is set.
Text DetectLanguage();

// A language tag or locale name reduced to a code: without its ".codeset" and "@modifier", cut
// before the first "-" (or, if there is none, the first "_") when at least one unit precedes it,
// otherwise kept whole; lowercased unit by unit; "" -> "en".
// "fr_CA.UTF-8" -> "fr", "de_DE-x" -> "de_de", "-fr" -> "-fr", "C.UTF-8" -> "c".
Text LanguageCodeFromTag(TextView tag);

// Clears TextMap and fills it from the block of `code`: "fr", "de", "es" or "it" by exact match,
// English for anything else. Identifiers the block lacks stay absent; nothing falls back.
// True when a translation was loaded, false for English.
bool LoadStringTable(TextView code);

// A copy of the text stored under `id`, or `defaultText` when the loaded table has no such entry.
Text LookupText(TextView id, TextView defaultText);
// The text stored under `id`, or the empty text when the loaded table has none.
Text LookupText(TextId id);

// Width in pixels of a button or label showing `text`: round(units * 7.54 + 36), halves away
// from zero.
int EstimateTextWidth(TextView text);

// --- The blocks themselves ---------------------------------------------------------------------

// One entry of a block; both views point into the block.
struct StringEntry {
    TextView id;
    TextView text;
};

// The entries of a block in stored order, up to the "_END_" that stands where an identifier is
// expected (a text reading "_END_" is an ordinary text). The walk never reads past the view.
std::vector<StringEntry> ReadStringBlock(TextView block);

// The whole block (every terminator included) that LoadStringTable walks for `code`.
TextView StringBlockForLanguage(TextView code);

// The text of `id` as UTF-8 with each "%1".."%9" in it replaced by that value, bytes as given, in
// one pass: a value's own "%2" is not replaced again.
std::string FilledText(TextId id, std::initializer_list<std::string_view> values = {});
