#include "session/number_format.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Decimal units, as file sizes are counted: bytes and KB whole, MB with one decimal, larger units
// with two, trailing zeros dropped.
struct ByteUnit {
    const char* name;
    int decimals;
};
constexpr ByteUnit kByteUnits[] = {{"bytes", 0}, {"KB", 0}, {"MB", 1}, {"GB", 2},
                                   {"TB", 2},    {"PB", 2}, {"EB", 2}};
constexpr int kByteUnitCount = sizeof(kByteUnits) / sizeof(kByteUnits[0]);

std::string FixedDecimals(double value, int decimals) {
    char digits[64];
    std::snprintf(digits, sizeof digits, "%.*f", decimals, value);
    std::string text = digits;
    if (text.find('.') != std::string::npos) {
        while (text.back() == '0') text.pop_back();
        if (text.back() == '.') text.pop_back();
    }
    return text;
}

}  // namespace

ByteCountParts SplitByteCount(int64_t bytes) {
    if (bytes == 0) return {};
    const bool negative = bytes < 0;
    const double magnitude = negative ? -double(bytes) : double(bytes);
    if (magnitude == 1.0) return {double(bytes), 0, "byte"};
    double value = magnitude;
    int unit = 0;
    // Move up while the rounded figure would read 1000 or more in this unit.
    for (; unit + 1 < kByteUnitCount; ++unit) {
        const std::string rounded = FixedDecimals(value, kByteUnits[unit].decimals);
        if (std::strtod(rounded.c_str(), nullptr) < 1000.0) break;
        value /= 1000.0;
    }
    return {negative ? -value : value, kByteUnits[unit].decimals, kByteUnits[unit].name};
}

Text PlainByteCount(int64_t bytes) {
    if (bytes == 0) return u"Zero KB";
    const ByteCountParts parts = SplitByteCount(bytes);
    return TextFromUtf8(FixedDecimals(parts.value, parts.decimals) + " " + parts.unit);
}

Text PlainGroupedCount(int64_t count) {
    // Digits of the magnitude, built without negating INT64_MIN.
    std::string digits = std::to_string(count);
    std::string sign;
    if (!digits.empty() && digits[0] == '-') sign = "-", digits.erase(0, 1);
    std::string grouped;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) grouped.push_back(',');
        grouped.push_back(digits[i]);
    }
    return TextFromUtf8(sign + grouped);
}

SessionFormatter PlainFormatter() { return SessionFormatter{PlainByteCount, PlainGroupedCount}; }
