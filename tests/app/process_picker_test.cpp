#include "app/process_picker.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>

#include "app/loop_script.h"
#include "platform/proc_fixture.h"
#include "platform/process_info.h"
#include "session/process_list.h"
#include "strings/stringtable.h"
#include "toolkit/event_queue.h"
#include "toolkit/gadget.h"
#include "toolkit/toolkit_fixture.h"
#include "toolkit/window.h"

namespace {

// The row showing this PID, or -1.
int64_t RowOf(int32_t pid) {
    for (int64_t row = 0; row < CountGadgetItems(PickerList); ++row)
        if (GetGadgetItemText(PickerList, row, 0) == Str(pid)) return row;
    return -1;
}

bool SelectEnabled() { return GadgetID(PickerSelect)->isEnabled(); }

class ProcessPickerTest : public ToolkitTest {
protected:
    void SetUp() override {
        ToolkitTest::SetUp();
        LoadStringTable(u"en");
        ASSERT_TRUE(OpenWindow(0, 100, 100, 600, 500, u"main"));
    }
    static void GiveUp() { PostEvent(EventCodeGadget, PickerWindow, PickerCancel); }
    static QWidget* Rows() {
        return GadgetID(PickerList)->findChild<QWidget*>(QStringLiteral("qt_scrollarea_viewport"));
    }
};

}  // namespace

// Unchecking "User Apps Only" and typing the PID finds a process the test started; a click selects
// its row, which enables Select. Select, a double click and Return on the row choose it; Return in
// the search field (Cancel is the default) and Escape cancel. Select without a row keeps the sheet
// open, and other windows' events are dropped meanwhile.
TEST_F(ProcessPickerTest, SearchByPidThenEachGestureChoosesOrCancels) {
    ChildProcess child([] { for (;;) ChildProcess::Pause(); });
    ASSERT_TRUE(child.WaitUntil());
    const struct { const char* gesture; bool chooses; } table[] = {
        {"Select", true}, {"double click", true}, {"Return on the row", true},
        {"Return in the search field", false}, {"Escape", false}};
    for (const auto& row : table) {
        QPoint at;
        LoopScript script(
            {[&] {
                 if (!IsGadget(PickerCancel) || !WindowID(PickerWindow)->isVisible()) return false;
                 EXPECT_EQ(GetGadgetState(PickerUserAppsOnly), CheckBoxChecked);
                 EXPECT_TRUE(qobject_cast<QPushButton*>(GadgetID(PickerCancel))->isDefault());
                 // A forked test child is a desktop application only when the test runs on a display.
                 EXPECT_EQ(RowOf(child.Pid()) >= 0, IsUserAppProcess(child.Pid()));
                 PostEvent(EventCodeGadget, PickerWindow, PickerSelect);
                 PostEvent(EventCodeGadget, 0, 5);
                 PostEvent(EventCodeTimer, 0, 47);
                 QTest::mouseClick(GadgetID(PickerUserAppsOnly), Qt::LeftButton, {}, QPoint(5, 10));
                 return true;
             },
             [&] {
                 EXPECT_TRUE(IsWindow(PickerWindow)) << "Select without a row keeps the sheet open";
                 EXPECT_FALSE(SelectEnabled());
                 QTest::keyClicks(GadgetID(PickerSearch), QString::number(child.Pid()));
                 return true;
             },
             [&] {
                 auto* list = qobject_cast<QAbstractItemView*>(GadgetID(PickerList));
                 const int64_t found = RowOf(child.Pid());
                 if (found < 0) return ADD_FAILURE() << "no row for the child", false;
                 at = list->visualRect(list->model()->index(int(found), 1)).center();
                 QTest::mouseClick(Rows(), Qt::LeftButton, {}, at);
                 return true;
             },
             [&] {
                 EXPECT_TRUE(SelectEnabled());
                 const std::string gesture = row.gesture;
                 if (gesture == "Select") PostEvent(EventCodeGadget, PickerWindow, PickerSelect);
                 if (gesture == "double click") {
                     // The second press of a double click arrives as the double click itself.
                     QTest::mouseDClick(Rows(), Qt::LeftButton, {}, at);
                     QTest::mouseRelease(Rows(), Qt::LeftButton, {}, at);
                 }
                 if (gesture == "Return on the row") QTest::keyClick(GadgetID(PickerList), Qt::Key_Return);
                 if (gesture == "Return in the search field") QTest::keyClick(GadgetID(PickerSearch), Qt::Key_Return);
                 if (gesture == "Escape") QTest::keyClick(GadgetID(PickerList), Qt::Key_Escape);
                 return true;
             }},
            GiveUp);
        const std::optional<ProcessDescription> picked = PickProcess(0);
        EXPECT_FALSE(IsWindow(PickerWindow)) << row.gesture;
        EXPECT_EQ(QueuedEventCount(), 0) << row.gesture;
        ASSERT_EQ(picked.has_value(), row.chooses) << row.gesture;
        if (!picked) continue;
        EXPECT_EQ(picked->pid, child.Pid());
        // The child is a fork of this program: its executable is this program's.
        const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe");
        EXPECT_EQ(TextToUtf8(picked->path), exe.string());
        EXPECT_EQ(TextToUtf8(picked->name), exe.filename().string());
        EXPECT_EQ(picked->startTime, ProcessStartTime(child.Pid()));
    }
}

// The sheet reads the processes when it opens, on its timer and when the mode is switched; a key
// typed searches what was read. Rows removed and put back one by one (a key typed, then erased)
// keep the order in which the processes are listed; a reading keeps the selection.
TEST_F(ProcessPickerTest, TheTimerReadsTheProcessesAgainAndKeysReadNothing) {
    ProcFixture proc;
    const auto add = [&proc](int32_t pid, const char* name) {
        proc.Add(pid, "stat", StatLine(pid, name, "S"));
        proc.Add(pid, "exe", std::string("/usr/bin/") + name, true);
    };
    const auto shown = [] {
        std::vector<int32_t> pids;
        for (int64_t row = 0; row < CountGadgetItems(PickerList); ++row)
            pids.push_back(int32_t(Val(GetGadgetItemText(PickerList, row, 0))));
        return pids;
    };
    std::vector<int32_t> listed, withoutBob;  // the first three processes in the order they are listed
    add(10, "anna"), add(11, "bob");
    LoopScript script(
        {[&] {
             if (!IsGadget(PickerCancel) || !WindowID(PickerWindow)->isVisible()) return false;
             QTest::mouseClick(GadgetID(PickerUserAppsOnly), Qt::LeftButton, {}, QPoint(5, 10));
             return true;
         },
         [&] {
             EXPECT_EQ(CountGadgetItems(PickerList), 2);
             SetGadgetState(PickerList, RowOf(11));
             add(12, "carla");
             return PostEvent(EventCodeTimer, PickerWindow, PickerRefreshTimer), true;
         },
         [&] {
             ListedProcesses now;
             RefreshListedProcesses(now, false);
             for (const ListedProcess* row : SearchListedProcesses(now, u"", false))
                 listed.push_back(row->description.pid);
             std::copy_if(listed.begin(), listed.end(), std::back_inserter(withoutBob), [](int p) { return p != 11; });
             EXPECT_EQ(shown(), listed) << "read on the timer";
             EXPECT_EQ(GetGadgetState(PickerList), RowOf(11)) << "still selected";
             add(13, "annabel");
             return QTest::keyClick(GadgetID(PickerSearch), Qt::Key_A), true;
         },
         [&] {
             EXPECT_EQ(shown(), withoutBob) << "the search read nothing";
             return QTest::keyClick(GadgetID(PickerSearch), Qt::Key_Backspace), true;
         },
         [&] {
             EXPECT_EQ(shown(), listed) << "put back in its place";
             return PostEvent(EventCodeGadget, PickerWindow, PickerCancel), true;
         }},
        GiveUp);
    EXPECT_FALSE(PickProcess(0).has_value());
}
