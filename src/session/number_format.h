// Byte sizes and grouped counts in the user's locale. The window backs this with the desktop's
// locale; the tests and the headless recorder use the plain formatter, which writes what an
// English (United States) desktop shows.
#pragma once

#include <cstdint>

#include "runtime/text.h"

struct SessionFormatter {
    // A byte count in decimal units with the unit's name: "Zero KB", "512 bytes", "845 KB",
    // "12.4 MB", "2.35 GB". An empty text when the locale cannot format it.
    Text (*byteCount)(int64_t bytes){};
    // A whole number with the locale's digit grouping: "12,345".
    Text (*groupedCount)(int64_t count){};
};

// A byte count in the unit it is shown in: the value in that unit (sign included), the decimals
// it is shown with before trailing zeros are dropped, and the unit's English name ("bytes", "KB",
// "MB", ...; "byte" for exactly one). A zero count is 0 KB.
struct ByteCountParts {
    double value{};
    int decimals{};
    const char* unit{"KB"};
};
ByteCountParts SplitByteCount(int64_t bytes);

// en_US: "," groups thousands, "." separates decimals.
Text PlainByteCount(int64_t bytes);
Text PlainGroupedCount(int64_t count);
// The formatter made of the two functions above.
SessionFormatter PlainFormatter();
