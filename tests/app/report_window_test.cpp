// The report window, from a session's report and from a log the user opens.
#include "app/report_window.h"

#include <optional>
#include <string>

#include <QClipboard>
#include <QGuiApplication>
#include <gtest/gtest.h>

#include "analysis/phase_analysis.h"
#include "app/analyze_log.h"
#include "app/loop_script.h"
#include "scratch_dir.h"
#include "strings/stringtable.h"
#include "toolkit/event_queue.h"
#include "toolkit/gadget.h"
#include "toolkit/requester.h"
#include "toolkit/toolkit_fixture.h"
#include "toolkit/window.h"
#include "toolkit/window_record.h"

namespace {

bool MainWindowDisabled() {
    const WindowRecord* record = FindWindowRecord(0);
    return record && record->disabledView;
}

// One phase row and a verdict section in the report's layout, with CR LF and the LF CR that the
// string table's texts carry.
Text OnePhaseReport() {
    const Text banner = Text(106, u'=') + u"\r\n", ruler = Text(96, u'-') + u"\r\n";
    return banner + u"  MEMORY PHASE ANALYSIS REPORT\r\n" + banner +
           u"Phase / Time Range | Memory Footprint | Phase Delta | Rate (MB/s) | Behavior Note\r\n" + Text(62, u'-') +
           u"|----\r\n" + u"Baseline Phase (0s–20s)   | 12.0 MB   | 0.0 MB  | 0.00 MB/s  | Idle.\r\n\r\n" + ruler +
           u"DIAGNOSTIC VERDICT & EVIDENCE SUMMARY:\r\n" + ruler + u"✅ NO EVIDENCE\n\rline two\r\n\r\n• Evidence\r\n" + banner;
}

// A monitor log as the session writes it: byte-order mark, comment line, header, rows.
std::string Log(int rows) {
    std::string text = "\xEF\xBB\xBF# Quolk monitor log\nTimestamp,Virtual(MB),Footprint(MB),Delta(MB),Peak(MB),Alerts\n";
    for (int i = 0; i < rows; ++i)
        text += "12:00:" + std::string(i < 10 ? "0" : "") + std::to_string(i) + ",300.00," +
                std::to_string(50 + i) + ".00,0.00,60.00,\n";
    return text;
}

class ReportWindowTest : public ToolkitTest {
protected:
    void SetUp() override {
        ToolkitTest::SetUp();
        LoadStringTable(u"en");
        ASSERT_TRUE(OpenWindow(0, 0, 0, 600, 400, u"main"));
        // Every requester is recorded; the file requester is answered with `chosen`.
        SetRequesterResponder([this](const RequesterCall& call) {
            calls.push_back(call);
            RequesterResponse response;
            if (call.kind == RequesterCall::OpenFile) response.path = TextFromUtf8(chosen);
            return response;
        });
    }
    void TearDown() override {
        SetRequesterResponder(nullptr);
        ToolkitTest::TearDown();
    }
    static void GiveUp() { PostEvent(EventCodeCloseWindow, ReportWindow, ReportWindow); }

    std::vector<RequesterCall> calls;
    std::string chosen;
    ScratchDir dir;
    EnvScope home{"HOME", dir.path};
};

}  // namespace

TEST_F(ReportWindowTest, ListSummaryCopyAndClose) {
    const Text report = OnePhaseReport();
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    bool sawWindow = false;
    LoopScript script({[&] {
                           if (!IsGadget(ReportClose) || !MainWindowDisabled()) return false;
                           sawWindow = true;
                           EXPECT_EQ(GetWindowTitle(ReportWindow), u"Memory Phase Analysis for Safari");
                           EXPECT_EQ(CountGadgetItems(ReportPhaseList), 1);
                           const Text cells[] = {u"Baseline Phase (0s–20s)", u"12.0 MB", u"0.0 MB", u"0.00 MB/s", u"Idle."};
                           for (int column = 0; column < 5; ++column)
                               EXPECT_EQ(GetGadgetItemText(ReportPhaseList, 0, column), cells[column]) << column;
                           EXPECT_EQ(GetGadgetItemText(ReportPhaseList, -1, 0), u"Phase / Time Range");
                           EXPECT_EQ(GetGadgetItemText(ReportPhaseList, -1, 3), u"Rate (MB/s)");
                           EXPECT_EQ(GetGadgetText(ReportSummary),
                                     u"\n✅ NO EVIDENCE\nline two\n• Evidence\n");  // CR LF shown as line breaks
                           PostEvent(EventCodeGadget, 0, 5);  // a main-window click: dropped
                           PostEvent(EventCodeGadget, ReportWindow, ReportCopy);
                           return true;
                       },
                       [&] {
                           EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromStdU16String(report));
                           EXPECT_TRUE(IsWindow(ReportWindow)) << "Copy Report leaves the window open";
                           PostEvent(EventCodeCloseWindow, ReportWindow, ReportWindow);  // its close button, as Close
                           return true;
                       }},
                      GiveUp);
    ShowAnalysisReport(report, false, u"Safari", 0);
    EXPECT_TRUE(sawWindow);
    EXPECT_FALSE(IsWindow(ReportWindow));
    EXPECT_FALSE(MainWindowDisabled());
    EXPECT_EQ(QueuedEventCount(), 0) << "events of other windows are taken and dropped";
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].title, u"Success!");
    EXPECT_EQ(calls[0].message, u"Analysis report copied to clipboard!\n");
    EXPECT_EQ(calls[0].flags, 0);
}

TEST_F(ReportWindowTest, EachFailedLoadShowsItsErrorAndNoReport) {
    const struct { const char* name; std::string path; std::optional<Text> message; } cases[] = {
        {"cancelled", "", std::nullopt},
        {"missing", dir.File("missing.csv"), u"Could not open selected CSV log file.\n"},
        {"not a log", dir.Write("notes.csv", "a,b,c\n1,2,3\n"),
         u"The selected CSV is not a valid log file generated by Quolk.\n"},
        {"two rows", dir.Write("short.csv", Log(2)), u"Log file contains insufficient data (minimum 3 rows required).\n"},
    };
    for (const auto& c : cases) {
        calls.clear();
        chosen = c.path;
        SampleHistory history;
        AnalyzeLogFile(history, 0);
        ASSERT_EQ(calls.size(), c.message ? 2u : 1u) << c.name;
        EXPECT_EQ(calls[0].kind, RequesterCall::OpenFile) << c.name;
        if (c.message) {
            EXPECT_EQ(calls[1].title, u"Error!") << c.name;
            EXPECT_EQ(calls[1].message, *c.message) << c.name;
            EXPECT_EQ(calls[1].icon, RequesterError) << c.name;
        }
        EXPECT_FALSE(IsWindow(ReportWindow)) << c.name;
    }
    // The file dialog starts in the home folder, logs first.
    EXPECT_EQ(TextToUtf8(calls[0].startFolder + u"|" + calls[0].proposedName), dir.path + "|");
    EXPECT_EQ(calls[0].filters, (std::vector<Text>{u"CSV (*.csv)", u"All files (*)"}));
}

TEST_F(ReportWindowTest, AGoodLogOpensTheReportWindow) {
    chosen = dir.Write("good.csv", Log(20));
    SampleHistory history;
    bool sawReport = false;
    LoopScript script({[&] {
                          if (!IsGadget(ReportClose)) return false;
                          sawReport = true;
                          EXPECT_EQ(GetWindowTitle(ReportWindow), u"Memory Phase Analysis");
                          EXPECT_GT(CountGadgetItems(ReportPhaseList), 0);
                          EXPECT_NE(FindString(GetGadgetText(ReportSummary), u"• Evidence"), 0) << TextToUtf8(GetGadgetText(ReportSummary));
                          PostEvent(EventCodeGadget, ReportWindow, ReportClose);
                          return true;
                      }},
                      GiveUp);
    AnalyzeLogFile(history, 0);
    EXPECT_TRUE(sawReport);
    EXPECT_EQ(calls.size(), 1u) << "only the file requester";
    EXPECT_NE(FindString(RunPhaseAnalysis(history), u"MEMORY PHASE ANALYSIS REPORT"), 0)
        << "the log went into the history given";
    EXPECT_FALSE(IsWindow(ReportWindow));
}
