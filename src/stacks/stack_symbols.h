// Names for the frames of allocation stacks: function, source file and line where debug
// information has them, else module and offset; found with elfutils' libdwfl from the module map
// each stack first appeared with, once per distinct frame. And the folded-stack text that
// flame-graph tools read.
#pragma once

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "runtime/text.h"
#include "stacks/heap_stacks.h"

struct StackFrame {
    Text function;  // demangled; empty when no symbol covers the address
    Text file;      // empty without line information
    int64_t line{};
    Text module;      // the module's file name
    uint64_t offset{};  // the address in the module's own terms, as addr2line takes it
};

struct Dwfl;

// The symbol tables opened so far and every frame named so far. Not copyable: it owns the tables.
struct StackSymbols {
    StackSymbols() = default;
    StackSymbols(const StackSymbols&) = delete;
    StackSymbols& operator=(const StackSymbols&) = delete;
    ~StackSymbols();

    std::map<int32_t, Dwfl*> sessions;  // by module map
    std::map<std::pair<int32_t, uint64_t>, StackFrame> frames;
};

// A stack's frames, innermost first, without the allocator's own (operator new, allocator
// templates, the library's entry points).
std::vector<StackFrame> StackFrames(StackSymbols& symbols, const StackHistory& history, int32_t stack);

// One line per stack with live bytes in the column, "outer;...;inner (file:line) BYTES", stacks
// that read the same merged; lines in text order.
Text FoldedStacks(StackSymbols& symbols, const StackHistory& history, int64_t slot);
// Writes FoldedStacks to a new file; false when it could not be written whole.
bool WriteFoldedStacks(StackSymbols& symbols, const StackHistory& history, int64_t slot, TextView path);
