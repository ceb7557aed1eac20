// The picker's process list: the rows for a search text, either the desktop applications of the
// current user or every process of the system, in the order the system lists them.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/text.h"

struct ProcessRow {
    int32_t pid{};
    Text name;              // never empty: "Unknown" at worst
    Text path;              // the executable, "" when it cannot be told
    uint64_t startTime{};   // with the PID it names the process for good; 0 if it has gone
};

// Rows for the search text (matched against the lowered name or the PID's digits; empty keeps
// every row). userAppsOnly keeps the current user's desktop applications outside the system's
// own program folders.
std::vector<ProcessRow> ListProcessRows(TextView searchText, bool userAppsOnly);

// Whether a process passes the search; loweredSearch is already lower-cased.
bool MatchesProcessSearch(TextView loweredSearch, TextView name, int32_t pid);
// Helper programs of the system, which user-apps mode leaves out: the path holds
// "/system/library/" or "/usr/libexec/" in any letter case.
bool IsSystemHelperPath(TextView path);
// A row as the list takes it: PID, name and path separated by line feeds.
Text ProcessRowText(const ProcessRow& row);
