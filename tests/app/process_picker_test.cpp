#include "app/process_picker.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>

#include "app/loop_script.h"
#include "platform/proc_fixture.h"
#include "platform/process_info.h"
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
    // A script's first step: once the sheet is up, a click unchecks "User Apps Only".
    static bool ListAllOnceOpen() {
        if (!IsGadget(PickerCancel) || !WindowID(PickerWindow)->isVisible()) return false;
        QTest::mouseClick(GadgetID(PickerUserAppsOnly), Qt::LeftButton, {}, QPoint(5, 10));
        return true;
    }
    static QWidget* Rows() { return GadgetID(PickerList)->findChild<QWidget*>(QStringLiteral("qt_scrollarea_viewport")); }
};

}  // namespace

// Unchecking "User Apps Only" and typing the PID finds a process the test started; it is chosen
// with Select or by a double click, and the choice names the process for good.
TEST_F(ProcessPickerTest, SearchByPidAndChoose) {
    ChildProcess child([] { for (;;) ChildProcess::Pause(); });
    ASSERT_TRUE(child.WaitUntil());
    for (bool doubleClick : {false, true}) {
        LoopScript script(
            {[&] {
                 if (!IsGadget(PickerCancel) || !WindowID(PickerWindow)->isVisible()) return false;
                 EXPECT_EQ(GetGadgetState(PickerUserAppsOnly), CheckBoxChecked);
                 EXPECT_EQ(qobject_cast<QLineEdit*>(GadgetID(PickerSearch))->placeholderText(),
                           QStringLiteral("Type an app or process name"));
                 EXPECT_TRUE(qobject_cast<QPushButton*>(GadgetID(PickerCancel))->isDefault());
                 EXPECT_FALSE(SelectEnabled()) << "no row selected";
                 // A forked test child is a desktop application only when the test runs on a display.
                 EXPECT_EQ(RowOf(child.Pid()) >= 0, IsUserAppProcess(child.Pid()));
                 QTest::mouseClick(GadgetID(PickerUserAppsOnly), Qt::LeftButton, {}, QPoint(5, 10));
                 return true;
             },
             [&] {
                 EXPECT_EQ(GetGadgetState(PickerUserAppsOnly), CheckBoxUnchecked);
                 EXPECT_GE(CountGadgetItems(PickerList), 3) << "all processes";
                 QTest::keyClicks(GadgetID(PickerSearch), QString::number(child.Pid()));
                 return true;
             },
             [&] {
                 const int64_t row = RowOf(child.Pid());
                 EXPECT_GE(row, 0);
                 for (int64_t r = 0; r < CountGadgetItems(PickerList); ++r)
                     EXPECT_NE(FindString(GetGadgetItemText(PickerList, r, 0) + u" " +
                                              LCase(GetGadgetItemText(PickerList, r, 1)),
                                          Str(child.Pid())),
                               0);
                 SetGadgetState(PickerList, row);
                 if (doubleClick) QueueToolkitEvent(EventCodeGadget, PickerWindow, PickerList, EventTypeLeftDoubleClick);
                 else PostEvent(EventCodeGadget, PickerWindow, PickerSelect);
                 return true;
             }},
            GiveUp);
        const std::optional<ProcessDescription> picked = PickProcess(0);
        ASSERT_TRUE(picked.has_value()) << (doubleClick ? "double click" : "Select");
        EXPECT_EQ(picked->pid, child.Pid());
        // The child is a fork of this program: its executable is this program's.
        const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe");
        EXPECT_EQ(TextToUtf8(picked->path), exe.string());
        EXPECT_EQ(TextToUtf8(picked->name), exe.filename().string());
        EXPECT_NE(picked->startTime, 0u);
        EXPECT_EQ(picked->startTime, ProcessStartTime(child.Pid()));
        EXPECT_FALSE(IsWindow(PickerWindow));
    }
}

// Select without a selected row does nothing; a selection enables it once the loop sees a change;
// Cancel ends without a choice; events of other windows are dropped meanwhile.
TEST_F(ProcessPickerTest, SelectNeedsARowAndCancelChoosesNothing) {
    LoopScript script(
        {ListAllOnceOpen,
         [&] {
             EXPECT_FALSE(SelectEnabled());
             PostEvent(EventCodeGadget, PickerWindow, PickerSelect);
             PostEvent(EventCodeGadget, 0, 5);
             PostEvent(EventCodeTimer, 0, 47);
             return true;
         },
         [&] {
             EXPECT_TRUE(IsWindow(PickerWindow)) << "Select without a row keeps the sheet open";
             EXPECT_GT(CountGadgetItems(PickerList), 0);
             // A real click on the first row selects it; the list reports the change.
             QTest::mouseClick(Rows(), Qt::LeftButton, {}, QPoint(40, 8));
             return true;
         },
         [&] {
             EXPECT_EQ(GetGadgetState(PickerList), 0);
             EXPECT_TRUE(SelectEnabled());
             PostEvent(EventCodeGadget, PickerWindow, PickerCancel);
             return true;
         }},
        GiveUp);
    EXPECT_FALSE(PickProcess(0).has_value());
    EXPECT_FALSE(IsWindow(PickerWindow));
    EXPECT_EQ(QueuedEventCount(), 0);
}

// In every process's list: a double click on a row chooses it; Return presses the default button,
// Cancel, and Escape cancels too, whatever row is selected.
TEST_F(ProcessPickerTest, DoubleClickChoosesReturnAndEscapeCancel) {
    const struct { const char* gesture; bool chooses; } table[] = {{"double click", true}, {"Return", false}, {"Escape", false}};
    for (const auto& row : table) {
        Text firstPid;
        LoopScript script(
            {ListAllOnceOpen,
             [&] {
                 firstPid = GetGadgetItemText(PickerList, 0, 0);
                 QWidget* rows = Rows();
                 QTest::mouseClick(rows, Qt::LeftButton, {}, QPoint(40, 8));
                 if (row.chooses) {
                     // The second press of a double click arrives as the double click itself.
                     QTest::mouseDClick(rows, Qt::LeftButton, {}, QPoint(40, 8));
                     QTest::mouseRelease(rows, Qt::LeftButton, {}, QPoint(40, 8));
                     return true;
                 }
                 QTest::keyClick(GadgetID(PickerList), row.gesture[0] == 'R' ? Qt::Key_Return : Qt::Key_Escape);
                 return true;
             }},
            GiveUp);
        const std::optional<ProcessDescription> picked = PickProcess(0);
        EXPECT_EQ(picked.has_value(), row.chooses) << row.gesture;
        if (picked) EXPECT_EQ(Str(picked->pid), firstPid) << row.gesture;
        EXPECT_FALSE(IsWindow(PickerWindow)) << row.gesture;
    }
}

// Rows with a path get an icon; a kernel thread (no executable) gets none.
TEST_F(ProcessPickerTest, RowsWithAPathCarryAnIcon) {
    ASSERT_TRUE(OpenWindow(PickerWindow, 0, 0, 550, 420, u""));
    ASSERT_TRUE(ListIconGadget(PickerList, 15, 45, 520, 320, u"PID", 80));
    AddGadgetColumn(PickerList, 1, u"Name", 190);
    AddGadgetColumn(PickerList, 2, u"Path", 230);
    ProcFixture proc;
    proc.Add(10, "exe", "/usr/bin/firefox", true);
    proc.Add(10, "stat", StatLine(10, "firefox", "S"));
    proc.Add(11, "comm", "kthreadd\n");
    proc.Add(11, "stat", StatLine(11, "kthreadd", "S"));
    FillProcessList(u"", false);
    ASSERT_EQ(CountGadgetItems(PickerList), 2);
    auto* table = GadgetID(PickerList)->findChild<QAbstractItemView*>();
    ASSERT_NE(table, nullptr);
    for (int64_t row = 0; row < 2; ++row) {
        const bool hasPath = !GetGadgetItemText(PickerList, row, 2).empty();
        const QVariant icon = table->model()->index(int(row), 0).data(Qt::DecorationRole);
        EXPECT_EQ(!icon.value<QIcon>().isNull(), hasPath) << TextToUtf8(GetGadgetItemText(PickerList, row, 1));
    }
    FillProcessList(u"fire", false);
    EXPECT_EQ(CountGadgetItems(PickerList), 1);
    EXPECT_EQ(GetGadgetItemText(PickerList, 0, 2), u"/usr/bin/firefox");
}
