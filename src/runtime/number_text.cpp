// Numbers to texts and back. Every conversion here is independent of the process locale: the
// formatting goes through std::to_chars and the parsing through strtod_l with a "C" locale object,
// so a program that sets a locale with a decimal comma still writes and reads "12.5".
#include <algorithm>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <locale.h>

#include "runtime/text.h"

namespace {

// The characters of a number text are ASCII; the result is allocated once.
Text WidenAscii(const char* begin, const char* end) {
    Text out(static_cast<size_t>(end - begin), u'\0');
    std::copy(begin, end, out.begin());
    return out;
}

// Whole-text comparison with an ASCII lower-case word, ignoring the case of ASCII letters.
bool EqualsIgnoringCase(TextView text, std::u16string_view lowerWord) {
    if (text.size() != lowerWord.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + (u'a' - u'A'));
        if (c != lowerWord[i]) return false;
    }
    return true;
}

// Value of a digit in bases up to 16, or 16 for a unit that is no digit.
unsigned DigitValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return 16;
}

// The "C" locale for strtod_l. glibc hands out its built-in C locale object for this name, so the
// call cannot fail in practice; should it, the process locale is the only fallback there is.
locale_t NumericLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

constexpr int64_t MaxDecimals = 512;
// Bytes of a text that ValF hands to the number parser.
constexpr size_t MaxParsedBytes = 1023;

// A float's 24-bit significand times 10^precision fits a double's 53 bits up to 12 decimals, so the
// scaled value is exact, and rounding it to an integer, ties to even, rounds as printf does: the
// same digits, without the general conversion's tables (a recording writes four of these a tick).
// Null when the scaled value is beyond 2^53.
char* FixedWithin53Bits(float value, int precision, char* out) {
    static constexpr double powers[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12};
    if (precision > 12) return nullptr;
    const double exact = std::fabs(static_cast<double>(value)) * powers[precision];
    if (!(exact < 9007199254740991.0)) return nullptr;
    // Truncation is the floor of a value that is not negative, without a call into the maths library.
    auto units = static_cast<uint64_t>(exact);
    const double below = exact - static_cast<double>(units);
    // Ties to even whatever the floating-point environment's rounding mode.
    if (below > 0.5 || (below == 0.5 && units % 2 != 0)) ++units;
    const auto one = static_cast<uint64_t>(powers[precision]);
    if (value < 0) *out++ = '-';
    out = std::to_chars(out, out + 24, units / one).ptr;
    if (precision == 0) return out;
    *out++ = '.';
    uint64_t fraction = units % one;
    for (int i = precision - 1; i >= 0; --i, fraction /= 10) out[i] = static_cast<char>('0' + fraction % 10);
    return out + precision;
}

}  // namespace

Text Str(int64_t n) {
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, n);
    return WidenAscii(buffer, result.ptr);
}

std::string_view StrFAscii(float value, int64_t decimals, char (&buffer)[StrFBytes]) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value < 0 ? "-Infinity" : "+Infinity";
    if (value == 0.0f) value = 0.0f;  // a negative zero prints without its sign
    const bool asNeeded = decimals == -1;
    const int precision = asNeeded ? 10 : static_cast<int>(std::clamp<int64_t>(decimals, 0, MaxDecimals));

    // Fixed notation with a precision rounds the exact binary value, ties to even, as printf does.
    char* end = FixedWithin53Bits(value, precision, buffer);
    if (!end)
        end = std::to_chars(buffer, buffer + StrFBytes, static_cast<double>(value), std::chars_format::fixed, precision)
                  .ptr;
    if (asNeeded) {
        while (end[-1] == '0') --end;  // the point stops this loop: precision 10 always has one
        if (end[-1] == '.') --end;
    }
    return std::string_view(buffer, size_t(end - buffer));
}

Text StrF(float value, int64_t decimals) {
    char buffer[StrFBytes];
    const std::string_view digits = StrFAscii(value, decimals, buffer);
    return WidenAscii(digits.data(), digits.data() + digits.size());
}

int64_t Val(TextView text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
    unsigned base = 10;
    if (i < text.size() && text[i] == u'%') {
        base = 2, ++i;
    } else if (i < text.size() && text[i] == u'$') {
        base = 16, ++i;
    }
    // Unsigned arithmetic gives the wrap-around on overflow without undefined behaviour.
    uint64_t n = 0;
    for (; i < text.size(); ++i) {
        unsigned digit = DigitValue(text[i]);
        if (digit >= base) break;
        n = n * base + digit;
    }
    return static_cast<int64_t>(negative ? 0 - n : n);
}

float ValF(TextView text) {
    if (text.empty()) return 0.0f;
    const char16_t first = text[0];
    if (first == u'+' && EqualsIgnoringCase(text, u"+infinity")) {
        return std::numeric_limits<float>::infinity();
    }
    if (first == u'-' && EqualsIgnoringCase(text, u"-infinity")) {
        return -std::numeric_limits<float>::infinity();
    }
    // A CSV field such as "n/a" reads as NaN, whatever follows the "n".
    if (first == u'n' || (first == u'N' && EqualsIgnoringCase(text, u"nan"))) {
        return std::numeric_limits<float>::quiet_NaN();
    }

    // atof semantics on the 8-bit units: units above 255 are dropped, not replaced.
    char bytes[MaxParsedBytes + 1];
    size_t n = 0;
    for (char16_t unit : text) {
        if (unit > 0xFF) continue;
        bytes[n++] = static_cast<char>(unit);
        if (n == MaxParsedBytes) break;
    }
    bytes[n] = '\0';
    locale_t locale = NumericLocale();
    // Read as a double, then narrowed: never straight to float, which can round differently.
    return static_cast<float>(locale ? strtod_l(bytes, nullptr, locale) : std::strtod(bytes, nullptr));
}

double Round(double x, int mode) {
    switch (mode) {
        case RoundUp:
            return std::ceil(x);
        case RoundNearest:
            // Halves away from zero, exactly: floor(x + 0.5) would turn 0.49999999999999994 into 1
            // and odd integers above 2^52 into their even neighbours.
            return std::round(x);
        default:
            return std::floor(x);
    }
}

int64_t RoundToInteger(double x) {
    // NaN and values outside the 64-bit range have no integer; they give 0 and the nearest bound
    // instead of the undefined result of a plain conversion.
    if (std::isnan(x)) return 0;
    if (x >= 9223372036854775808.0) return std::numeric_limits<int64_t>::max();
    if (x < -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
    double r = std::round(x);
    // std::round sends a tie away from zero; step back when that landed on an odd value.
    if (std::fabs(r - x) == 0.5 && std::fmod(r, 2.0) != 0.0) r -= std::copysign(1.0, x);
    return static_cast<int64_t>(r);
}
