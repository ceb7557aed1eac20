#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <string>

#include "runtime/text.h"

using namespace std::string_literals;

namespace {

// Tables are written in UTF-8 so that failures print readably.
Text T(const std::string& utf8) { return TextFromUtf8(utf8); }
std::string U(TextView text) { return TextToUtf8(text); }

constexpr double Inf = std::numeric_limits<double>::infinity();
constexpr float FloatInf = std::numeric_limits<float>::infinity();

// Switches one locale category for the length of a test and puts the previous one back.
class LocaleGuard {
public:
    LocaleGuard(int category, const char* name) : category_(category) {
        const char* old = std::setlocale(category, nullptr);
        old_ = old ? old : "C";
        active_ = std::setlocale(category, name) != nullptr;
    }
    ~LocaleGuard() { std::setlocale(category_, old_.c_str()); }
    bool active() const { return active_; }

private:
    int category_;
    std::string old_;
    bool active_ = false;
};

TEST(NumberText, StrPrintsAllDigitsWithoutGrouping) {
    const struct { int64_t n; const char* expected; } cases[] = {
        {0, "0"}, {-7, "-7"}, {1234567, "1234567"},
        {std::numeric_limits<int64_t>::max(), "9223372036854775807"},
        {std::numeric_limits<int64_t>::min(), "-9223372036854775808"},
    };
    for (const auto& c : cases) EXPECT_EQ(U(Str(c.n)), c.expected) << c.n;
}

struct StrFCase {
    float value;
    int64_t decimals;
    const char* expected;
};

void ExpectStrF(std::initializer_list<StrFCase> cases) {
    for (const auto& c : cases) {
        EXPECT_EQ(U(StrF(c.value, c.decimals)), c.expected) << c.value << " with " << c.decimals;
    }
}

TEST(NumberText, StrFRoundsTheFloatsExactBinaryValue) {
    ExpectStrF({
        {1234.5f, 1, "1234.5"}, {7.0f, 0, "7"}, {212.75f, 2, "212.75"}, {-1.5f, 1, "-1.5"},
        {0.125f, 2, "0.12"}, {0.375f, 2, "0.38"}, {2.5f, 0, "2"}, {3.5f, 0, "4"},  // ties to even
        {2.675f, 2, "2.67"},  // the float lies below 2.675
        {static_cast<float>(16777217.0), 0, "16777216"},  // the float's digits, not the double's
        {static_cast<float>(0.1), 12, "0.100000001490"},
        {static_cast<float>(3.3), 1, "3.3"},
        {std::numeric_limits<float>::max(), 0, "340282346638528859811704183484516925440"},
    });
}

TEST(NumberText, StrFSignsOfZeroAndSpecialValues) {
    ExpectStrF({
        {-0.0f, 2, "0.00"}, {-0.0f, 0, "0"}, {-0.0f, -1, "0"},
        {-0.004f, 2, "-0.00"},  // a negative value that rounds to zero keeps its sign
        {FloatInf, 2, "+Infinity"}, {-FloatInf, 0, "-Infinity"},
        {std::numeric_limits<float>::quiet_NaN(), 2, "NaN"},
        {-std::numeric_limits<float>::quiet_NaN(), 2, "NaN"},
    });
}

TEST(NumberText, StrFClampsDecimalsAndMinusOneTrimsZeros) {
    ExpectStrF({
        {1.5f, -1, "1.5"}, {2.0f, -1, "2"},
        {100.0f, -1, "100"},  // zeros before the point stay
        {static_cast<float>(0.1), -1, "0.1000000015"}, {1e-11f, -1, "0"}, {-1e-11f, -1, "-0"},
        {2.5f, -5, "2"},  // below 0 other than -1 means 0
        {1.0f, std::numeric_limits<int64_t>::min(), "1"},
    });
    EXPECT_EQ(U(StrF(1.0f, 600)), "1." + std::string(512, '0'));
    EXPECT_EQ(U(StrF(-0.5f, 512)), "-0.5" + std::string(511, '0'));
}

TEST(NumberText, ValReadsSignsPrefixesAndStopsAtForeignCharacters) {
    const struct { const char* text; int64_t expected; } cases[] = {
        {"  -42abc", -42}, {"$ff", 255},  {"$FF", 255},  {"-$ff", -255}, {"%101", 5},
        {"%2", 0},         {"abc", 0},    {"", 0},       {"+12", 12},    {"\t 7", 7},
        {"- 5", 0},        {"$", 0},      {"$g1", 0},    {"0012", 12},   {"12.9", 12},
        {"\n5", 0},        {"1 2", 1},    {"%1012", 5},
    };
    for (const auto& c : cases) EXPECT_EQ(Val(T(c.text)), c.expected) << c.text;
}

TEST(NumberText, ValWrapsAroundIn64Bits) {
    const struct { const char* text; int64_t expected; } cases[] = {
        {"9223372036854775807", std::numeric_limits<int64_t>::max()},
        {"9223372036854775808", std::numeric_limits<int64_t>::min()},
        {"-9223372036854775808", std::numeric_limits<int64_t>::min()},
        {"18446744073709551617", 1},
        {"$FFFFFFFFFFFFFFFF", -1},
        {"$10000000000000001", 1},
    };
    for (const auto& c : cases) EXPECT_EQ(Val(T(c.text)), c.expected) << c.text;
}

// Compares doubles so that NaN equals NaN.
void ExpectSameDouble(double actual, double expected, const std::string& text) {
    if (std::isnan(expected)) {
        EXPECT_TRUE(std::isnan(actual)) << text << " gave " << actual;
    } else {
        EXPECT_EQ(actual, expected) << text;
    }
}

TEST(NumberText, ValDFollowsAtofAfterTheRuntimesOwnRules) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct { std::string text; double expected; } cases[] = {
        {"12.5", 12.5},        {" 12.5", 12.5},       {"12,5", 12.0},        {"", 0.0},
        {"n/a", nan},          {"nothing", nan},      {"NAN", nan},          {"nan", nan},
        {"Nope", 0.0},         {"+Infinity", Inf},    {"-INFINITY", -Inf},   {"+infinityx", Inf},
        {"-inf", -Inf},        {"Infinity", Inf},     {"1e3", 1000.0},       {"3.5MB", 3.5},
        {"0x1p3", 8.0},        {"  +0x10", 16.0},     {"-0x.8", -0.5},       {"\n\t\v 4", 4.0},
        {".5", 0.5},           {"5.", 5.0},           {"1e", 1.0},           {"e5", 0.0},
        {"1e999", Inf},        {"-1e999", -Inf},      {"1e-400", 0.0},       {"abc", 0.0},
        {"1\xE2\x82\xAC" "2", 12.0},  // a unit above 255 is dropped before parsing
        {"1\xC2\xA0" "2", 1.0},       // U+00A0 becomes a byte that ends the number
    };
    for (const auto& c : cases) ExpectSameDouble(ValD(T(c.text)), c.expected, c.text);
}

TEST(NumberText, ValDParsesOnlyTheFirst1023Bytes) {
    EXPECT_EQ(ValD(T(std::string(1022, ' ') + "7")), 7.0);
    EXPECT_EQ(ValD(T(std::string(1023, ' ') + "7")), 0.0);
    // Dropped units do not count against the limit.
    EXPECT_EQ(ValD(T(std::string(1022, ' ') + "\xE2\x82\xAC" "7")), 7.0);
}

TEST(NumberText, ValFNarrowsValDAndKnowsTheSpecialWords) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct { const char* text; float expected; } cases[] = {
        {"nothing", nan}, {"NAN", nan}, {"nAn", nan}, {"-INFINITY", -FloatInf},
        {"+infinity", FloatInf}, {"1e3", 1000.0f}, {"3.5MB", 3.5f}, {"0.1", 0.1f},
        {"1e39", FloatInf}, {"3.4028235e38", std::numeric_limits<float>::max()},
        {"16777217", 16777216.0f},
    };
    for (const auto& c : cases) ExpectSameDouble(ValF(T(c.text)), c.expected, c.text);
}

TEST(NumberText, NumberTextsIgnoreADecimalCommaLocale) {
    const char* candidates[] = {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8",
                                "it_IT.UTF-8", "es_ES.UTF-8", "nl_NL.UTF-8"};
    for (const char* name : candidates) {
        LocaleGuard guard(LC_NUMERIC, name);
        if (!guard.active() || std::strcmp(std::localeconv()->decimal_point, ",") != 0) continue;
        char printed[16];
        std::snprintf(printed, sizeof printed, "%.2f", 12.5);
        ASSERT_STREQ(printed, "12,50") << "the locale " << name << " is not in force";

        EXPECT_EQ(U(StrF(12.5f, 2)), "12.50");
        EXPECT_EQ(U(StrF(0.1f, -1)), "0.1000000015");
        EXPECT_EQ(ValD(u"12.5"), 12.5);
        EXPECT_EQ(ValD(u"12,5"), 12.0);
        EXPECT_EQ(ValF(u"0.25"), 0.25f);
        return;
    }
    GTEST_SKIP() << "no locale with a decimal comma is installed (tried de_DE, fr_FR, it_IT, es_ES, nl_NL)";
}

TEST(NumberText, RoundModes) {
    const struct { double x; int mode; double expected; } cases[] = {
        {2.5, RoundNearest, 3.0}, {-2.5, RoundNearest, -3.0}, {2.4, RoundNearest, 2.0},
        {-2.6, RoundNearest, -3.0}, {0.49999999999999994, RoundNearest, 0.0},
        {4503599627370497.0, RoundNearest, 4503599627370497.0},
        {2.5, RoundDown, 2.0}, {-2.5, RoundDown, -3.0}, {2.1, RoundUp, 3.0}, {-2.1, RoundUp, -2.0},
        {2.7, 9, 2.0}, {-2.7, -1, -3.0},  // other modes floor
    };
    for (const auto& c : cases) EXPECT_EQ(Round(c.x, c.mode), c.expected) << c.x << " mode " << c.mode;
    EXPECT_EQ(Abs(-3.25), 3.25);
}

TEST(NumberText, RoundToIntegerSendsHalvesToEven) {
    const struct { double x; int64_t expected; } cases[] = {
        {2.5, 2}, {3.5, 4}, {-2.5, -2}, {-3.5, -4}, {0.5, 0}, {-0.5, 0}, {1.5, 2},
        {2.4999, 2}, {2.6, 3}, {-2.6, -3}, {0.49999999999999994, 0},
        {4503599627370497.0, 4503599627370497},
        {std::numeric_limits<double>::quiet_NaN(), 0},
        {1e300, std::numeric_limits<int64_t>::max()},
        {-1e300, std::numeric_limits<int64_t>::min()},
        {-9223372036854775808.0, std::numeric_limits<int64_t>::min()},
    };
    for (const auto& c : cases) EXPECT_EQ(RoundToInteger(c.x), c.expected) << c.x;
}

TEST(TextOperations, LeftRightAndLen) {
    const struct { const char* text; int64_t n; const char* left; const char* right; } cases[] = {
        {"abc", 2, "ab", "bc"}, {"abc", 3, "abc", "abc"}, {"abc", 10, "abc", "abc"},
        {"abc", 0, "", ""},     {"abc", -1, "", ""},      {"", 2, "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(U(Left(T(c.text), c.n)), c.left) << c.text << " " << c.n;
        EXPECT_EQ(U(Right(T(c.text), c.n)), c.right) << c.text << " " << c.n;
    }
    EXPECT_EQ(Len(u""), 0);
    EXPECT_EQ(Len(T("é")), 1);
    EXPECT_EQ(Len(T("\xF0\x9F\x98\x80")), 2);  // a surrogate pair is two units
}

TEST(TextOperations, FindStringPositionsAndStart) {
    const struct { const char* text; const char* search; int64_t start; int64_t expected; } cases[] = {
        {"abcabc", "c", 4, 6},  {"abcabc", "c", 0, 3},  {"abcabc", "c", 1, 3},   {"abcabc", "c", -9, 3},
        {"abcabc", "c", 3, 3},  {"abcabc", "bc", 3, 5}, {"abcabc", "", 1, 0},    {"", "a", 0, 0},
        {"abc", "c", 99, 0},    {"abc", "C", 0, 0},     {"abc", "abcd", 0, 0},   {"aXbX", "X", 0, 2},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FindString(T(c.text), T(c.search), c.start), c.expected)
            << c.search << " in " << c.text << " from " << c.start;
    }
}

TEST(TextOperations, CountReplaceAndRemoveNeverOverlap) {
    const struct {
        const char* text;
        const char* search;
        int64_t count;
        const char* replacedByB;
        const char* removed;
    } cases[] = {
        {"aaaa", "aa", 2, "bb", ""},     {"aaa", "aa", 1, "ba", "a"},  {"abcabc", "bc", 2, "abab", "aa"},
        {"abc", "", 0, "abc", "abc"},    {"", "a", 0, "", ""},         {"aAa", "a", 2, "bAb", "A"},
        {"xyz", "q", 0, "xyz", "xyz"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CountString(T(c.text), T(c.search)), c.count) << c.search << " in " << c.text;
        EXPECT_EQ(U(ReplaceString(T(c.text), T(c.search), u"b")), c.replacedByB) << c.text;
        EXPECT_EQ(U(RemoveString(T(c.text), T(c.search))), c.removed) << c.text;
    }
    EXPECT_EQ(U(ReplaceString(u"a.b.c", u".", u"::")), "a::b::c");
    EXPECT_EQ(U(ReplaceString(u"xx", u"x", u"xx")), "xxxx");  // replacements are not searched again
    EXPECT_EQ(U(ReplaceString(u"abc", u"b", u"")), "ac");
}

TEST(TextOperations, TrimRemovesOnlyTheGivenUnit) {
    const struct { const char* text; const char* character; const char* expected; } cases[] = {
        {"\t a ", " ", "\t a"},  {"  a b  ", " ", "a b"}, {"    ", " ", ""},   {"", " ", ""},
        {"xxaxx", "x", "a"},     {"xxaxx", "xy", "a"},    {" a ", "", "a"},   {"xax ", "x", "ax "},
    };
    for (const auto& c : cases) EXPECT_EQ(U(Trim(T(c.text), T(c.character))), c.expected) << c.text;
    EXPECT_EQ(U(Trim(u"  a  ")), "a");
}

TEST(TextOperations, LSetCutsOrPadsToExactlyTheWidth) {
    const struct { const char* text; int64_t width; const char* expected; } cases[] = {
        {"abcdef", 3, "abc"}, {"ab", 5, "ab   "}, {"ab", 0, ""}, {"ab", -3, ""}, {"", 2, "  "}, {"ab", 2, "ab"},
    };
    for (const auto& c : cases) EXPECT_EQ(U(LSet(T(c.text), c.width)), c.expected) << c.text << " " << c.width;
}

TEST(TextOperations, StringFieldSplitsAtEverySeparator) {
    const struct { const char* text; int64_t index; const char* separator; const char* expected; } cases[] = {
        {"a,,b", 2, ",", ""},        {"a,,b", 3, ",", "b"},        {"a,b", 3, ",", ""},
        {"abc", 1, "", "abc"},       {"abc", 2, "", ""},           {"a,b", 0, ",", ""},
        {"a,b", -1, ",", ""},        {"a,b", 1, ",", "a"},         {"a,b", 2, ",", "b"},
        {"a::b::c", 2, "::", "b"},   {"a:b::c", 1, "::", "a:b"},   {"a:b::c", 2, "::", "c"},
        {",a,", 1, ",", ""},         {",a,", 3, ",", ""},          {",a,", 4, ",", ""},
        {"", 1, ",", ""},            {"a;b", 1, ",", "a;b"},       {"12.5,3,x", 3, ",", "x"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(U(StringField(T(c.text), c.index, T(c.separator))), c.expected)
            << c.text << " field " << c.index << " at '" << c.separator << "'";
    }
}

TEST(TextOperations, LCaseMapsTheBasicPlaneWhateverTheLocale) {
    LocaleGuard plainC(LC_ALL, "C");  // the mapping must not come from the process locale
    const struct { const char* text; const char* expected; } cases[] = {
        {"ABC xyz 09", "abc xyz 09"}, {"ÀÉÎÕÜ", "àéîõü"}, {"ΑΒΓΔ Σ", "αβγδ σ"},
        {"ЖЯ", "жя"}, {"Straße", "straße"},
        {"\xF0\x90\x90\x80", "\xF0\x90\x90\x80"},  // beyond the basic plane: units stay
    };
    for (const auto& c : cases) EXPECT_EQ(U(LCase(T(c.text))), c.expected) << c.text;
}

TEST(TextBoundaries, PeekSCountsCharactersUnitsOrBytes) {
    const struct { std::string bytes; int64_t length; int encoding; const char* expected; } cases[] = {
        {"h\xC3\xA9llo\0xyz"s, -1, EncodingUtf8, "héllo"},
        {"h\xC3\xA9llo"s, 2, EncodingUtf8, "hé"},  // characters, not bytes
        {"\xE2\x82\xACuro"s, 1, EncodingUtf8, "€"},
        {"\xF0\x9F\x98\x80x"s, 1, EncodingUtf8, "\xF0\x9F\x98\x80"},
        {"ab\0cd"s, 4, EncodingUtf8, "ab"},
        {"abc"s, 0, EncodingUtf8, ""},
        {"a\xFF" "b"s, -1, EncodingUtf8, "a?b"},
        {"a\xE2\x82"s, -1, EncodingUtf8, "a??"},
        {"\xE9t\xE9"s, 2, EncodingUtf8, "?t"},  // Latin-1 bytes: one "?" per byte
        {"\xC0\x80z"s, -1, EncodingUtf8, "??z"},
        {"h\0i\0\0\0"s, -1, EncodingUtf16, "hi"},
        {"h\0i\0"s, 1, EncodingUtf16, "h"},
        {"\xAC\x20\x3D\xD8\x00\xDE\0\0"s, -1, EncodingUtf16, "€\xF0\x9F\x98\x80"},
        {"caf\xE9"s, -1, EncodingAscii, "café"},
        {"caf\xE9"s, 2, EncodingAscii, "ca"},
        {"ab\0cd"s, 5, EncodingAscii, "ab"},
        {"\xC3\xA9"s, -1, 0, "Ã©"},  // other encodings map bytes to units
        {"xyz"s, -7, EncodingAscii, "xyz"},
    };
    for (const auto& c : cases) {
        // The std::string keeps a NUL behind its bytes, which ends every -1 read.
        EXPECT_EQ(U(PeekS(c.bytes.c_str(), c.length, c.encoding)), c.expected)
            << c.length << " " << c.encoding;
    }
    EXPECT_EQ(U(PeekS(nullptr, -1, EncodingUtf8)), "");
}

TEST(TextBoundaries, PeekSStopsAtTheEndOfAFieldWithoutNul) {
    struct {
        char name[16];
        char next[8];
    } record;
    std::memset(record.name, 'a', sizeof record.name);
    std::strcpy(record.next, "zzz");
    EXPECT_EQ(U(PeekS(record.name, 16, EncodingUtf8)), std::string(16, 'a'));
    EXPECT_EQ(U(PeekS(record.name, 16, EncodingAscii)), std::string(16, 'a'));
}

}  // namespace
