#include "app/process_picker.h"

#include <QApplication>
#include <QHash>
#include <QIcon>
#include <QStyle>

#include <vector>

#include "session/process_list.h"
#include "strings/stringtable.h"
#include "toolkit/event_queue.h"
#include "toolkit/gadget.h"
#include "toolkit/qt_text.h"
#include "toolkit/requester.h"
#include "toolkit/window.h"

namespace {

// The rows the list shows now, for the start time of the one chosen.
std::vector<ProcessDescription>& ListedRows() {
    static std::vector<ProcessDescription> rows;
    return rows;
}

// What this sheet's refills learnt about which processes are desktop applications.
UserAppCache& KnownUserApps() {
    static UserAppCache cache;
    return cache;
}

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

void Refill() {
    FillProcessList(GetGadgetText(PickerSearch), GetGadgetState(PickerUserAppsOnly) == CheckBoxChecked);
}

// The selected row as the choice; nothing when no row is selected.
std::optional<ProcessDescription> SelectedProcess() {
    const int64_t row = GetGadgetState(PickerList);
    if (row < 0) return std::nullopt;
    const int32_t pid = int32_t(Val(GetGadgetItemText(PickerList, row, 0)));
    if (size_t(row) < ListedRows().size() && ListedRows()[size_t(row)].pid == pid)
        return ListedRows()[size_t(row)];
    // Not a row this sheet listed: the PID and name the list shows, and no start time.
    ProcessDescription picked;
    picked.pid = pid;
    picked.name = GetGadgetItemText(PickerList, row, 1);
    return picked;
}

// The sheet's own loop: only its gadgets' events and its close request (Escape) count; everything
// else is taken and dropped.
std::optional<ProcessDescription> RunPickerLoop() {
    for (;;) {
        DisableGadget(PickerSelect, GetGadgetState(PickerList) < 0 ? 1 : 0);
        const int32_t code = WaitWindowEvent();
        if (EventWindow() != PickerWindow) continue;
        if (code == EventCodeCloseWindow) return std::nullopt;
        if (code != EventCodeGadget) continue;
        switch (EventGadget()) {
            case PickerSearch:
                if (EventType() == EventTypeChange) Refill();
                break;
            case PickerUserAppsOnly: Refill(); break;
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
    ClearGadgetItems(PickerList);
    ListedRows() = ListProcessRows(searchText, userAppsOnly, &KnownUserApps());
    for (const ProcessDescription& row : ListedRows())
        AddGadgetItem(PickerList, -1, ProcessRowText(row), ExecutableIcon(row.path));
}

std::optional<ProcessDescription> PickProcess(int64_t parentWindow) {
    AlertAttention();
    KnownUserApps().entries.clear();  // a new sheet looks at every process afresh
    if (!OpenWindow(PickerWindow, 0, 0, 550, 420, u"", WindowInvisible, parentWindow)) return std::nullopt;
    std::optional<ProcessDescription> picked;
    if (CreatePickerGadgets()) {
        FillProcessList(u"", true);
        SetGadgetState(PickerUserAppsOnly, CheckBoxChecked);
        BeginSheet(PickerWindow, parentWindow);
        picked = RunPickerLoop();
        EndSheet(PickerWindow);
    }
    CloseWindow(PickerWindow);
    ListedRows().clear();
    KnownUserApps().entries.clear();
    return picked;
}
