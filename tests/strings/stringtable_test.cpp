// The string table: the five language blocks, loading and lookup, the language choice and the
// width estimate.
#include "strings/stringtable.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "scratch_dir.h"

namespace {

std::vector<StringEntry> Entries(const char* code) {
    return ReadStringBlock(StringBlockForLanguage(TextFromUtf8(code)));
}

std::optional<Text> Find(const std::vector<StringEntry>& entries, TextView id) {
    for (const StringEntry& e : entries)
        if (e.id == id) return Text(e.text);
    return std::nullopt;
}

// What a translation carries over from the English text unchanged: the blanks at either end, the
// character by which each end joins the number beside it ("+" before, "%" after ...), the line breaks
// (LF CR between paragraphs, CR LF ending lines), the digit runs, how often the units "MB" and "ms"
// stand as words ("MB/s" counts), and the symbols and emoji (U+2000 and above) in order.
std::string Shape(TextView t) {
    const size_t first = t.find_first_not_of(u' '), last = t.find_last_not_of(u' ');
    if (first == TextView::npos) return "only blanks: " + std::to_string(t.size());
    const auto joins = [](char16_t c, TextView joining) { return joining.find(c) == TextView::npos ? '-' : char(c); };
    std::string shape = std::to_string(first) + " blanks, joins " + joins(t[first], u"+~>([%]x") +
                        joins(t[last], u"+~>([%]") + ", " + std::to_string(t.size() - 1 - last) + " blanks; breaks";
    std::string digits, word;
    Text symbols;
    int units = 0;
    for (char16_t u : Text(t) + u' ') {
        if (u < 0x20) shape += " " + std::to_string(int(u));
        if (u >= 0x2000) symbols += u;
        if (u >= u'0' && u <= u'9') digits += char(u);
        else if (!digits.empty() && digits.back() != ' ') digits += ' ';
        if ((u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z')) word += char(u);
        else units += word == "MB" || word == "ms", word.clear();
    }
    return shape + "; digits " + digits + "; " + std::to_string(units) + " units; " + TextToUtf8(symbols);
}

// Every language has the English identifiers in their order, each once, and keeps each text's shape.
TEST(LanguageBlocksTest, TranslationsKeepTheIdentifiersAndTheShapeOfTheEnglishText) {
    const std::vector<StringEntry> english = Entries("en");
    std::set<Text> seen;
    for (const StringEntry& e : english) EXPECT_TRUE(seen.insert(Text(e.id)).second) << "twice: " << TextToUtf8(e.id);
    for (const char* code : {"fr", "de", "es", "it"}) {
        const std::vector<StringEntry> entries = Entries(code);
        ASSERT_EQ(entries.size(), english.size()) << code;
        for (size_t i = 0; i < entries.size(); ++i) {
            EXPECT_EQ(entries[i].id, english[i].id) << code << " entry " << i;
            EXPECT_FALSE(entries[i].text.empty()) << code << " " << TextToUtf8(entries[i].id);
            EXPECT_EQ(Shape(entries[i].text), Shape(english[i].text))
                << code << " " << TextToUtf8(entries[i].id) << ": " << TextToUtf8(entries[i].text);
        }
    }
}

TEST(StringTableTest, LoadsTheChosenBlockOnlyAndLooksUpExactKeys) {
    const std::pair<const char*, const char*> cases[] = {{"fr", "fr"}, {"de", "de"}, {"pt", "en"}, {"FR", "en"}};
    for (const auto& [code, block] : cases) {
        LoadStringTable(TextFromUtf8(code));
        EXPECT_EQ(LookupText(TextId::StatusMonitoring), Find(Entries(block), u"95").value_or(u"(missing)")) << code;
        EXPECT_EQ(TextMap.MapSize(), int64_t(Entries(block).size())) << code;  // nothing an earlier language left
        EXPECT_EQ(LookupText(static_cast<TextId>(999)) + LookupText(TextId{}) + LookupText(u"999", u"fallback"),
                  u"fallback")
            << code;
    }
    LoadStringTable(u"en");
    EXPECT_EQ(LookupText(u"117", u"fallback"), u"▶ Start");
    for (const Text& key : {Text(u"117 "), Text(u"0117"), Text(u"117\0", 4), Text(u""), Text(u"_END_")})
        EXPECT_EQ(LookupText(key, u"-"), u"-") << TextToUtf8(key);
}

TEST(LanguageChoiceTest, TheFirstLocaleVariableThatIsSetGivesTheCodeItsTagReducesTo) {
    const char* const names[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
    const EnvScope kept[] = {{names[0], std::getenv(names[0])}, {names[1], std::getenv(names[1])},
                             {names[2], std::getenv(names[2])}, {names[3], std::getenv(names[3])}};
    const char* const cases[][5] = {  // the four variables, then the code its tag reduces to
        {"fr:en", "de_DE.UTF-8", nullptr, nullptr, "fr"}, {"", "de_DE.UTF-8", nullptr, nullptr, "de"},
        {nullptr, nullptr, "es_ES.UTF-8", "it_IT.UTF-8", "es"}, {nullptr, nullptr, nullptr, "it_IT.UTF-8", "it"},
        {"pt-BR:fr", nullptr, nullptr, nullptr, "pt"}, {nullptr, nullptr, nullptr, nullptr, "en"},
        {"zh-Hans-CN", nullptr, nullptr, nullptr, "zh"}, {nullptr, "IT", nullptr, nullptr, "it"},
        {nullptr, nullptr, "de_DE.UTF-8@euro", nullptr, "de"}, {nullptr, nullptr, nullptr, "pt_BR", "pt"},
        {nullptr, nullptr, nullptr, ".UTF-8", "en"},
    };
    for (const auto& c : cases) {
        for (int i = 0; i < 4; ++i) c[i] ? setenv(names[i], c[i], 1) : unsetenv(names[i]);
        EXPECT_EQ(TextToUtf8(DetectLanguage()), c[4]) << (c[0] ? c[0] : "-") << " " << (c[1] ? c[1] : "-");
    }
}

TEST(EstimateTextWidthTest, SizesControlsByTheirLengthInUnits) {
    const std::pair<Text, int> cases[] = {
        {u"Browse...", 104},
        {u"🔴", 51},  // emoji outside the basic plane count two units each
        {Text(25, u'a'), 225},  // 224.4999990 in double precision, but 224.5 as a float: rounded up
    };
    for (const auto& [text, width] : cases) EXPECT_EQ(EstimateTextWidth(text), width) << TextToUtf8(text);
}

TEST(FilledTextTest, FillsEachPlaceOnceWithTheValueAsGiven) {
    LoadStringTable(u"en");
    EXPECT_EQ(FilledText(TextId::UnknownOption, {"%2", "x"}), "unknown option '%2'");  // not replaced again
    EXPECT_EQ(FilledText(TextId::UnknownOption), "unknown option '%1'");  // no value for it: kept
    EXPECT_EQ(FilledText(TextId::OptionGivenTwice, {"--json"}), "option '--json' given twice");
}

}  // namespace
