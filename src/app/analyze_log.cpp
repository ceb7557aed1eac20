#include "app/analyze_log.h"

#include "analysis/log_loader.h"
#include "analysis/phase_analysis.h"
#include "app/report_window.h"
#include "runtime/file.h"
#include "strings/stringtable.h"
#include "toolkit/requester.h"

void AnalyzeLogFile(SampleHistory& history, int64_t mainWindow) {
    AlertAttention(false);  // to the front; only prompts and errors beep
    const Text path = OpenFileRequester(u"Select CSV Memory Log", GetHomeDirectory(),
                                        u"CSV (*.csv)|*.csv|" + LookupText(TextId::AllFiles) + u" (*)|*", 0);
    if (path.empty()) return;
    // Read aside first: a log that is rejected leaves the stopped session's history as it was.
    SampleHistory loaded;
    const LogLoadResult result = LoadMonitorLog(path, loaded);
    if (result != LogLoadResult::Loaded) {
        AlertAttention();
        MessageRequester(LookupText(TextId::ErrorTitle), LoadErrorMessage(result), RequesterError);
        return;
    }
    history.slots = loaded.slots;
    ShowAnalysisReport(RunPhaseAnalysis(history), true, u"", mainWindow);
}
