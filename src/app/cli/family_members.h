// The members of a recorded family one by one (--include-children): every process seen in it, with
// when it was first and last seen and its footprint then and at its peak, for the JSON; each
// member's footprint at the samples the history holds, for the plot's lines; and --children-csv,
// one row per member per sample. A member costs one small record for the whole recording; its
// samples are kept for the history's span only, so a long recording of a family that keeps
// changing stays bounded.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "monitor/sample_history.h"
#include "platform/process_family.h"
#include "presentation/analysis_plot.h"
#include "session/monitor_log.h"

inline const TextView ChildrenCsvHeaderLine = u"Timestamp,PID,Name,Footprint(MB)";

struct MemberRecord {
    int32_t pid{}, parentPid{};
    uint64_t startTime{};  // tells a new process that took over a PID from the member
    Text name;
    double firstSeconds{}, lastSeconds{};  // from the start of the recording
    int64_t firstBytes{}, lastBytes{}, peakBytes{};
    int64_t lastSample{};  // the number of the last sample it was in, from 1
    int64_t sightings{};
};

struct FamilyMembers {
    std::vector<MemberRecord> members;  // in the order first seen
    int64_t samples{};                  // noted so far
    std::unordered_map<int32_t, size_t> byPid;  // the last member seen with each PID
    // The members of each of the last HistorySlotCount samples (their place in `members`) and their
    // footprints in MB, at the sample's number modulo HistorySlotCount.
    std::vector<std::vector<std::pair<uint32_t, float>>> columns;
    MonitorLog csv;  // --children-csv: open while rows go to it
};

// Creates --children-csv at path, with the monitor log's head and its own header line.
LogFailure CreateChildrenCsv(FamilyMembers& family, TextView path);

// Whether a member's name is read at this sample: at the first two samples it is in (a child seen
// between its fork and its exec still bears its parent's name at the first), and not afterwards.
bool MemberNameWanted(const FamilyMembers& family, const FamilyMember& member);

// Notes one sample's members (none when the family could not be read: the sample still counts),
// taken `seconds` after the start of the recording, and writes their rows, with the time of day of
// `time`, to the CSV file when one is open; a failure to write it closes it and is returned.
LogFailure NoteMembers(FamilyMembers& family, const std::vector<FamilyMember>& members, double seconds,
                       DateValue time);

// Takes the names of the members as they are now for those of the last sample: a process that
// started another program since its first samples is known by that.
void RenameMembers(FamilyMembers& family, const std::vector<FamilyMember>& members);

// The plot's lines under the family's footprint, for the samples the history holds: the five
// members of the largest footprint there, each alone, and the others summed in one more line.
std::vector<MemberLine> MemberLines(const FamilyMembers& family, const SampleHistory& history);
