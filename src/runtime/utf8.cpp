// UTF-8 at the boundaries of the runtime: files, the command line, platform strings.
#include "runtime/text.h"

namespace {

// Length of the well-formed sequence starting at s[0], and its code point; 0 when the byte starts
// no well-formed sequence (stray continuation, overlong form, surrogate, beyond U+10FFFF, cut off).
size_t DecodeOne(const unsigned char* s, size_t available, char32_t& cp) {
    unsigned char b = s[0];
    if (b < 0x80) {
        cp = b;
        return 1;
    }
    size_t length;
    char32_t min;
    if ((b & 0xE0) == 0xC0) {
        length = 2, cp = b & 0x1F, min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
        length = 3, cp = b & 0x0F, min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
        length = 4, cp = b & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (available < length) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((s[i] & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (s[i] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return length;
}

void AppendCodePoint(Text& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

}  // namespace

Text TextFromUtf8(std::string_view bytes) {
    Text out;
    out.reserve(bytes.size());
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    size_t i = 0;
    while (i < bytes.size()) {
        char32_t cp;
        size_t n = DecodeOne(s + i, bytes.size() - i, cp);
        if (n == 0) {
            out.push_back(u'?');
            ++i;
        } else {
            AppendCodePoint(out, cp);
            i += n;
        }
    }
    return out;
}

char32_t CodePointAt(TextView text, size_t i, size_t& units) {
    const char32_t unit = text[i];
    units = 1;
    if (unit < 0xD800 || unit > 0xDBFF || i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF)
        return unit;
    units = 2;
    return 0x10000 + ((unit - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00);
}

std::string TextToUtf8(TextView text) {
    std::string out;
    out.reserve(text.size());
    size_t units = 1;
    for (size_t i = 0; i < text.size(); i += units) {
        char32_t cp = CodePointAt(text, i, units);
        // A lone surrogate has no UTF-8 form; it is written as U+FFFD.
        if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0xFFFD;
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}
