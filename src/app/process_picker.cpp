#include "app/process_picker.h"

#include <QApplication>
#include <QHash>
#include <QIcon>
#include <QStyle>

#include <algorithm>
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

// What the list shows now, in its order: the PIDs, and the rows of Table() for the start time of
// the one chosen (taken again after every reading of the table, which moves them).
struct Shown {
    std::vector<int32_t> pids;
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

// The list with these rows. A list that shows the same processes already is left as it is, with
// its selection and scroll position; otherwise the selected process stays selected if it is
// still listed and keepSelection.
void ShowRows(std::vector<const ListedProcess*> rows, bool keepSelection) {
    Shown& shown = ShownRows();
    const int64_t selected = GetGadgetState(PickerList);
    const int32_t selectedPid = selected >= 0 && size_t(selected) < shown.pids.size() ? shown.pids[size_t(selected)] : 0;
    const bool same = std::equal(rows.begin(), rows.end(), shown.pids.begin(), shown.pids.end(),
                                 [](const ListedProcess* row, int32_t pid) { return row->description.pid == pid; });
    shown.rows = std::move(rows);
    if (same && CountGadgetItems(PickerList) == int64_t(shown.rows.size())) return;
    shown.pids.clear();
    ClearGadgetItems(PickerList);
    for (const ListedProcess* row : shown.rows) {
        shown.pids.push_back(row->description.pid);
        AddGadgetItem(PickerList, -1, ProcessRowText(row->description), ExecutableIcon(row->description.path));
    }
    for (size_t i = 0; keepSelection && selectedPid > 0 && i < shown.pids.size(); ++i)
        if (shown.pids[i] == selectedPid) SetGadgetState(PickerList, int64_t(i));
}

// Reads the processes again (what is new, and which have gone) and shows the rows for the search
// text and mode, the selection kept.
void RefreshProcessList() {
    RefreshListedProcesses(Table(), UserAppsOnly());
    ShowRows(SearchListedProcesses(Table(), GetGadgetText(PickerSearch), UserAppsOnly()), true);
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
    ShowRows(SearchListedProcesses(table, searchText, userAppsOnly), false);
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
