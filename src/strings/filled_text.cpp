#include "strings/stringtable.h"

std::string FilledText(TextId id, std::initializer_list<std::string_view> values) {
    const std::string pattern = TextToUtf8(LookupText(id));
    std::string out;
    for (size_t i = 0; i < pattern.size(); ++i) {
        const size_t value = i + 1 < pattern.size() ? size_t(pattern[i + 1] - '1') : values.size();
        if (pattern[i] == '%' && value < values.size()) {
            out += values.begin()[value];
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}
