// Gadgets on real offscreen controls: values, items, the user's events, the program's silent changes.
#include <QApplication>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>

#include "toolkit/gadget.h"
#include "toolkit_fixture.h"

namespace {

class GadgetTest : public ToolkitTest {
protected:
    void SetUp() override {
        ToolkitTest::SetUp();
        OpenWindow(0, 0, 0, 600, 400, u"Gadgets", WindowSystemMenu);
        Settle();
    }
};

TEST_F(GadgetTest, ComboBoxSelectionAndUserChoice) {
    ComboBoxGadget(36, 10, 10, 150, 20);
    EXPECT_EQ(GetGadgetState(36), -1) << "an empty combo box has no selection";
    for (const char16_t* item : {u"Default", u"Menu Bar", u"Custom"}) AddGadgetItem(36, -1, item);
    EXPECT_EQ(GetGadgetState(36), 0) << "the first item is selected";
    SetGadgetState(36, 1);
    EXPECT_TRUE(TakeGadgetEvents().empty()) << "the program's changes are not events";
    QTest::keyClick(GadgetID(36), Qt::Key_Down);
    EXPECT_EQ(GetGadgetState(36), 2);
    EXPECT_EQ(TakeGadgetEvents(), (Pairs{{36, EventTypeChange}}));
}

TEST_F(GadgetTest, ListRowsColumnsSelectionAndClicks) {
    ListIconGadget(0, 10, 10, 500, 200, u"PID", 80);
    AddGadgetColumn(0, 1, u"Process Name", 190);
    AddGadgetColumn(0, 2, u"Path", 230);
    EXPECT_EQ(GetGadgetState(0), -1) << "no selection";
    AddGadgetItem(0, -1, u"1\ninit\n/sbin/init\nextra");
    AddGadgetItem(0, -1, u"12\nQuolk\n/usr/bin/quolk");
    AddGadgetItem(0, -1, u"34\nbash");  // fewer cells than columns
    const struct { int64_t item, column; const char16_t* text; } cells[] = {
        {0, 0, u"1"}, {0, 2, u"/sbin/init"}, {1, 1, u"Quolk"}, {2, 1, u"bash"}, {2, 2, u""},
        {-1, 2, u"Path"}, {3, 0, u""}, {0, 3, u""}, {-2, 0, u""}, {1, -1, u""}};
    for (const auto& c : cells) EXPECT_EQ(GetGadgetItemText(0, c.item, c.column), c.text) << c.item << c.column;
    SetGadgetState(0, 1);
    EXPECT_TRUE(TakeGadgetEvents().empty()) << "the program's selection is silent";

    auto* table = qobject_cast<QTableWidget*>(GadgetID(0));
    const QPoint row2 = table->visualItemRect(table->item(2, 0)).center();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, row2);
    EXPECT_EQ(TakeGadgetEvents(), (Pairs{{0, EventTypeChange}, {0, EventTypeLeftClick}}));
    EXPECT_EQ(GetGadgetState(0), 2);
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, row2);
    const Pairs events = TakeGadgetEvents();
    EXPECT_EQ(std::count(events.begin(), events.end(), Pairs::value_type{0, EventTypeLeftDoubleClick}), 1);
    ClearGadgetItems(0);
    EXPECT_EQ(GetGadgetState(0), -1);
    EXPECT_TRUE(TakeGadgetEvents().empty());
}

TEST_F(GadgetTest, CheckBoxAndButtonStatesAndClicks) {
    CheckBoxGadget(25, 10, 40, 120, 20, u"CSV");
    ButtonGadget(22, 10, 70, 90, 30, u"Start");
    SetGadgetState(25, 1);
    EXPECT_EQ(GetGadgetState(25), 1);
    SetGadgetState(25, 0);
    EXPECT_TRUE(TakeGadgetEvents().empty());
    QTest::mouseClick(GadgetID(25), Qt::LeftButton, {}, QPoint(6, 10));
    EXPECT_EQ(GetGadgetState(25), 1);
    QTest::mouseClick(GadgetID(22), Qt::LeftButton);
    EXPECT_EQ(TakeGadgetEvents(), (Pairs{{25, EventTypeLeftClick}, {22, EventTypeLeftClick}}));
    DisableGadget(22, 1);
    QTest::mouseClick(GadgetID(22), Qt::LeftButton);
    EXPECT_TRUE(TakeGadgetEvents().empty()) << "a disabled button gives nothing";
    // Only a default button of the rounded height answers Return.
    ButtonGadget(44, 10, 110, 80, 25, u"Save", ButtonDefault);
    ButtonGadget(45, 100, 110, 80, 28, u"Other", ButtonDefault);
    StringGadget(1, 10, 150, 100, 24, u"");
    QTest::keyClick(GadgetID(1), Qt::Key_Return);
    EXPECT_EQ(TakeGadgetEvents(), (Pairs{{44, EventTypeLeftClick}}));
}

TEST_F(GadgetTest, TextFieldsReportTypingButNotTheProgramsText) {
    StringGadget(1, 10, 10, 200, 24, u"");
    EditorGadget(30, 10, 40, 300, 100, EditorReadOnly);
    QTest::keyClicks(GadgetID(1), "saf");
    EXPECT_EQ(GetGadgetText(1), u"saf");
    EXPECT_EQ(TakeGadgetEvents(), (Pairs{{1, EventTypeChange}})) << "unread edits merge";
    QTest::keyClicks(GadgetID(1), "a");
    EXPECT_EQ(TakeGadgetEvents(), (Pairs{{1, EventTypeChange}}));
    SetGadgetText(1, u"set by the program");
    SetGadgetText(30, u"\nline one\r\nline two\r\n");
    EXPECT_TRUE(TakeGadgetEvents().empty());
    EXPECT_EQ(GetGadgetText(30), u"\nline one\nline two\n") << "CR LF is one line break";
}

TEST_F(GadgetTest, SpinValueTextAndTyping) {
    SpinGadget(42, 10, 50, 100, 25, 10, 999, SpinNumeric);
    SetGadgetState(42, 250);
    EXPECT_EQ(GetGadgetText(42), u"250");
    SetGadgetState(42, 5000);
    EXPECT_EQ(GetGadgetState(42), 999) << "pinned to the range";
    EXPECT_TRUE(TakeGadgetEvents().empty());
    GadgetID(42)->findChild<QLineEdit*>()->selectAll();
    QTest::keyClicks(GadgetID(42), "120");
    EXPECT_EQ(GetGadgetState(42), 120) << "typing a number sets the value";
    EXPECT_EQ(TakeGadgetEvents(), (Pairs{{42, EventTypeChange}}));
}

TEST_F(GadgetTest, NumbersAreGlobalAndUnknownOnesReadNothing) {
    ButtonGadget(5, 0, 0, 50, 25, u"first");
    QPointer<QWidget> first = GadgetID(5);
    OpenWindow(1, 0, 0, 100, 100, u"");
    TextGadget(5, 0, 0, 50, 20, u"second");
    EXPECT_TRUE(first.isNull()) << "the old gadget under the number is destroyed";
    SetGadgetState(999, 1);
    EXPECT_EQ(GetGadgetText(999), u"");
    EXPECT_EQ(GetGadgetState(999), 0);
}

}  // namespace
