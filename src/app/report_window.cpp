#include "app/report_window.h"

#include "analysis/report_split.h"
#include "strings/stringtable.h"
#include "toolkit/application.h"
#include "toolkit/event_queue.h"
#include "toolkit/gadget.h"
#include "toolkit/requester.h"
#include "toolkit/window.h"

namespace {

void CreateReportGadgets() {
    TextGadget(AnyNumber, 15, 12, 400, 20, LookupText(TextId::ReportTitle));
    // The first column's title is the report's own, English in every language.
    ListIconGadget(ReportPhaseList, 15, 35, 790, 294, u"Phase / Time Range", 252, ListIconGridLines | 8);
    AddGadgetColumn(ReportPhaseList, 1, LookupText(TextId::ColumnFootprint), 140);
    AddGadgetColumn(ReportPhaseList, 2, LookupText(TextId::ColumnPhaseDelta), 96);
    AddGadgetColumn(ReportPhaseList, 3, LookupText(TextId::ColumnRate), 96);
    AddGadgetColumn(ReportPhaseList, 4, LookupText(TextId::ColumnBehaviorNote), 200);
    SetListHorizontalScrollBar(ReportPhaseList, 0);
    TextGadget(AnyNumber, 15, 350, 400, 20, LookupText(TextId::DiagnosticSummary));
    EditorGadget(ReportSummary, 15, 374, 790, 200, EditorReadOnly | EditorWordWrap);
    ButtonGadget(ReportCopy, 530, 584, 150, 25, LookupText(TextId::CopyReport));
    const Text close = LookupText(TextId::Close);
    ButtonGadget(ReportClose, 695, 584, EstimateTextWidth(close), 25, close, ButtonDefault);
}

void ShowSplitReport(TextView reportText) {
    const ReportSplit split = SplitReport(reportText);
    for (const ReportRow& row : split.rows) {
        Text line = row[0];
        for (size_t column = 1; column < row.size(); ++column) line += u"\n" + row[column];
        AddGadgetItem(ReportPhaseList, -1, line);
    }
    SetGadgetText(ReportSummary, SummaryFieldText(split));
}

void CopyReport(TextView reportText) {
    SetClipboardText(reportText);
    AlertAttention();
    MessageRequester(LookupText(TextId::Success), LookupText(TextId::ReportCopied) + u"\n");
}

// Until the window is closed by its close button, Escape or Close; other windows' events are
// dropped. The main window waits behind it: when the user turns to it (or restores it), the report
// comes back to the front, also from being minimised.
void RunReportLoop(TextView reportText, int64_t mainWindow) {
    for (;;) {
        const int32_t code = WaitWindowEvent();
        if (EventWindow() == mainWindow && (code == EventCodeActivateWindow || code == EventCodeRestoreWindow))
            SetActiveWindow(ReportWindow);
        if (EventWindow() != ReportWindow) continue;
        if (code == EventCodeCloseWindow) return;
        if (code != EventCodeGadget) continue;
        if (EventGadget() == ReportCopy) CopyReport(reportText);
        else if (EventGadget() == ReportClose) return;
    }
}

}  // namespace

Text ReportWindowTitle(bool fromLogFile, TextView targetName) {
    if (fromLogFile) return LookupText(TextId::ReportTitle);
    if (!targetName.empty()) return LookupText(TextId::ReportTitleFor) + Text(targetName);
    return Text();
}

void ShowAnalysisReport(TextView reportText, bool fromLogFile, TextView targetName, int64_t mainWindow) {
    BringApplicationToFront();
    // A window-modal dialog of the main window, centred on it: the desktop keeps it above the main
    // window only, and minimises the two together.
    if (!OpenWindow(ReportWindow, 0, 0, 820, 620, ReportWindowTitle(fromLogFile, targetName), WindowInvisible,
                    mainWindow))
        return;
    SetWindowTitlebarTransparent(ReportWindow, 1);
    CreateReportGadgets();
    ShowSplitReport(reportText);
    BeginSheet(ReportWindow, mainWindow);
    SetWindowMovable(ReportWindow, 0);
    DisableWindow(mainWindow, 1);
    RunReportLoop(reportText, mainWindow);
    DisableWindow(mainWindow, 0);
    EndSheet(ReportWindow);
    CloseWindow(ReportWindow);
}
