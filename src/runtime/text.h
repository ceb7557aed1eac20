// Texts and number formatting: the runtime's text model and the conversions between numbers and
// texts that every layer above shows, logs and reads back.
//
// A text is a sequence of UTF-16 code units; lengths and positions count units, positions are
// 1-based. An absent text and the empty text are the same value. Number texts never depend on the
// process locale: the decimal separator is always "." and nothing is grouped.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

using Text = std::u16string;
using TextView = std::u16string_view;

enum RoundMode : int { RoundDown = 0, RoundUp = 1, RoundNearest = 2 };

// --- Numbers to texts and back ---------------------------------------------------------------

// Decimal digits, "-" for negatives, no grouping.
Text Str(int64_t n);
// A 32-bit float with `decimals` digits after the point, rounded as printf rounds the exact binary
// value; "+Infinity", "-Infinity", "NaN"; zero never prints a sign; decimals clamped to 0..512,
// -1 meaning "as many as needed" (trailing zeros removed).
Text StrF(float value, int64_t decimals);
// StrF's characters as ASCII in `buffer`, for the writers of files, which need no text: the largest
// float has 39 integer digits, so with a sign, a point and 512 decimals this is enough.
constexpr size_t StrFBytes = 600;
std::string_view StrFAscii(float value, int64_t decimals, char (&buffer)[StrFBytes]);
// Leading blanks/tabs, optional sign, then decimal digits, "%" binary or "$" hexadecimal digits;
// stops at the first foreign character; 64-bit wrap-around.
int64_t Val(TextView text);
// atof in the "C" locale on the text's 8-bit units, narrowed to float; "+Infinity", "-Infinity"
// and "NaN" in any case are recognised whole, and a leading lower-case "n" reads as NaN whatever
// follows.
float ValF(TextView text);
// RoundDown floor, RoundUp ceil, RoundNearest halves away from zero (exactly, also for
// 0.49999999999999994 and integers above 2^52); other modes floor.
double Round(double x, int mode);
// The conversion of a floating value to an integer: nearest, halves to even. NaN gives 0; values
// beyond the 64-bit range give the nearest bound.
int64_t RoundToInteger(double x);

// --- Text operations -------------------------------------------------------------------------

int64_t Len(TextView text);
// 1-based position of the first occurrence at or after `start` (below 2: from the start); 0 if none
// or if either text is empty.
int64_t FindString(TextView text, TextView search, int64_t start = 0);
int64_t CountString(TextView text, TextView search);
Text ReplaceString(TextView text, TextView search, TextView replacement);
Text RemoveString(TextView text, TextView search);
// Removes every leading and trailing occurrence of the first unit of `character` (a space when
// empty); other white space stays.
Text Trim(TextView text, TextView character = u" ");
// Unicode simple lower-case mapping of each unit of the basic plane, whatever the process locale.
Text LCase(TextView text);
// Exactly `width` units: cut, or padded with spaces on the right.
Text LSet(TextView text, int64_t width);
// The index-th (1-based) field between separators; "" outside.
Text StringField(TextView text, int64_t index, TextView separator);

// --- Conversions at the boundaries -------------------------------------------------------------

// The code point that starts at unit i (below the text's length) and the number of units it takes:
// 2 for a surrogate pair, else 1, a lone surrogate (U+D800 to U+DFFF) coming back as it is.
char32_t CodePointAt(TextView text, size_t i, size_t& units);
// UTF-8 copy of a text (std::string keeps its own terminating NUL).
std::string TextToUtf8(TextView text);
// UTF-8 bytes to a text. Malformed UTF-8 never crashes: each byte that starts no valid sequence
// reads as "?".
Text TextFromUtf8(std::string_view bytes);
