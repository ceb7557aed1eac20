// Dates: FormatDate of any 64-bit value with any mask, ParseDate of any text with any mask, and
// the round trip of what ParseDate accepts.
#include <cstdlib>

#include "fuzz_support.h"
#include "runtime/date.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("TZ", "UTC", 1);  // no gap of a change of offset: a parsed stamp formats back to itself
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Reader reader(data, size);
    const DateValue value = reader.Take<int64_t>();
    const Text mask = TextFromUtf8(reader.Part('\n'));
    const Text text = TextFromUtf8(reader.Rest());

    const Text formatted = FormatDate(mask, value);
    fuzz::Require(mask.empty() || value == -1 || !formatted.empty(), "a mask formats to something");
    const DateValue parsed = ParseDate(mask, text);
    if (parsed != -1) {
        // Every field of an accepted text is in range, so the value is one of years 1601 to 9999.
        fuzz::Require(parsed >= -11644473600 && parsed < 253402300800, "a parsed date lies in 1601..9999");
        const Text full = u"%yyyy/%mm/%dd %hh:%ii:%ss";
        fuzz::Require(ParseDate(full, FormatDate(full, parsed)) == parsed, "a parsed date formats back to itself",
                      TextToUtf8(text));
    }
    const Text stamp = FormatDate(u"%yyyy/%mm/%dd %hh:%ii:%ss", value);
    const DateValue again = ParseDate(u"%yyyy/%mm/%dd %hh:%ii:%ss", stamp);
    fuzz::Require(again == -1 || again == value, "a formatted date parses back to itself", TextToUtf8(stamp));
    return 0;
}
