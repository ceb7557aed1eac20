#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <optional>

#include "runtime/text.h"
#include "scratch_dir.h"

namespace {

// Tables are written in UTF-8 so that failures print readably.
Text T(const std::string& utf8) { return TextFromUtf8(utf8); }
std::string U(TextView text) { return TextToUtf8(text); }

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr int64_t Min64 = std::numeric_limits<int64_t>::min(), Max64 = std::numeric_limits<int64_t>::max();

TEST(NumberText, StrAndStrFRoundTheFloatsExactBinaryValue) {
    EXPECT_EQ(U(Str(Min64)), "-9223372036854775808");
    const struct { float value; int64_t decimals; const char* expected; } cases[] = {
        {2.5f, 0, "2"}, {0.375f, 2, "0.38"}, {2.675f, 2, "2.67"},  // ties to even; the float lies below 2.675
        {0.1f, 12, "0.100000001490"}, {-0.004f, 2, "-0.00"},  // the float's digits; a rounded negative keeps its sign
        {std::numeric_limits<float>::infinity(), 2, "+Infinity"}, {-std::numeric_limits<float>::quiet_NaN(), 2, "NaN"},
        {100.0f, -1, "100"}, {0.1f, -1, "0.1000000015"}, {1.0f, Min64, "1"},  // -1 trims zeros, other negatives mean 0
    };
    for (const auto& c : cases) EXPECT_EQ(U(StrF(c.value, c.decimals)), c.expected) << c.value << " " << c.decimals;
}

// Against printf over floats of every size, ties among them, on both sides of the short way's
// 2^53 bound and its 12 decimals.
TEST(NumberText, StrFGivesPrintfsDigitsForAnyFloatAndPrecision) {
    uint32_t state = 12345;
    for (int i = 0; i < 20000; ++i) {
        state = state * 1664525u + 1013904223u;
        const float value = std::ldexp(float(state % 4096) / 8.0f - 256.0f, int(state >> 24) % 64 - 24);
        const int decimals = int(state >> 12) % 15;
        char expected[700];
        std::snprintf(expected, sizeof expected, "%.*f", decimals, double(value == 0.0f ? 0.0f : value));
        ASSERT_EQ(U(StrF(value, decimals)), expected) << value << " " << decimals;
    }
}

TEST(NumberText, ValReadsPrefixesStopsAtForeignCharactersAndWraps) {
    const struct { const char* text; int64_t expected; } cases[] = {
        {"  -42abc", -42}, {"-$FF", -255}, {"%101", 5}, {"- 5", 0},
        {"9223372036854775808", Min64}, {"$FFFFFFFFFFFFFFFF", -1},
    };
    for (const auto& c : cases) EXPECT_EQ(Val(T(c.text)), c.expected) << c.text;
}

bool SwitchToGerman() {
    return std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && std::strcmp(std::localeconv()->decimal_point, ",") == 0;
}

// LC_NUMERIC in de_DE.UTF-8 while it lives, compiled by localedef where it is not installed.
struct GermanNumbers {
    GermanNumbers() {
        if (SwitchToGerman()) return;
        std::system(("localedef -i de_DE -f UTF-8 '" + dir.File("de_DE.UTF-8") + "' >/dev/null 2>&1").c_str());
        path.emplace("LOCPATH", dir.path);
        if (!SwitchToGerman()) failure = "de_DE.UTF-8 is not installed and localedef could not build it";
    }
    ~GermanNumbers() { std::setlocale(LC_NUMERIC, "C"); }
    ScratchDir dir;
    std::optional<EnvScope> path;
    std::string failure;
};

TEST(NumberText, NumberTextsIgnoreADecimalCommaLocale) {
    ASSERT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");  // what the guard puts back
    GermanNumbers locale;
    if (!locale.failure.empty()) GTEST_SKIP() << locale.failure;
    ASSERT_EQ(std::atof("12,5"), 12.5) << "the locale is not in force";
    EXPECT_EQ(U(StrF(12.5f, 2) + u"|" + StrF(0.1f, -1)), "12.50|0.1000000015");
}

TEST(NumberText, RoundingModesAndRoundToInteger) {
    const double oddAbove2p52 = 4503599627370497.0;
    EXPECT_EQ(Round(-2.5, RoundNearest) + Round(0.49999999999999994, RoundNearest), -3.0);  // half away from zero
    const struct { double x; int64_t expected; } integers[] = {  // halves to even
        {2.5, 2}, {3.5, 4}, {-2.5, -2}, {oddAbove2p52, 4503599627370497}, {NaN, 0}, {1e300, Max64}, {-1e300, Min64}};
    for (const auto& c : integers) EXPECT_EQ(RoundToInteger(c.x), c.expected) << c.x;
}

TEST(TextOperations, CutSearchAndSplitByUnits) {
    const struct { const char* search; int64_t start, expected; } finds[] = {
        {"c", 4, 6}, {"c", -9, 3}, {"", 1, 0}, {"c", 99, 0}};
    for (const auto& c : finds) EXPECT_EQ(FindString(u"abcabc", T(c.search), c.start), c.expected) << c.start;
    EXPECT_EQ(U(ReplaceString(u"aaa", u"aa", u"b") + u"|" + ReplaceString(u"abc", u"", u"b")), "ba|abc");
    EXPECT_EQ(U(ReplaceString(u"xx", u"x", u"xx")), "xxxx");  // replacements are not searched again
    EXPECT_EQ(U(RemoveString(u"aAabcabc", u"bc")), "aAaa");
    EXPECT_EQ(U(Trim(u"\t a ") + u"|" + Trim(u"xxaxx", u"xy") + u"|" + Trim(u" a ", u"")), "\t a|a|a");
    const struct { const char* text; int64_t index; const char* separator; const char* expected; } fields[] = {
        {"a,,b", 3, ",", "b"}, {"a,b", 3, ",", ""}, {"abc", 2, "", ""}, {"a,b", 0, ",", ""}, {"a:b::c", 2, "::", "c"}};
    for (const auto& c : fields)
        EXPECT_EQ(U(StringField(T(c.text), c.index, T(c.separator))), c.expected) << c.text << " " << c.index;
}

TEST(TextOperations, LCaseMapsTheBasicPlaneWhateverTheLocale) {
    ASSERT_STREQ(std::setlocale(LC_CTYPE, nullptr), "C");  // the mapping must not come from the process
    EXPECT_EQ(U(LCase(T("AZ ÀÉÎ ΑΒΓ ЖЯ Straße"))), "az àéî αβγ жя straße");
    EXPECT_EQ(U(LCase(T("\xF0\x90\x90\x80"))), "\xF0\x90\x90\x80");  // beyond the basic plane: units stay
}

}  // namespace
