#include "app/process_picker.h"

#include <QApplication>
#include <QHash>
#include <QIcon>
#include <QStyle>

#include <algorithm>
#include <unordered_set>
#include <vector>

#include "session/process_list.h"
#include "strings/stringtable.h"
#include "toolkit/event_queue.h"
#include "toolkit/gadget.h"
#include "toolkit/qt_text.h"
#include "toolkit/requester.h"
#include "toolkit/timer.h"
#include "toolkit/window.h"

namespace {

// The processes this sheet has read.
ListedProcesses& Table() {
    static ListedProcesses table;
    return table;
}

// What the list shows now, in its order: the directory inode of each row's process (which tells
// it from a later process with the same PID), and the rows of Table() for the start time of the one
// chosen (taken again after every reading of the table, which moves them).
struct Shown {
    std::vector<uint64_t> inodes;
    std::vector<const ListedProcess*> rows;
};
Shown& ShownRows() {
    static Shown shown;
    return shown;
}

// While the sheet is open, the processes are read again this often: new ones appear, ended ones go.
constexpr int64_t PickerRefreshMs = 2000;

// The desktop theme's icon named like the executable, else the generic one for programs. Lookups
// are kept for the run: a refill on every key press asks for the same names again.
QIcon ExecutableIcon(const Text& path) {
    if (path.empty()) return QIcon();
    static QHash<QString, QIcon> known;
    const QString name = ToQString(TextView(path).substr(path.rfind(u'/') + 1));  // npos + 1 = 0
    auto found = known.constFind(name);
    if (found != known.constEnd()) return *found;
    static const QIcon generic = QIcon::fromTheme(QStringLiteral("application-x-executable"),
                                                  QApplication::style()->standardIcon(QStyle::SP_FileIcon));
    const QIcon icon = !name.isEmpty() && QIcon::hasThemeIcon(name) ? QIcon::fromTheme(name) : generic;
    known.insert(name, icon);
    return icon;
}

bool CreatePickerGadgets() {
    const Text searchLabel = LookupText(TextId::Search);
    // The label ends a few pixels before the field in every language.
    TextGadget(AnyNumber, 15, 15, 58, 20, searchLabel);
    if (!StringGadget(PickerSearch, 78, 12, 272, 24, u"")) return false;
    SetStringGadgetPlaceholder(PickerSearch, LookupText(TextId::SearchPlaceholder));
    SetGadgetRoundedBezel(PickerSearch);
    CheckBoxGadget(PickerUserAppsOnly, 370, 14, 160, 20, LookupText(TextId::UserAppsOnly));
    if (!ListIconGadget(PickerList, 15, 45, 520, 320, u"PID", 80, 8)) return false;
    AddGadgetColumn(PickerList, 1, LookupText(TextId::ColumnProcessName), 190);
    AddGadgetColumn(PickerList, 2, LookupText(TextId::ColumnPath), 230);
    SetListHorizontalScrollBar(PickerList, 0);
    ButtonGadget(PickerSelect, 300, 380, 120, 25, LookupText(TextId::Select));
    const Text cancel = LookupText(TextId::Cancel);
    return ButtonGadget(PickerCancel, 425, 380, EstimateTextWidth(cancel), 25, cancel, ButtonDefault) != 0;
}

bool UserAppsOnly() { return GetGadgetState(PickerUserAppsOnly) == CheckBoxChecked; }

void Refill() { FillProcessList(GetGadgetText(PickerSearch), UserAppsOnly()); }

void AddRow(int64_t position, const ListedProcess& row) {
    AddGadgetItem(PickerList, position, ProcessRowText(row.description), ExecutableIcon(row.description.path));
}

// The list filled afresh with these rows, the selected process selected again if it is among them.
void FillRows(const std::vector<const ListedProcess*>& rows) {
    const Shown& shown = ShownRows();
    const int64_t selected = GetGadgetState(PickerList);
    const uint64_t selectedInode =
        selected >= 0 && size_t(selected) < shown.inodes.size() ? shown.inodes[size_t(selected)] : 0;
    ClearGadgetItems(PickerList);
    for (const ListedProcess* row : rows) {
        AddRow(-1, *row);
        if (row->inode == selectedInode) SetGadgetState(PickerList, CountGadgetItems(PickerList) - 1);
    }
}

// The list brought from the rows it shows to these. Where fewer rows change than are to be shown
// (a key typed or erased most often drops or brings back a few), rows that left are removed and
// new ones inserted where they belong, the others kept with the selection and scroll position;
// otherwise the list is filled afresh.
void ShowRows(std::vector<const ListedProcess*> rows) {
    Shown& shown = ShownRows();
    std::unordered_set<uint64_t> wanted;
    for (const ListedProcess* row : rows) wanted.insert(row->inode);
    const size_t kept = size_t(std::count_if(shown.inodes.begin(), shown.inodes.end(),
                                             [&wanted](uint64_t inode) { return wanted.count(inode) > 0; }));
    const size_t changes = (shown.inodes.size() - kept) + (rows.size() - kept);
    if (CountGadgetItems(PickerList) != int64_t(shown.inodes.size()) || changes > kept) {
        FillRows(rows);
    } else {
        // Both lists follow the table's order: walked together, each old row is kept or removed.
        size_t old = 0;
        int64_t position = 0;
        for (const ListedProcess* row : rows) {
            for (; old < shown.inodes.size() && shown.inodes[old] != row->inode && !wanted.count(shown.inodes[old]);
                 ++old)
                RemoveGadgetItem(PickerList, position);
            if (old < shown.inodes.size() && shown.inodes[old] == row->inode)
                ++old;
            else
                AddRow(position, *row);
            ++position;
        }
        while (CountGadgetItems(PickerList) > position) RemoveGadgetItem(PickerList, position);
    }
    shown.inodes.clear();
    for (const ListedProcess* row : rows) shown.inodes.push_back(row->inode);
    shown.rows = std::move(rows);
}

// Reads the processes again (what is new, and which have gone) and shows the rows for the search
// text and mode, the selection kept.
void RefreshProcessList() {
    RefreshListedProcesses(Table(), UserAppsOnly());
    ShowRows(SearchListedProcesses(Table(), GetGadgetText(PickerSearch), UserAppsOnly()));
}

// The selected row as the choice; nothing when no row is selected.
std::optional<ProcessDescription> SelectedProcess() {
    const int64_t row = GetGadgetState(PickerList);
    if (row < 0) return std::nullopt;
    const int32_t pid = int32_t(Val(GetGadgetItemText(PickerList, row, 0)));
    const std::vector<const ListedProcess*>& rows = ShownRows().rows;
    if (size_t(row) < rows.size() && rows[size_t(row)]->description.pid == pid) return rows[size_t(row)]->description;
    // Not a row this sheet listed: the PID and name the list shows, and no start time.
    ProcessDescription picked;
    picked.pid = pid;
    picked.name = GetGadgetItemText(PickerList, row, 1);
    return picked;
}

// The sheet's own loop: only its gadgets' events, its timer and its close request (Escape) count;
// everything else is taken and dropped.
std::optional<ProcessDescription> RunPickerLoop() {
    for (;;) {
        DisableGadget(PickerSelect, GetGadgetState(PickerList) < 0 ? 1 : 0);
        const int32_t code = WaitWindowEvent();
        if (EventWindow() != PickerWindow) continue;
        if (code == EventCodeCloseWindow) return std::nullopt;
        if (code == EventCodeTimer && EventTimer() == PickerRefreshTimer) RefreshProcessList();
        if (code != EventCodeGadget) continue;
        switch (EventGadget()) {
            case PickerSearch:
                if (EventType() == EventTypeChange) Refill();
                break;
            case PickerUserAppsOnly: RefreshProcessList(); break;
            case PickerList:
                if (EventType() != EventTypeLeftDoubleClick) break;
                [[fallthrough]];
            case PickerSelect:
                if (auto picked = SelectedProcess()) return picked;
                break;
            case PickerCancel: return std::nullopt;
        }
    }
}

}  // namespace

void FillProcessList(TextView searchText, bool userAppsOnly) {
    ListedProcesses& table = Table();
    if (ListedProcessesLack(table, userAppsOnly)) RefreshListedProcesses(table, userAppsOnly);
    ShowRows(SearchListedProcesses(table, searchText, userAppsOnly));
}

void ForgetProcessList() {
    Table() = ListedProcesses{};
    ShownRows() = Shown{};
}

std::optional<ProcessDescription> PickProcess(int64_t parentWindow) {
    AlertAttention();
    ForgetProcessList();  // a new sheet looks at every process afresh
    if (!OpenWindow(PickerWindow, 0, 0, 550, 420, u"", WindowInvisible, parentWindow)) return std::nullopt;
    std::optional<ProcessDescription> picked;
    if (CreatePickerGadgets()) {
        FillProcessList(u"", true);
        SetGadgetState(PickerUserAppsOnly, CheckBoxChecked);
        BeginSheet(PickerWindow, parentWindow);
        AddWindowTimer(PickerWindow, PickerRefreshTimer, PickerRefreshMs);
        picked = RunPickerLoop();
        RemoveWindowTimer(PickerWindow, PickerRefreshTimer);
        EndSheet(PickerWindow);
    }
    CloseWindow(PickerWindow);
    ForgetProcessList();
    return picked;
}
