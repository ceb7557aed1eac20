// The picker's process list: the rows for a search text, either the desktop applications of the
// current user or every process of the system, in the order the system lists them.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "platform/process_info.h"
#include "runtime/text.h"

// What refills already learnt about each process (by PID and start time): whether it is a desktop
// application of the user. Telling that costs three reads of the process's files, and the picker
// refills on every key press; the names and paths are read afresh each time.
struct UserAppCache {
    struct Entry {
        uint64_t startTime{};
        bool userApp{};
    };
    std::unordered_map<int32_t, Entry> entries;
};

// Rows for the search text (matched against the lowered name or the PID's digits; empty keeps
// every row). userAppsOnly keeps the current user's desktop applications outside the system's
// own program folders; a process that has already ended (a zombie) is none. With a cache, what it
// knows is used and what it learns is kept; processes no longer listed leave it.
std::vector<ProcessDescription> ListProcessRows(TextView searchText, bool userAppsOnly,
                                                UserAppCache* cache = nullptr);

// Whether a process passes the search; loweredSearch is already lower-cased.
bool MatchesProcessSearch(TextView loweredSearch, TextView name, int32_t pid);
// Helper programs of the system, which user-apps mode leaves out: the path holds
// "/system/library/" or "/usr/libexec/" in any letter case.
bool IsSystemHelperPath(TextView path);
// A row as the list takes it: PID, name and path separated by line feeds.
Text ProcessRowText(const ProcessDescription& row);
