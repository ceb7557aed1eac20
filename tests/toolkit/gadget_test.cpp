// Gadgets on real offscreen controls: the user's changes are events, the program's are not.
#include <QTableWidget>
#include <QTest>

#include "toolkit/gadget.h"
#include "toolkit_fixture.h"

namespace {

using GadgetTest = ToolkitTest;

TEST_F(GadgetTest, TheUsersChoicesAndClicksAreEventsAndTheProgramsChangesAreNot) {
    OpenWindow(0, 0, 0, 600, 400, u"Gadgets", WindowSystemMenu);
    ComboBoxGadget(36, 10, 10, 150, 20);
    for (const char16_t* item : {u"Default", u"Menu Bar", u"Custom"}) AddGadgetItem(36, -1, item);
    EXPECT_EQ(GetGadgetState(36), 0) << "the first item is selected";
    CheckBoxGadget(25, 10, 40, 120, 20, u"CSV");
    ButtonGadget(22, 10, 70, 90, 30, u"Start");
    Settle();
    SetGadgetState(36, 1);
    SetGadgetState(25, 1);
    SetGadgetState(25, 0);
    EXPECT_TRUE(TakeGadgetEvents().empty()) << "the program's changes are not events";
    QTest::keyClick(GadgetID(36), Qt::Key_Down);
    QTest::mouseClick(GadgetID(25), Qt::LeftButton, {}, QPoint(6, 10));
    QTest::mouseClick(GadgetID(22), Qt::LeftButton);
    EXPECT_EQ(std::pair(GetGadgetState(36), GetGadgetState(25)), std::pair(int64_t{2}, int64_t{1}));
    EXPECT_EQ(TakeGadgetEvents(), (Pairs{{36, EventTypeChange}, {25, EventTypeLeftClick}, {22, EventTypeLeftClick}}));
    // Return presses the focused button, as Space does.
    QTest::keyClick(GadgetID(22), Qt::Key_Return);
    EXPECT_EQ(TakeGadgetEvents(), (Pairs{{22, EventTypeLeftClick}}));
    DisableGadget(22, 1);
    QTest::mouseClick(GadgetID(22), Qt::LeftButton);
    QTest::keyClick(GadgetID(22), Qt::Key_Return);
    EXPECT_TRUE(TakeGadgetEvents().empty()) << "a disabled button gives nothing";
    // Return on a list's current row, the one a Tab into the list framed, selects it and is its
    // double click.
    ListIconGadget(50, 200, 10, 200, 100, u"Name", 100);
    AddGadgetItem(50, -1, u"sleep");
    qobject_cast<QTableWidget*>(GadgetID(50))->setCurrentCell(0, 0, QItemSelectionModel::NoUpdate);
    TakeGadgetEvents();
    QTest::keyClick(GadgetID(50), Qt::Key_Return);
    EXPECT_EQ(TakeGadgetEvents(), (Pairs{{50, EventTypeChange}, {50, EventTypeLeftDoubleClick}}));
    EXPECT_EQ(GetGadgetState(50), 0);
    // Only a default button of the rounded height answers Return.
    ButtonGadget(44, 10, 110, 80, 25, u"Save", ButtonDefault);
    ButtonGadget(45, 100, 110, 80, 28, u"Other", ButtonDefault);
    StringGadget(1, 10, 150, 100, 24, u"");
    QTest::keyClick(GadgetID(1), Qt::Key_Return);
    EXPECT_EQ(TakeGadgetEvents(), (Pairs{{44, EventTypeLeftClick}}));
}

}  // namespace
