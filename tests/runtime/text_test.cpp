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

using namespace std::string_literals;

namespace {

// Tables are written in UTF-8 so that failures print readably.
Text T(const std::string& utf8) { return TextFromUtf8(utf8); }
std::string U(TextView text) { return TextToUtf8(text); }

constexpr double Inf = std::numeric_limits<double>::infinity(), NaN = std::numeric_limits<double>::quiet_NaN();
constexpr float FInf = std::numeric_limits<float>::infinity();
constexpr int64_t Min64 = std::numeric_limits<int64_t>::min(), Max64 = std::numeric_limits<int64_t>::max();

void ExpectSameOrBothNaN(double actual, double expected, const std::string& text) {
    EXPECT_TRUE(std::isnan(expected) ? std::isnan(actual) : actual == expected) << text << " gave " << actual;
}

TEST(NumberText, StrAndStrFRoundTheFloatsExactBinaryValue) {
    EXPECT_EQ(U(Str(Min64)), "-9223372036854775808");
    const struct { float value; int64_t decimals; const char* expected; } cases[] = {
        {2.5f, 0, "2"}, {3.5f, 0, "4"}, {0.125f, 2, "0.12"}, {0.375f, 2, "0.38"},  // ties to even
        {2.675f, 2, "2.67"},  // the float lies below 2.675
        {16777217.0f, 0, "16777216"}, {0.1f, 12, "0.100000001490"},  // the float's digits, not the double's
        {-0.0f, 2, "0.00"}, {-0.0f, -1, "0"}, {-0.004f, 2, "-0.00"},  // a rounded negative keeps its sign
        {FInf, 2, "+Infinity"}, {-FInf, 0, "-Infinity"}, {-std::numeric_limits<float>::quiet_NaN(), 2, "NaN"},
        {1.5f, -1, "1.5"}, {100.0f, -1, "100"}, {0.1f, -1, "0.1000000015"},  // -1 trims zeros
        {2.5f, -5, "2"}, {1.0f, Min64, "1"},  // other negatives mean 0
    };
    for (const auto& c : cases) EXPECT_EQ(U(StrF(c.value, c.decimals)), c.expected) << c.value << " " << c.decimals;
    EXPECT_EQ(U(StrF(1.0f, 600)), "1." + std::string(512, '0'));
}

TEST(NumberText, ValReadsPrefixesStopsAtForeignCharactersAndWraps) {
    const struct { const char* text; int64_t expected; } cases[] = {
        {"  -42abc", -42}, {"\t+12", 12}, {"$ff", 255}, {"-$FF", -255}, {"%101", 5}, {"%2", 0}, {"$g1", 0},
        {"- 5", 0}, {"\n5", 0}, {"12.9", 12}, {"", 0}, {"9223372036854775808", Min64},
        {"18446744073709551617", 1}, {"$FFFFFFFFFFFFFFFF", -1},
    };
    for (const auto& c : cases) EXPECT_EQ(Val(T(c.text)), c.expected) << c.text;
}

TEST(NumberText, ValDIsAtofWithTheRuntimesOwnWords) {
    const struct { std::string text; double expected; } cases[] = {
        {" 12.5", 12.5}, {"12,5", 12.0}, {"", 0.0}, {"n/a", NaN}, {"nothing", NaN}, {"NAN", NaN},
        {"Nope", 0.0}, {"+Infinity", Inf}, {"-INFINITY", -Inf}, {"+infinityx", Inf}, {"1e999", Inf},
        {"3.5MB", 3.5}, {"0x1p3", 8.0}, {"\n\t\v 4", 4.0}, {"1e", 1.0},
        {"1\xE2\x82\xAC" "2", 12.0},  // a unit above 255 is dropped before parsing
        {"1\xC2\xA0" "2", 1.0},       // U+00A0 becomes a byte that ends the number
    };
    for (const auto& c : cases) ExpectSameOrBothNaN(ValD(T(c.text)), c.expected, c.text);
    // Only the first 1023 bytes are parsed; dropped units do not count.
    EXPECT_EQ(ValD(T(std::string(1022, ' ') + "7")), 7.0);
    EXPECT_EQ(ValD(T(std::string(1023, ' ') + "7")), 0.0);
    EXPECT_EQ(ValD(T(std::string(1022, ' ') + "\xE2\x82\xAC" "7")), 7.0);

    const struct { const char* text; float expected; } floats[] = {
        {"nAn", NAN}, {"-INFINITY", -FInf}, {"1e39", FInf}, {"16777217", 16777216.0f}, {"0.1", 0.1f}};
    for (const auto& c : floats) ExpectSameOrBothNaN(ValF(T(c.text)), c.expected, c.text);
}

bool SwitchToGerman() {
    return std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && std::strcmp(std::localeconv()->decimal_point, ",") == 0;
}

// LC_NUMERIC in de_DE.UTF-8 while it lives: the installed locale, else one that localedef compiles
// into a temporary directory that LOCPATH points at. `failure` says why there is none.
struct GermanNumbers {
    GermanNumbers() {
        if (const char* path = std::getenv("LOCPATH")) oldPath = path;
        if (SwitchToGerman()) return;
        if (!std::filesystem::exists("/usr/share/i18n/locales/de_DE")) {
            failure = "de_DE is not installed and /usr/share/i18n/locales/de_DE, its source, is missing";
            return;
        }
        std::system(("localedef -i de_DE -f UTF-8 '" + dir.File("de_DE.UTF-8") + "' >/dev/null 2>&1").c_str());
        setenv("LOCPATH", dir.path.c_str(), 1);
        if (!SwitchToGerman()) failure = "localedef could not build de_DE.UTF-8 in '" + dir.path + "'";
    }
    ~GermanNumbers() {
        std::setlocale(LC_NUMERIC, "C");
        if (oldPath) setenv("LOCPATH", oldPath->c_str(), 1);
        else unsetenv("LOCPATH");
    }
    std::optional<std::string> oldPath;
    ScratchDir dir;
    std::string failure;
};

TEST(NumberText, NumberTextsIgnoreADecimalCommaLocale) {
    ASSERT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");  // what the guard puts back
    GermanNumbers locale;
    if (!locale.failure.empty()) GTEST_SKIP() << locale.failure;
    ASSERT_EQ(std::atof("12,5"), 12.5) << "the locale is not in force";
    EXPECT_EQ(U(StrF(12.5f, 2) + u"|" + StrF(0.1f, -1)), "12.50|0.1000000015");
    EXPECT_EQ(ValD(u"12.5"), 12.5);
    EXPECT_EQ(ValD(u"12,5"), 12.0);
    EXPECT_EQ(ValF(u"0.25"), 0.25f);
}

TEST(NumberText, RoundingModesAndRoundToInteger) {
    const double belowHalf = 0.49999999999999994, oddAbove2p52 = 4503599627370497.0;
    const struct { double x; int mode; double expected; } cases[] = {
        {-2.5, RoundNearest, -3.0}, {belowHalf, RoundNearest, 0.0}, {oddAbove2p52, RoundNearest, oddAbove2p52},
        {-2.5, RoundDown, -3.0}, {-2.1, RoundUp, -2.0}, {2.7, 9, 2.0}};  // other modes floor
    for (const auto& c : cases) EXPECT_EQ(Round(c.x, c.mode), c.expected) << c.x << " mode " << c.mode;
    const struct { double x; int64_t expected; } integers[] = {  // halves to even
        {2.5, 2}, {3.5, 4}, {-2.5, -2}, {2.6, 3}, {belowHalf, 0}, {oddAbove2p52, 4503599627370497}, {NaN, 0},
        {1e300, Max64}, {-1e300, Min64}, {-9223372036854775808.0, Min64}};
    for (const auto& c : integers) EXPECT_EQ(RoundToInteger(c.x), c.expected) << c.x;
}

TEST(TextOperations, CutSearchAndSplitByUnits) {
    EXPECT_EQ(Len(T("\xF0\x9F\x98\x80")), 2);  // a surrogate pair is two units
    EXPECT_EQ(U(Left(u"abc", 2) + u"|" + Left(u"abc", 10) + u"|" + Left(u"abc", -1)), "ab|abc|");
    EXPECT_EQ(U(Right(u"abc", 2) + u"|" + Right(u"abc", 10) + u"|" + Right(u"abc", -1)), "bc|abc|");
    const struct { const char* search; int64_t start, expected; } finds[] = {
        {"c", 4, 6}, {"c", -9, 3}, {"bc", 3, 5}, {"", 1, 0}, {"c", 99, 0}, {"C", 0, 0}};
    for (const auto& c : finds) EXPECT_EQ(FindString(u"abcabc", T(c.search), c.start), c.expected) << c.start;
    EXPECT_EQ(FindString(u"", u"a"), 0);
    EXPECT_EQ(CountString(u"aaaa", u"aa") + CountString(u"aaa", u"aa") + CountString(u"abc", u""), 3);
    EXPECT_EQ(U(ReplaceString(u"aaa", u"aa", u"b") + u"|" + ReplaceString(u"abc", u"", u"b")), "ba|abc");
    EXPECT_EQ(U(ReplaceString(u"xx", u"x", u"xx")), "xxxx");  // replacements are not searched again
    EXPECT_EQ(U(RemoveString(u"aAabcabc", u"bc")), "aAaa");
    EXPECT_EQ(U(Trim(u"\t a ") + u"|" + Trim(u"xxaxx", u"xy") + u"|" + Trim(u" a ", u"")), "\t a|a|a");
    EXPECT_EQ(U(LSet(u"abcdef", 3) + u"|" + LSet(u"ab", 4) + u"|" + LSet(u"ab", -3)), "abc|ab  |");
    const struct { const char* text; int64_t index; const char* separator; const char* expected; } fields[] = {
        {"a,,b", 2, ",", ""}, {"a,,b", 3, ",", "b"}, {"a,b", 3, ",", ""}, {"abc", 1, "", "abc"},
        {"abc", 2, "", ""}, {"a,b", 0, ",", ""}, {"a:b::c", 1, "::", "a:b"}, {"a:b::c", 2, "::", "c"}};
    for (const auto& c : fields)
        EXPECT_EQ(U(StringField(T(c.text), c.index, T(c.separator))), c.expected) << c.text << " " << c.index;
}

TEST(TextOperations, LCaseMapsTheBasicPlaneWhateverTheLocale) {
    ASSERT_STREQ(std::setlocale(LC_CTYPE, nullptr), "C");  // the mapping must not come from the process
    EXPECT_EQ(U(LCase(T("AZ ÀÉÎ ΑΒΓ ЖЯ Straße"))), "az àéî αβγ жя straße");
    EXPECT_EQ(U(LCase(T("\xF0\x90\x90\x80"))), "\xF0\x90\x90\x80");  // beyond the basic plane: units stay
}

TEST(TextBoundaries, PeekSCountsCharactersUnitsOrBytesAndNeverOverreads) {
    const struct { std::string bytes; int64_t length; int encoding; const char* expected; } cases[] = {
        {"h\xC3\xA9llo\0xyz"s, -1, EncodingUtf8, "héllo"}, {"h\xC3\xA9llo"s, 2, EncodingUtf8, "hé"},
        {"\xF0\x9F\x98\x80x"s, 1, EncodingUtf8, "\xF0\x9F\x98\x80"}, {"ab\0cd"s, 4, EncodingUtf8, "ab"},
        {"a\xFF" "b"s, -1, EncodingUtf8, "a?b"}, {"a\xE2\x82"s, -1, EncodingUtf8, "a??"},
        {"\xE9t\xE9"s, 2, EncodingUtf8, "?t"}, {"\xC0\x80z"s, -1, EncodingUtf8, "??z"},
        {"h\0i\0\0\0"s, -1, EncodingUtf16, "hi"}, {"\xAC\x20\x3D\xD8\x00\xDE\0\0"s, -1, EncodingUtf16, "€😀"},
        {"caf\xE9"s, -1, EncodingAscii, "café"}, {"\xC3\xA9"s, -1, 0, "Ã©"},  // other encodings: byte = unit
    };
    for (const auto& c : cases)  // the std::string's own NUL ends every -1 read
        EXPECT_EQ(U(PeekS(c.bytes.c_str(), c.length, c.encoding)), c.expected) << c.length << " " << c.encoding;
    EXPECT_EQ(U(PeekS(nullptr, -1, EncodingUtf8)), "");
    struct { char field[4]; char next[4]; } record = {{'a', 'b', 'c', 'd'}, "zzz"};  // a field without NUL
    EXPECT_EQ(U(PeekS(record.field, 4, EncodingUtf8)), "abcd");
    EXPECT_EQ(U(PeekS(record.field, 4, EncodingAscii)), "abcd");
}

}  // namespace
