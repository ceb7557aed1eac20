// The string table: the five language blocks, loading and lookup, the language choice and the
// width estimate.
#include "app/strings/stringtable.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

const char* const kTranslatedCodes[] = {"fr", "de", "es", "it"};
const char* const kAllCodes[] = {"en", "fr", "de", "es", "it"};

Text Code(const char* code) { return TextFromUtf8(code); }

std::vector<StringEntry> Entries(const char* code) {
    return ReadStringBlock(StringBlockForLanguage(Code(code)));
}

// The entry stored under `id` in a block, or nullopt.
std::optional<TextView> Find(const std::vector<StringEntry>& entries, TextView id) {
    for (const StringEntry& e : entries)
        if (e.id == id) return e.text;
    return std::nullopt;
}

std::vector<char32_t> CodePoints(TextView text) {
    std::vector<char32_t> points;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size()) {
            unit = 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        points.push_back(unit);
    }
    return points;
}

// --- The shape of a text that every translation keeps ------------------------------------------

size_t LeadingBlanks(TextView t) {
    const size_t first = t.find_first_not_of(u' ');
    return first == TextView::npos ? t.size() : first;
}
size_t TrailingBlanks(TextView t) {
    const size_t last = t.find_last_not_of(u' ');
    return last == TextView::npos ? t.size() : t.size() - 1 - last;
}

// Line breaks in order: the paragraph breaks LF CR and the line ends CR LF.
Text ControlUnits(TextView t) {
    Text out;
    for (char16_t u : t)
        if (u < 0x20) out += u;
    return out;
}

// Symbols and emoji (with their variation selectors), the non-letter part of the text that a
// translation must carry over unchanged and in order.
std::vector<char32_t> Symbols(TextView t) {
    std::vector<char32_t> out;
    for (char32_t p : CodePoints(t))
        if (p >= 0x2000) out.push_back(p);
    return out;
}

std::vector<std::u16string> DigitRuns(TextView t) {
    std::vector<std::u16string> runs;
    std::u16string run;
    for (char16_t u : Text(t) + u' ') {
        if (u >= u'0' && u <= u'9') {
            run += u;
        } else if (!run.empty()) {
            runs.push_back(run);
            run.clear();
        }
    }
    return runs;
}

// The units "MB" and "ms" as words of their own ("MB/s" counts as "MB").
int UnitWords(TextView t) {
    int count = 0;
    std::u16string word;
    for (char16_t u : Text(t) + u' ') {
        if ((u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z')) {
            word += u;
        } else {
            if (word == u"MB" || word == u"ms") ++count;
            word.clear();
        }
    }
    return count;
}

// The character by which a fragment joins the number beside it ("+" before, "%" after, ...).
char16_t JoiningEdge(TextView t, bool first) {
    const size_t at = first ? t.find_first_not_of(u' ') : t.find_last_not_of(u' ');
    if (at == TextView::npos) return 0;
    const char16_t c = t[at];
    const TextView joins = first ? TextView(u"+~>([%]x") : TextView(u"+~>([%]");
    return joins.find(c) == TextView::npos ? 0 : c;
}

TEST(LanguageBlocksTest, EveryLanguageCarriesTheEnglishIdentifiersInTheSameOrder) {
    const std::vector<StringEntry> english = Entries("en");
    ASSERT_EQ(english.size(), 148u);
    for (const char* code : kTranslatedCodes) {
        SCOPED_TRACE(code);
        const std::vector<StringEntry> entries = Entries(code);
        ASSERT_EQ(entries.size(), english.size());
        for (size_t i = 0; i < entries.size(); ++i) EXPECT_EQ(entries[i].id, english[i].id) << "entry " << i;
    }
}

TEST(LanguageBlocksTest, IdentifiersAreUniqueDecimalNumbersFrom4To251) {
    for (const char* code : kAllCodes) {
        SCOPED_TRACE(code);
        std::set<Text> seen;
        for (const StringEntry& e : Entries(code)) {
            const std::string id = TextToUtf8(e.id);
            EXPECT_TRUE(seen.insert(Text(e.id)).second) << "twice: " << id;
            ASSERT_FALSE(id.empty());
            EXPECT_EQ(id.find_first_not_of("0123456789"), std::string::npos) << id;
            EXPECT_NE(id[0], '0') << id;
            const int n = std::atoi(id.c_str());
            EXPECT_TRUE(n >= 4 && n <= 251) << id;
        }
    }
}

TEST(LanguageBlocksTest, TellingRowsAreExactInEveryLanguage) {
    // The phase names, the verdict header and the alert texts that the report and the monitor show.
    struct Row {
        const char16_t* id;
        const char16_t* texts[5];  // en, fr, de, es, it
    } rows[] = {
        {u"14",
         {u"DIAGNOSTIC VERDICT & EVIDENCE SUMMARY:", u"VERDICT DIAGNOSTIQUE ET RÉSUMÉ:",
          u"DIAGNOSE-URTEIL & EVIDENZ:", u"VEREDICTO DIAGNÓSTICO Y RESUMEN:",
          u"VERDETTO DIAGNOSTICO E RIEPILOGO:"}},
        {u"83",
         {u"Memory footprint stable.", u"Empreinte mémoire stable.", u"Speicherbedarf stabil.",
          u"Uso de memoria estable.", u"Impronta memoria stabile."}},
        {u"95",
         {u"Status: 🟢 Monitoring active", u"Statut : 🟢 Surveillance active",
          u"Status: 🟢 Überwachung aktiv", u"Estado: 🟢 Supervisión activa",
          u"Stato: 🟢 Monitoraggio attivo"}},
        {u"117", {u"▶ Start", u"▶ Start", u"▶ Start", u"▶ Start", u"▶ Avvia"}},
        {u"130",
         {u"Warm-Up / Initializing", u"Chauffe / Initialisation", u"Aufwärmen / Initialisierung",
          u"Precalentamiento / Inicialización", u"Avvio / Inizializzazione"}},
        {u"132",
         {u"Processing Spike / Memory Growth", u"Pic de traitement / Croissance",
          u"Verarbeitungsspitze / Speicherwachstum", u"Pico de procesamiento / Crecimiento",
          u"Picco di elaborazione / Crescita"}},
        {u"134",
         {u"Post-Task Release / Garbage Collection", u"Libération post-tâche / GC",
          u"Freigabe nach Aufgabe / GC", u"Liberación tras tarea / GC", u"Rilascio post-attività / GC"}},
        {u"136", {u"Baseline Phase", u"Phase de référence", u"Basisphase", u"Fase base", u"Fase di base"}},
        {u"140",
         {u"Extended Flatline (Resting)", u"Ligne plate prolongée (Repos)", u"Ruhephase (Flatline)",
          u"Reposo prolongado (Línea plana)", u"Riposo prolungato (Livello costante)"}},
    };
    for (int lang = 0; lang < 5; ++lang) {
        const std::vector<StringEntry> entries = Entries(kAllCodes[lang]);
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(kAllCodes[lang]) + " " + TextToUtf8(row.id));
            const std::optional<TextView> text = Find(entries, row.id);
            ASSERT_TRUE(text.has_value());
            EXPECT_EQ(TextToUtf8(*text), TextToUtf8(row.texts[lang]));
        }
    }
}

TEST(LanguageBlocksTest, EnglishTextsKeepTheirExactCharacters) {
    // Blanks, line breaks and two-unit emoji that a careless edit would lose.
    struct Row {
        const char16_t* id;
        const char16_t* text;
    } rows[] = {
        {u"6", u"Memory Phase Analysis for "},
        {u"26", u"Status: ✓ Selected PID "},
        {u"30",
         u"\u26A0\uFE0F Insufficient data to perform Phase Analysis (requires at least 3 active samples with "
         u">0 MB RAM)."},
        {u"40", u"\u2139\uFE0F WARM-UP FILTER: Warm-up noise excluded. Clean baseline settled at "},
        {u"43", u" release phase(s) reclaiming ~"},
        {u"44", u" MB total."},
        {u"45",
         u"🚨 HIGH SUSPICION OF MEMORY LEAK\n\r"
         u"Memory climbs steadily without releasing. This indicates a severe leak where allocated objects, "
         u"event listeners, or buffers are never freed.\n\r"},
        {u"75", u"[\u26A0\uFE0F Streak: "},
        {u"76", u"x consecutive increases] "},
        {u"79", u"[\U0001F525 Growth > "},
        {u"123", u"  Buy Me \u2615  "},
        {u"182",
         u"• NOTE: If this is a transactional app (e.g. a cataloging tool, a file converter), a step-up "
         u"baseline is often normal (due to asset caching).\r\n"},
        {u"184",
         u"       For long-running menu bar tools that run in the background, verify that this memory is "
         u"eventually released.\r\n"},
    };
    const std::vector<StringEntry> english = Entries("en");
    for (const Row& row : rows) {
        const std::optional<TextView> text = Find(english, row.id);
        ASSERT_TRUE(text.has_value()) << TextToUtf8(row.id);
        EXPECT_EQ(TextToUtf8(*text), TextToUtf8(row.text)) << TextToUtf8(row.id);
    }
}

TEST(LanguageBlocksTest, TranslationsKeepTheShapeOfTheEnglishText) {
    const std::vector<StringEntry> english = Entries("en");
    for (const char* code : kTranslatedCodes) {
        const std::vector<StringEntry> entries = Entries(code);
        for (const StringEntry& en : english) {
            SCOPED_TRACE(std::string(code) + " " + TextToUtf8(en.id));
            const std::optional<TextView> found = Find(entries, en.id);
            ASSERT_TRUE(found.has_value());
            const TextView t = *found;
            EXPECT_FALSE(t.empty());
            EXPECT_EQ(LeadingBlanks(t), LeadingBlanks(en.text)) << TextToUtf8(t);
            EXPECT_EQ(TrailingBlanks(t), TrailingBlanks(en.text)) << TextToUtf8(t);
            EXPECT_EQ(ControlUnits(t), ControlUnits(en.text)) << TextToUtf8(t);
            EXPECT_EQ(Symbols(t), Symbols(en.text)) << TextToUtf8(t);
            EXPECT_EQ(DigitRuns(t), DigitRuns(en.text)) << TextToUtf8(t);
            EXPECT_EQ(UnitWords(t), UnitWords(en.text)) << TextToUtf8(t);
            EXPECT_EQ(JoiningEdge(t, true), JoiningEdge(en.text, true)) << TextToUtf8(t);
            EXPECT_EQ(JoiningEdge(t, false), JoiningEdge(en.text, false)) << TextToUtf8(t);
        }
    }
}

TEST(LanguageBlocksTest, GlossaryNamesLinuxAndUsesTheWindowLabels) {
    // Each paragraph after the heading explains one statistic and starts with its panel label.
    const TextView labelIds[] = {u"104", u"105", u"106", u"107", u"109", u"110", u"111"};
    for (const char* code : kAllCodes) {
        SCOPED_TRACE(code);
        const std::vector<StringEntry> entries = Entries(code);
        const TextView glossary = Find(entries, u"200").value_or(u"");
        EXPECT_NE(glossary.find(u"Linux"), TextView::npos);
        EXPECT_EQ(glossary.find(u"macOS"), TextView::npos);
        std::vector<TextView> paragraphs;
        for (size_t start = 0;;) {
            const size_t end = glossary.find(u"\n\r", start);
            paragraphs.push_back(
                glossary.substr(start, end == TextView::npos ? TextView::npos : end - start));
            if (end == TextView::npos) break;
            start = end + 2;
        }
        ASSERT_EQ(paragraphs.size(), 8u);
        for (size_t i = 0; i < std::size(labelIds); ++i) {
            const Text label = Text(Find(entries, labelIds[i]).value_or(u"?")) + u" ";
            EXPECT_EQ(paragraphs[i + 1].substr(0, label.size()), label) << TextToUtf8(paragraphs[i + 1]);
        }
    }
}

// --- Loading and lookup ------------------------------------------------------------------------

TEST(StringTableTest, LoadsOnlyTheChosenBlockAndEnglishForAnyOtherCode) {
    struct Case {
        const char* code;
        const char* text95;
    } cases[] = {
        {"en", "Status: 🟢 Monitoring active"},  {"fr", "Statut : 🟢 Surveillance active"},
        {"de", "Status: 🟢 Überwachung aktiv"}, {"es", "Estado: 🟢 Supervisión activa"},
        {"it", "Stato: 🟢 Monitoraggio attivo"}, {"pt", "Status: 🟢 Monitoring active"},
        {"zh", "Status: 🟢 Monitoring active"},  {"", "Status: 🟢 Monitoring active"},
        {"FR", "Status: 🟢 Monitoring active"},  {"fr_ca", "Status: 🟢 Monitoring active"},
        {"c", "Status: 🟢 Monitoring active"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        LoadStringTable(Code(c.code));
        EXPECT_EQ(TextToUtf8(LookupText(95)), c.text95);
        // Loading clears what an earlier language left behind.
        EXPECT_EQ(TextMap.MapSize(), 148);
    }
}

TEST(StringTableTest, GermanReportsCarryTheModerateGrowthLine) {
    LoadStringTable(u"de");
    const Text line = LookupText(162);
    ASSERT_FALSE(line.empty());
    EXPECT_EQ(line.substr(0, 2), u"• ");
    EXPECT_EQ(line.back(), u'+');
}

TEST(StringTableTest, MissingIdentifiersGiveTheDefault) {
    for (const char* code : kAllCodes) {
        SCOPED_TRACE(code);
        LoadStringTable(Code(code));
        EXPECT_EQ(LookupText(999), u"");
        EXPECT_EQ(LookupText(u"999", u"fallback"), u"fallback");
        EXPECT_EQ(LookupText(0), u"");
    }
    LoadStringTable(u"en");
    EXPECT_EQ(LookupText(117), u"▶ Start");
    EXPECT_EQ(LookupText(u"117", u"fallback"), u"▶ Start");
}

TEST(StringTableTest, KeysMatchExactly) {
    LoadStringTable(u"en");
    for (const Text& key :
         {Text(u"117 "), Text(u" 117"), Text(u"0117"), Text(u"117\0", 4), Text(u""), Text(u"_END_")})
        EXPECT_EQ(LookupText(key, u"-"), u"-") << TextToUtf8(key);
    EXPECT_EQ(LookupText(4), u"Unknown");
}

TEST(ReadStringBlockTest, StopsAtTheEndMarkerThatStandsWhereAnIdentifierIsExpected) {
    // The second entry's text reads "_END_" and is kept; the empty text of the third moves past its
    // terminator only; the entry after the real end marker is never read.
    const char16_t block[] =
        u"1\0" u"one\0"
        u"2\0" u"_END_\0"
        u"3\0" u"\0"
        u"4\0" u"four\0"
        u"_END_\0"
        u"5\0" u"never";
    const std::vector<StringEntry> entries = ReadStringBlock(TextView(block, std::size(block)));
    ASSERT_EQ(entries.size(), 4u);
    const TextView expected[][2] = {{u"1", u"one"}, {u"2", u"_END_"}, {u"3", u""}, {u"4", u"four"}};
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].id, expected[i][0]);
        EXPECT_EQ(entries[i].text, expected[i][1]);
    }
}

TEST(ReadStringBlockTest, ABlockWithoutEndMarkerStopsAtItsLastUnit) {
    struct Case {
        Text block;
        size_t entries;
    } cases[] = {
        {Text(), 0},
        {Text(u"_END_"), 0},
        {Text(u"1\0one\0", 6), 1},
        {Text(u"1\0one\0" u"2", 7), 1},    // an identifier with no text after it
        {Text(u"1\0one\0" u"2\0", 8), 1},  // the same, terminated
        {Text(u"1\0one", 5), 1},           // a text that runs to the end
    };
    for (const Case& c : cases) EXPECT_EQ(ReadStringBlock(c.block).size(), c.entries) << c.block.size();
}

// --- Language choice -----------------------------------------------------------------------------

TEST(LanguageCodeTest, CutsTheTagAtItsFirstSeparatorAndLowercases) {
    struct Case {
        const char* tag;
        const char* code;
    } cases[] = {
        {"en-US", "en"},
        {"fr-CA", "fr"},
        {"de", "de"},
        {"zh-Hans-CN", "zh"},
        {"pt_BR", "pt"},
        {"es-419", "es"},
        {"IT", "it"},
        {"de_DE-x", "de_de"},  // "-" is looked for first, and found after the "_"
        {"-fr", "-fr"},        // a separator in first position keeps the tag whole
        {"_fr", "_fr"},
        {"x-", "x"},
        {"", "en"},
        // Locale names: the codeset and modifier never count, nor does the "-" of "UTF-8".
        {"fr_CA.UTF-8", "fr"},
        {"de_DE.UTF-8@euro", "de"},
        {"sr_RS@latin", "sr"},
        {"fr.UTF-8", "fr"},
        {"C.UTF-8", "c"},
        {"C", "c"},
        {".UTF-8", "en"},
    };
    for (const Case& c : cases) EXPECT_EQ(TextToUtf8(LanguageCodeFromTag(Code(c.tag))), c.code) << c.tag;
}

// Sets the locale variables for one test and puts back what was there.
class LocaleEnvironment {
public:
    LocaleEnvironment() {
        for (const char* name : kNames) {
            const char* value = std::getenv(name);
            saved_.push_back(value ? std::optional<std::string>(value) : std::nullopt);
            unsetenv(name);
        }
    }
    ~LocaleEnvironment() {
        for (size_t i = 0; i < std::size(kNames); ++i) {
            if (saved_[i])
                setenv(kNames[i], saved_[i]->c_str(), 1);
            else
                unsetenv(kNames[i]);
        }
    }
    LocaleEnvironment(const LocaleEnvironment&) = delete;
    LocaleEnvironment& operator=(const LocaleEnvironment&) = delete;

    static constexpr const char* kNames[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};

private:
    std::vector<std::optional<std::string>> saved_;
};

TEST(DetectLanguageTest, FollowsTheFirstLocaleVariableThatIsSet) {
    struct Case {
        const char* language;
        const char* lcAll;
        const char* lcMessages;
        const char* lang;
        const char* code;
    } cases[] = {
        {"fr:en", "de_DE.UTF-8", nullptr, nullptr, "fr"},
        {"", "de_DE.UTF-8", nullptr, nullptr, "de"},
        {nullptr, nullptr, "es_ES.UTF-8", "it_IT.UTF-8", "es"},
        {nullptr, nullptr, nullptr, "it_IT.UTF-8", "it"},
        {"pt-BR:fr", nullptr, nullptr, nullptr, "pt"},
        {nullptr, "C.UTF-8", nullptr, nullptr, "c"},
        {nullptr, nullptr, nullptr, nullptr, "en"},
    };
    for (const Case& c : cases) {
        LocaleEnvironment environment;
        const char* values[] = {c.language, c.lcAll, c.lcMessages, c.lang};
        for (size_t i = 0; i < std::size(values); ++i)
            if (values[i]) setenv(LocaleEnvironment::kNames[i], values[i], 1);
        EXPECT_EQ(TextToUtf8(DetectLanguage()), c.code)
            << (c.language ? c.language : "-") << " " << (c.lcAll ? c.lcAll : "-");
    }
}

// --- Width estimate ------------------------------------------------------------------------------

TEST(EstimateTextWidthTest, SizesControlsByTheirLengthInUnits) {
    struct Case {
        Text text;
        int width;
    } cases[] = {
        {u"Browse...", 104},
        {u"Edit", 66},
        {u"Virtual RAM:", 126},
        {u"Phys Footprint:", 149},
        {u"Delta:", 81},
        {u"Peak:", 74},
        {u"Page Faults:", 126},
        {u"Page-ins:", 104},
        {u"COW Faults:", 119},
        {u"Last Updated:", 134},
        {u"Details:", 96},
        {u"▶ Start", 89},
        {u"⏸ Pause", 89},
        {u"⏹ Stop", 81},
        {u"Analyze...", 111},
        {u"Output data to CSV", 172},
        {u"  Buy Me ☕  ", 126},
        {u"Cancel", 81},
        {u"Save", 66},
        {u"Search", 81},
        {u"", 36},
        {u"0123456789", 111},
        // Emoji outside the basic plane count two units each.
        {u"🔴", 51},
        {u"⚠️", 51},
        // 25 units give 224.4999990 in double precision; narrowed to a float it is 224.5, which rounds
        // away from zero. 75 units land on 601.4999971, narrowed to 601.5.
        {Text(25, u'a'), 225},
        {Text(75, u'a'), 602},
    };
    for (const Case& c : cases) EXPECT_EQ(EstimateTextWidth(c.text), c.width) << TextToUtf8(c.text);
}

}  // namespace
