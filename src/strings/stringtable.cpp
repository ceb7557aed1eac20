#include "strings/stringtable.h"

#include <algorithm>

#include "strings/language_blocks.h"
#include "platform/preferred_language.h"

StringMap<Text> TextMap(512);

namespace {

constexpr TextView kEndMarker = u"_END_";

// Width of one UTF-16 unit and the bezel and padding around the text, as the layouts of the
// main window, the picker and the dialogs were measured with.
constexpr float kUnitWidth = 7.54f;
constexpr double kBezelWidth = 24.0;
constexpr double kPaddingWidth = 12.0;
// Every language keeps factor 1.0: the controls beside a sized button or label stand at fixed
// positions that were set with the English widths, so a wider estimate would only overlap them.
constexpr float kLanguageFactor = 1.0f;

}  // namespace

Text LanguageCodeFromTag(TextView tag) {
    // A locale name from the environment carries its codeset and modifier after "." and "@"
    // ("fr_CA.UTF-8", "sr_RS@latin"); they are no part of the language, and the "-" of "UTF-8" must
    // not be taken for the separator, or "fr_FR.UTF-8" would become "fr_fr.utf" and load English.
    TextView name = tag.substr(0, std::min(tag.find(u'.'), tag.find(u'@')));
    size_t cut = name.find(u'-');
    if (cut == TextView::npos) cut = name.find(u'_');
    // A separator in first position leaves nothing before it, so the name is kept whole.
    if (cut != TextView::npos && cut >= 1) name = name.substr(0, cut);
    if (name.empty()) return u"en";
    return LCase(name);
}

Text DetectLanguage() { return LanguageCodeFromTag(PreferredLanguageTag()); }

std::vector<StringEntry> ReadStringBlock(TextView block) {
    std::vector<StringEntry> entries;
    size_t cursor = 0;
    // The string at the cursor up to its NUL (or the block's end); the cursor moves past the NUL.
    auto next = [&]() {
        size_t end = block.find(u'\0', cursor);
        if (end == TextView::npos) end = block.size();
        TextView s = block.substr(cursor, end - cursor);
        cursor = end + 1;
        return s;
    };
    while (cursor < block.size()) {
        TextView id = next();
        // A block that ends on an identifier has no text left to pair it with.
        if (id == kEndMarker || cursor >= block.size()) break;
        TextView text = next();
        entries.push_back({id, text});
    }
    return entries;
}

TextView StringBlockForLanguage(TextView code) {
    if (code == u"fr") return FrenchStringBlock();
    if (code == u"de") return GermanStringBlock();
    if (code == u"es") return SpanishStringBlock();
    if (code == u"it") return ItalianStringBlock();
    return EnglishStringBlock();
}

bool LoadStringTable(TextView code) {
    TextMap.ClearMap();
    const TextView block = StringBlockForLanguage(code);
    for (const StringEntry& entry : ReadStringBlock(block))
        TextMap.AddMapElement(entry.id) = Text(entry.text);
    return block.data() != EnglishStringBlock().data();
}

Text LookupText(TextView id, TextView defaultText) {
    if (const Text* text = TextMap.FindMapElement(id)) return *text;
    return Text(defaultText);
}

Text LookupText(TextId id) { return LookupText(Str(static_cast<int>(id)), u""); }

int EstimateTextWidth(TextView text) {
    const double width = static_cast<double>(Len(text)) * static_cast<double>(kUnitWidth) * kLanguageFactor +
                         kBezelWidth + kPaddingWidth;
    return static_cast<int>(Round(static_cast<float>(width), RoundNearest));
}
