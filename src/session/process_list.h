// The picker's process list: the rows for a search text, either the desktop applications of the
// current user or every process of the system, in the order the system lists them.
//
// The processes are read once into a table and searched there: a key typed in the search field
// reads nothing. The table is read again on request (the sheet's timer, the user's own asking),
// and then only what is new: a process already read keeps its row until it ends, and one that
// takes over a PID is another process with another directory (see ProcessEntry).
#pragma once

#include <cstdint>
#include <vector>

#include "platform/process_info.h"
#include "runtime/text.h"

// One process of the table.
struct ListedProcess {
    ProcessDescription description;  // its name and path only once described
    uint64_t inode{};                // of its directory when it was read
    Text loweredName;                // what the search matches, with the PID's digits
    Text pidDigits;
    int8_t userApp{-1};  // a desktop application of the user: 1 or 0; -1 while no one has asked
    bool described{};    // user-apps mode describes only the user's applications
    // When the row was first read and last described (seconds of a steady clock): a process that
    // executes another program keeps its directory, so its name is read again, as the process
    // table reads names.
    double firstSeen{}, describedAt{};
};

struct ListedProcesses {
    std::vector<ListedProcess> rows;  // in the order the system lists them
    bool read{};                      // the processes have been read at least once
};

// Reads the processes new to the table (every one the first time) and drops those that have
// gone, describes again the rows whose names are due to be read again (NameRecheckDue), and learns
// of every row what the mode needs and is not known yet: in user-apps mode
// whether it is a desktop application of the user (three more reads of its files) and the name and
// path of those that are; in all-processes mode every name and path. Whether the rows or what is
// known of them changed.
bool RefreshListedProcesses(ListedProcesses& table, bool userAppsOnly);
// Whether the table lacks something the mode needs, which only a refresh can learn.
bool ListedProcessesLack(const ListedProcesses& table, bool userAppsOnly);

// The rows for the search text (matched against the lowered name or the PID's digits; empty keeps
// every row) from the table alone. userAppsOnly keeps the current user's desktop applications
// outside the system's own program folders (rows not yet asked about count as none); a process
// that had already ended (a zombie) when it was read is none.
std::vector<const ListedProcess*> SearchListedProcesses(const ListedProcesses& table, TextView searchText,
                                                        bool userAppsOnly);

// Helper programs of the system, which user-apps mode leaves out: the path holds
// "/system/library/" or "/usr/libexec/" in any letter case.
bool IsSystemHelperPath(TextView path);
// A row as the list takes it: PID, name and path separated by line feeds.
Text ProcessRowText(const ProcessDescription& row);
