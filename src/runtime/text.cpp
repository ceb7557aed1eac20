// Text operations on UTF-16 units.
#include <algorithm>
#include <locale.h>
#include <wctype.h>

#include "runtime/text.h"

namespace {

constexpr size_t NotFound = TextView::npos;

// The lower-case mapping of a UTF-8 locale, created once, so that the result does not depend on
// the locale the process happens to run in. Null when the machine has no such locale; LCase then
// maps ASCII only.
locale_t CaseLocale() {
    static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    return locale;
}

}  // namespace

int64_t Len(TextView text) { return static_cast<int64_t>(text.size()); }

int64_t FindString(TextView text, TextView search, int64_t start) {
    if (text.empty() || search.empty()) return 0;
    const size_t from = start < 2 ? 0 : std::min<uint64_t>(static_cast<uint64_t>(start) - 1, text.size());
    const size_t at = text.find(search, from);
    return at == NotFound ? 0 : static_cast<int64_t>(at) + 1;
}

int64_t CountString(TextView text, TextView search) {
    if (text.empty() || search.empty()) return 0;
    int64_t count = 0;
    for (size_t at = text.find(search); at != NotFound; at = text.find(search, at + search.size())) {
        ++count;
    }
    return count;
}

Text ReplaceString(TextView text, TextView search, TextView replacement) {
    if (search.empty()) return Text(text);
    Text out;
    out.reserve(text.size());
    size_t from = 0;
    for (size_t at = text.find(search); at != NotFound; at = text.find(search, from)) {
        out.append(text.substr(from, at - from));
        out.append(replacement);
        from = at + search.size();
    }
    out.append(text.substr(from));
    return out;
}

Text RemoveString(TextView text, TextView search) { return ReplaceString(text, search, {}); }

Text Trim(TextView text, TextView character) {
    const char16_t trimmed = character.empty() ? u' ' : character[0];
    const size_t begin = text.find_first_not_of(trimmed);
    if (begin == NotFound) return {};
    const size_t end = text.find_last_not_of(trimmed);
    return Text(text.substr(begin, end - begin + 1));
}

Text LCase(TextView text) {
    Text out(text);
    for (char16_t& unit : out) {
        if (unit < 0x80) {
            if (unit >= u'A' && unit <= u'Z') unit = static_cast<char16_t>(unit + (u'a' - u'A'));
            continue;
        }
        // Created at the first letter past ASCII only: reading the locale costs every start.
        const locale_t locale = CaseLocale();
        if (locale && (unit < 0xD800 || unit > 0xDFFF)) {
            // The basic plane maps onto itself in the simple lower-case mapping.
            const wint_t lower = towlower_l(unit, locale);
            if (lower <= 0xFFFF) unit = static_cast<char16_t>(lower);
        }
    }
    return out;
}

Text LSet(TextView text, int64_t width) {
    if (width < 1) return {};
    Text out(text.substr(0, static_cast<uint64_t>(width)));
    out.resize(static_cast<size_t>(width), u' ');
    return out;
}

Text StringField(TextView text, int64_t index, TextView separator) {
    if (text.empty() || index < 1) return {};
    // An empty separator never matches: the whole text is the only field.
    if (separator.empty()) return index == 1 ? Text(text) : Text();
    size_t begin = 0;
    for (int64_t k = 1; k < index; ++k) {
        const size_t at = text.find(separator, begin);
        if (at == NotFound) return {};
        begin = at + separator.size();
    }
    const size_t end = text.find(separator, begin);
    return Text(text.substr(begin, end == NotFound ? NotFound : end - begin));
}
