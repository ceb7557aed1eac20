#include "app/locale_formatter.h"

#include <gtest/gtest.h>

#include "runtime/text.h"

// The test environment runs in the C locale, where the window shows the plain English forms; the
// locale formatter must then agree with the plain one the recorder uses.
TEST(LocaleFormatter, CLocaleGivesThePlainEnglishForms) {
    const SessionFormatter locale = LocaleFormatter();
    for (int64_t bytes : {int64_t(0), int64_t(1), int64_t(999), int64_t(1500), int64_t(12345678),
                          int64_t(1500000000), int64_t(1523410000), int64_t(-1500), INT64_MAX})
        EXPECT_EQ(TextToUtf8(locale.byteCount(bytes)), TextToUtf8(PlainByteCount(bytes))) << bytes;
    for (int64_t n : {int64_t(0), int64_t(999), int64_t(12345), int64_t(-1234567), INT64_MIN})
        EXPECT_EQ(TextToUtf8(locale.groupedCount(n)), TextToUtf8(PlainGroupedCount(n))) << n;
}
