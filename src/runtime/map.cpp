#include "runtime/map.h"

uint32_t HashText(TextView key) {
    uint32_t h = 0;
    for (char16_t unit : key) h = h * 65599u + unit;
    return h;
}
