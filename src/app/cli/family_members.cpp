#include "app/cli/family_members.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "strings/stringtable.h"

namespace {

constexpr size_t LinesAlone = 5;

// The member's record: the one kept for its PID when it is the same process, else a new one.
MemberRecord& RecordOf(FamilyMembers& family, const FamilyMember& member, double seconds, int64_t bytes) {
    auto [known, added] = family.byPid.try_emplace(member.pid, family.members.size());
    if (!added && family.members[known->second].startTime == member.startTime) return family.members[known->second];
    known->second = family.members.size();
    MemberRecord& record = family.members.emplace_back();
    record.pid = member.pid;
    record.startTime = member.startTime;
    record.firstSeconds = seconds;
    record.firstBytes = bytes;
    return record;
}

double Megabytes(int64_t bytes) { return double(bytes) / 1048576.0; }

}  // namespace

LogFailure CreateChildrenCsv(FamilyMembers& family, TextView path) {
    return CreateMonitorLogAt(family.csv, path, ChildrenCsvHeaderLine);
}

bool MemberNameWanted(const FamilyMembers& family, const FamilyMember& member) {
    const auto known = family.byPid.find(member.pid);
    if (known == family.byPid.end()) return true;
    const MemberRecord& record = family.members[known->second];
    return record.startTime != member.startTime || record.sightings < 2;
}

LogFailure NoteMembers(FamilyMembers& family, const std::vector<FamilyMember>& members, double seconds,
                       DateValue time) {
    const int64_t sample = ++family.samples;
    if (family.columns.empty()) family.columns.resize(HistorySlotCount);
    auto& column = family.columns[size_t(sample % HistorySlotCount)];
    column.clear();
    const bool writing = family.csv.file != 0 && !family.csv.failed;
    char timeOfDay[9], digits[StrFBytes];
    const std::string_view clock = TimeOfDayAscii(time, timeOfDay);
    std::string& rows = family.csv.row;
    rows.clear();
    for (const FamilyMember& member : members) {
        const int64_t bytes = std::max<int64_t>(member.footprintBytes, 0);
        MemberRecord& record = RecordOf(family, member, seconds, bytes);
        if (!member.name.empty()) record.name = member.name;
        record.parentPid = member.parentPid;
        record.lastSeconds = seconds;
        record.lastBytes = bytes;
        record.peakBytes = std::max(record.peakBytes, bytes);
        record.lastSample = sample;
        ++record.sightings;
        const float mb = float(Megabytes(bytes));
        column.emplace_back(uint32_t(&record - family.members.data()), mb);
        if (writing) {
            rows += clock;
            rows += ',' + std::to_string(member.pid) + ',' + CsvQuotedUtf8(record.name) + ',';
            rows += StrFAscii(mb, 2, digits);
            rows += '\n';
        }
    }
    if (rows.empty()) return {};
    rows.pop_back();  // the log adds the last line end
    return WriteMonitorLogRow(family.csv, rows, false);
}

void RenameMembers(FamilyMembers& family, const std::vector<FamilyMember>& members) {
    for (const FamilyMember& member : members) {
        const auto known = family.byPid.find(member.pid);
        if (known == family.byPid.end() || member.name.empty()) continue;
        MemberRecord& record = family.members[known->second];
        if (record.startTime == member.startTime && record.lastSample == family.samples) record.name = member.name;
    }
}

std::vector<MemberLine> MemberLines(const FamilyMembers& family, const SampleHistory& history) {
    if (family.columns.empty()) return {};
    const int64_t slots = std::clamp<int64_t>(history.count, 0, HistorySlotCount);
    const int64_t firstSample = family.samples - slots + 1;  // the sample in slot 0
    auto columnAt = [&](int64_t slot) -> const std::vector<std::pair<uint32_t, float>>* {
        const int64_t sample = firstSample + slot;
        return sample >= 1 ? &family.columns[size_t(sample % HistorySlotCount)] : nullptr;
    };
    // Each member's peak over the history's samples; the largest alone, the others summed.
    std::unordered_map<uint32_t, float> peaks;
    for (int64_t slot = 0; slot < slots; ++slot)
        if (const auto* column = columnAt(slot))
            for (const auto& [member, mb] : *column) peaks[member] = std::max(peaks[member], mb);
    std::vector<std::pair<float, uint32_t>> ranked;
    for (const auto& [member, peak] : peaks) ranked.emplace_back(-peak, member);
    std::sort(ranked.begin(), ranked.end());
    const size_t alone = std::min(ranked.size(), LinesAlone);
    std::vector<MemberLine> lines;
    std::unordered_map<uint32_t, size_t> lineOf;
    for (size_t i = 0; i < alone; ++i) {
        const MemberRecord& m = family.members[ranked[i].second];
        lineOf[ranked[i].second] = i;
        lines.push_back({TextToUtf8(m.name) + " (" + std::to_string(m.pid) + ")", {}, false});
    }
    if (ranked.size() > alone)
        lines.push_back({FilledText(TextId::PlotOtherMembers, {std::to_string(ranked.size() - alone)}), {}, true});
    for (MemberLine& line : lines) line.mb.assign(HistorySlotCount, std::numeric_limits<float>::quiet_NaN());
    for (int64_t slot = 0; slot < slots; ++slot) {
        const auto* column = columnAt(slot);
        if (!column) continue;
        for (const auto& [member, mb] : *column) {
            const auto own = lineOf.find(member);
            float& value = lines[own != lineOf.end() ? own->second : alone].mb[size_t(slot)];
            value = std::isnan(value) ? mb : value + mb;
        }
    }
    return lines;
}
