// The picker sheet (window 1): a searchable list of the user's applications or of every process,
// shown over the main window until the user picks a row or cancels.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/process_info.h"
#include "runtime/text.h"

inline constexpr int64_t PickerWindow = 1;
enum PickerGadget : int64_t {
    PickerList = 0,
    PickerSearch = 1,
    PickerUserAppsOnly = 2,
    PickerSelect = 3,
    PickerCancel = 4,
};
// The sheet's timer, which reads the processes again while it is open.
inline constexpr int64_t PickerRefreshTimer = 1;

// Shows in the picker's list (gadget 0) the rows for the search text and mode, each with its
// executable's icon, from the processes the sheet has read: a key typed in the search field reads
// nothing. They are read when none have been, or when the mode needs to ask about some; the sheet
// reads them again on its timer and when the mode is switched.
void FillProcessList(TextView searchText, bool userAppsOnly);
// Forgets the processes read, so that the next fill reads them afresh.
void ForgetProcessList();

// Opens the picker as a sheet of parentWindow and runs it until a row is chosen (Select or a
// double click) or Cancel, and returns the chosen process as it was listed (its start time 0 when
// it had already gone then). Events of other windows that arrive meanwhile are dropped. Nothing
// when cancelled or when the sheet could not be opened; the caller keeps any earlier choice then.
std::optional<ProcessDescription> PickProcess(int64_t parentWindow);
