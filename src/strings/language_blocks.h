// The compiled-in language blocks, one source file each. Every view spans its whole block, the
// closing "_END_" and its terminator included.
#pragma once

#include "runtime/text.h"

TextView EnglishStringBlock();
TextView GermanStringBlock();
TextView FrenchStringBlock();
TextView SpanishStringBlock();
TextView ItalianStringBlock();
