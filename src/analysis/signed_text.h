// Number texts of the report that show their direction.
#pragma once

#include <cstdint>

#include "runtime/text.h"

// StrF with a "+" in front of values above zero; zero and negative values as StrF writes them.
inline Text SignedStrF(float value, int64_t decimals) {
    Text digits = StrF(value, decimals);
    return value > 0.0f ? u"+" + digits : digits;
}
