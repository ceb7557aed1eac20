#include "platform/preferred_language.h"

#include <cstdlib>
#include <string_view>

Text PreferredLanguageTag() {
    if (const char* list = std::getenv("LANGUAGE"); list && *list) {
        std::string_view entries(list);
        std::string_view first = entries.substr(0, entries.find(':'));
        if (!first.empty()) return TextFromUtf8(first);
    }
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        if (const char* value = std::getenv(name); value && *value) return TextFromUtf8(value);
    }
    return Text();
}
