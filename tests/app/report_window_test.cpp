#include "app/report_window.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <gtest/gtest.h>

#include "analysis/phase_analysis.h"
#include "app/loop_script.h"
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

class ReportWindowTest : public ToolkitTest {
protected:
    void SetUp() override {
        ToolkitTest::SetUp();
        LoadStringTable(u"en");
        ASSERT_TRUE(OpenWindow(0, 0, 0, 600, 400, u"main"));
        SetRequesterResponder([this](const RequesterCall& call) {
            calls.push_back(call);
            return RequesterResponse{};
        });
    }
    void TearDown() override {
        SetRequesterResponder(nullptr);
        ToolkitTest::TearDown();
    }
    static void GiveUp() { PostEvent(EventCodeCloseWindow, ReportWindow, ReportWindow); }

    std::vector<RequesterCall> calls;
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
                           PostEvent(EventCodeGadget, ReportWindow, ReportClose);
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

// The insufficient-data report has no rows; the close button ends the window like Close.
TEST_F(ReportWindowTest, InsufficientDataFillsTheSummaryAlone) {
    const Text report = RunPhaseAnalysis(SampleHistory());
    LoopScript script({[&] {
                          if (!IsGadget(ReportClose) || !MainWindowDisabled()) return false;
                          EXPECT_EQ(GetWindowTitle(ReportWindow), u"Memory Phase Analysis");
                          EXPECT_EQ(CountGadgetItems(ReportPhaseList), 0);
                          EXPECT_EQ(GetGadgetText(ReportSummary), u"\n" + LookupText(TextId::InsufficientData));
                          auto* editor = qobject_cast<QPlainTextEdit*>(GadgetID(ReportSummary));
                          EXPECT_TRUE(editor && editor->isReadOnly());
                          PostEvent(EventCodeCloseWindow, ReportWindow, ReportWindow);
                          return true;
                      }},
                      GiveUp);
    ShowAnalysisReport(report, true, u"Safari", 0);
    EXPECT_FALSE(IsWindow(ReportWindow));
    EXPECT_FALSE(MainWindowDisabled());
    EXPECT_TRUE(calls.empty());
}
