// Gadget semantics on real offscreen controls: values, items, the events that the user's actions
// produce and the silence of the program's own changes.
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>

#include "runtime/objects.h"
#include "toolkit/canvas_gadget.h"
#include "toolkit/canvas_raster.h"
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

TEST_F(GadgetTest, ComboBoxSelectionAndItems) {
    ComboBoxGadget(36, 10, 10, 150, 20);
    EXPECT_EQ(GetGadgetState(36), -1) << "an empty combo box has no selection";
    EXPECT_EQ(GetGadgetText(36), u"");
    AddGadgetItem(36, -1, u"Default");
    EXPECT_EQ(GetGadgetState(36), 0) << "the first item is selected";
    AddGadgetItem(36, -1, u"Menu Bar");
    AddGadgetItem(36, 0, u"First");    // inserted at a position inside the list
    AddGadgetItem(36, 17, u"Custom");  // a position past the end appends
    EXPECT_EQ(CountGadgetItems(36), 4);
    EXPECT_EQ(GetGadgetItemText(36, 0), u"First");
    EXPECT_EQ(GetGadgetItemText(36, 3), u"Custom");
    EXPECT_EQ(GetGadgetText(36), u"Default") << "the selected item stays selected";
    SetGadgetText(36, u"Custom");
    EXPECT_EQ(GetGadgetState(36), 3);
    SetGadgetText(36, u"No such item");
    EXPECT_EQ(GetGadgetState(36), 3);
    SetGadgetState(36, 1);
    EXPECT_EQ(GetGadgetText(36), u"Default");
    ClearGadgetItems(36);
    EXPECT_EQ(CountGadgetItems(36), 0);
    EXPECT_EQ(GetGadgetState(36), -1);
    EXPECT_TRUE(TakeGadgetEvents().empty()) << "the program's changes are not events";
}

TEST_F(GadgetTest, ComboBoxCaseFlags) {
    ComboBoxGadget(1, 0, 0, 100, 20, ComboBoxLowerCase);
    ComboBoxGadget(2, 0, 30, 100, 20, ComboBoxUpperCase);
    AddGadgetItem(1, -1, u"Phys Footprint");
    AddGadgetItem(2, -1, u"Phys Footprint");
    EXPECT_EQ(GetGadgetText(1), u"phys footprint");
    EXPECT_EQ(GetGadgetText(2), u"PHYS FOOTPRINT");
}

TEST_F(GadgetTest, ComboBoxUserSelectionIsAChangeEvent) {
    ComboBoxGadget(39, 10, 10, 150, 20);
    for (const char16_t* item : {u"Phys Footprint", u"Peak", u"Delta"}) AddGadgetItem(39, -1, item);
    SetGadgetState(39, 0);
    EXPECT_TRUE(TakeGadgetEvents().empty());
    QTest::keyClick(GadgetID(39), Qt::Key_Down);
    EXPECT_EQ(GetGadgetState(39), 1);
    EXPECT_EQ(TakeGadgetEvents(), (Pairs{{39, EventTypeChange}}));
}

TEST_F(GadgetTest, ListRowsColumnsAndSelection) {
    ListIconGadget(0, 10, 10, 500, 200, u"PID", 80);
    AddGadgetColumn(0, 1, u"Process Name", 190);
    AddGadgetColumn(0, 2, u"Path", 230);
    EXPECT_EQ(GetGadgetState(0), -1) << "no selection";
    AddGadgetItem(0, -1, u"12\nQuolk\n/usr/bin/quolk");
    AddGadgetItem(0, -1, u"34\nbash");  // fewer cells than columns
    AddGadgetItem(0, 0, u"1\ninit\n/sbin/init\nextra");
    EXPECT_EQ(CountGadgetItems(0), 3);
    struct Cell {
        int64_t item, column;
        const char16_t* text;
    };
    const Cell cells[] = {
        {0, 0, u"1"},       {0, 2, u"/sbin/init"}, {1, 1, u"Quolk"},  {2, 1, u"bash"},
        {2, 2, u""},        {-1, 0, u"PID"},       {-1, 2, u"Path"},  {3, 0, u""},
        {0, 3, u""},        {-2, 0, u""},          {1, -1, u""},
    };
    for (const Cell& c : cells) {
        SCOPED_TRACE(testing::Message() << c.item << "," << c.column);
        EXPECT_EQ(GetGadgetItemText(0, c.item, c.column), c.text);
    }
    SetGadgetState(0, 1);
    EXPECT_EQ(GetGadgetState(0), 1);
    EXPECT_EQ(GetGadgetItemState(0, 1), ListItemSelected);
    ClearGadgetItems(0);
    EXPECT_EQ(CountGadgetItems(0), 0);
    EXPECT_EQ(GetGadgetState(0), -1);
    EXPECT_TRUE(TakeGadgetEvents().empty()) << "selection and clearing by the program are silent";
}

TEST_F(GadgetTest, ListFlags) {
    ListIconGadget(28, 0, 0, 400, 200, u"Phase", 100, ListIconCheckBoxes | ListIconMultiSelect |
                                                           ListIconGridLines | ListIconNoHeaders);
    auto* table = qobject_cast<QTableWidget*>(GadgetID(28));
    ASSERT_NE(table, nullptr);
    EXPECT_TRUE(table->showGrid());
    EXPECT_TRUE(table->horizontalHeader()->isHidden());
    EXPECT_EQ(table->selectionMode(), QAbstractItemView::ExtendedSelection);
    AddGadgetItem(28, -1, u"a");
    SetGadgetItemState(28, 0, ListItemChecked);
    EXPECT_EQ(GetGadgetItemState(28, 0), ListItemChecked);
    SetListHorizontalScrollBar(28, 0);
    EXPECT_EQ(table->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

TEST_F(GadgetTest, ListClicksGiveClickDoubleClickAndChange) {
    ListIconGadget(0, 10, 10, 400, 200, u"PID", 80);
    AddGadgetItem(0, -1, u"1");
    AddGadgetItem(0, -1, u"2");
    auto* table = qobject_cast<QTableWidget*>(GadgetID(0));
    const QPoint row1 = table->visualItemRect(table->item(1, 0)).center();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, row1);
    EXPECT_EQ(TakeGadgetEvents(), (Pairs{{0, EventTypeChange}, {0, EventTypeLeftClick}}));
    EXPECT_EQ(GetGadgetState(0), 1);
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, row1);
    const Pairs events = TakeGadgetEvents();
    EXPECT_NE(std::find(events.begin(), events.end(), std::make_pair(int64_t{0}, int64_t{EventTypeLeftDoubleClick})),
              events.end());
}

TEST_F(GadgetTest, CheckBoxStates) {
    CheckBoxGadget(38, 10, 10, 120, 20, u"Dock Stats", CheckBoxThreeState);
    CheckBoxGadget(25, 10, 40, 120, 20, u"CSV");
    struct Case {
        int64_t gadget, set, read;
    };
    const Case cases[] = {{38, 1, 1}, {38, 0, 0}, {38, -1, -1}, {25, 1, 1}, {25, 0, 0}, {25, -1, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.gadget << " set " << c.set);
        SetGadgetState(c.gadget, c.set);
        EXPECT_EQ(GetGadgetState(c.gadget), c.read);
    }
    EXPECT_TRUE(TakeGadgetEvents().empty());
    SetGadgetState(25, 0);
    QTest::mouseClick(GadgetID(25), Qt::LeftButton, {}, QPoint(6, 10));
    EXPECT_EQ(GetGadgetState(25), 1);
    EXPECT_EQ(TakeGadgetEvents(), (Pairs{{25, EventTypeLeftClick}}));
}

TEST_F(GadgetTest, ButtonClickAndToggle) {
    ButtonGadget(22, 10, 10, 90, 30, u"Start");
    ButtonGadget(23, 110, 10, 90, 30, u"Pause", ButtonToggle);
    QTest::mouseClick(GadgetID(22), Qt::LeftButton);
    EXPECT_EQ(TakeGadgetEvents(), (Pairs{{22, EventTypeLeftClick}}));
    SetGadgetState(23, 1);
    EXPECT_EQ(GetGadgetState(23), 1);
    EXPECT_TRUE(TakeGadgetEvents().empty());
    SetGadgetText(22, u"Stop");
    EXPECT_EQ(GetGadgetText(22), u"Stop");
    DisableGadget(22, 1);
    QTest::mouseClick(GadgetID(22), Qt::LeftButton);
    EXPECT_TRUE(TakeGadgetEvents().empty()) << "a disabled button gives nothing";
}

TEST_F(GadgetTest, DefaultButtonOnlyAtRoundedHeightAnswersReturn) {
    ButtonGadget(44, 10, 10, 80, 25, u"Save", ButtonDefault);
    ButtonGadget(45, 100, 10, 80, 28, u"Other", ButtonDefault);
    StringGadget(1, 10, 50, 100, 24, u"");
    EXPECT_TRUE(qobject_cast<QPushButton*>(GadgetID(44))->isDefault());
    EXPECT_FALSE(qobject_cast<QPushButton*>(GadgetID(45))->isDefault());
    QTest::keyClick(GadgetID(1), Qt::Key_Return);
    EXPECT_EQ(TakeGadgetEvents(), (Pairs{{44, EventTypeLeftClick}}));
}

TEST_F(GadgetTest, StringFieldEditsAreChangeEventsThatMergeUntilRead) {
    StringGadget(1, 10, 10, 200, 24, u"");
    SetStringGadgetPlaceholder(1, u"Type an app or process name");
    EXPECT_EQ(qobject_cast<QLineEdit*>(GadgetID(1))->placeholderText(), u"Type an app or process name");
    QTest::keyClicks(GadgetID(1), "saf");
    EXPECT_EQ(GetGadgetText(1), u"saf");
    EXPECT_EQ(TakeGadgetEvents(), (Pairs{{1, EventTypeChange}})) << "unread edits merge";
    for (const char* key : {"a", "r", "i"}) {
        QTest::keyClicks(GadgetID(1), key);
        EXPECT_EQ(TakeGadgetEvents(), (Pairs{{1, EventTypeChange}}));
    }
    SetGadgetText(1, u"set by the program");
    EXPECT_TRUE(TakeGadgetEvents().empty());
}

TEST_F(GadgetTest, EditorTextAndEdits) {
    EditorGadget(29, 10, 10, 300, 100, EditorReadOnly | EditorWordWrap);
    SetGadgetText(29, u"\nline one\r\nline two\r\n");
    EXPECT_EQ(GetGadgetText(29), u"\nline one\nline two\n") << "CR LF is one line break";
    EXPECT_TRUE(qobject_cast<QPlainTextEdit*>(GadgetID(29))->isReadOnly());
    EditorGadget(30, 10, 120, 300, 100);
    SetGadgetText(30, u"text");
    EXPECT_TRUE(TakeGadgetEvents().empty());
    QTest::keyClicks(GadgetID(30), "x");
    EXPECT_EQ(TakeGadgetEvents(), (Pairs{{30, EventTypeChange}}));
}

TEST_F(GadgetTest, TrackBarValueAndUserMoves) {
    TrackBarGadget(26, 10, 10, 350, 24, 500, 5000);
    SetGadgetState(26, 1000);
    EXPECT_EQ(GetGadgetState(26), 1000);
    EXPECT_TRUE(TakeGadgetEvents().empty());
    QTest::keyClick(GadgetID(26), Qt::Key_Right);
    EXPECT_EQ(GetGadgetState(26), 1001);
    EXPECT_EQ(TakeGadgetEvents(), (Pairs{{26, EventTypeLeftClick}}));
}

TEST_F(GadgetTest, SpinValueTextAndTyping) {
    SpinGadget(42, 10, 10, 100, 25, 10, 999, SpinNumeric);
    SetGadgetState(42, 250);
    EXPECT_EQ(GetGadgetState(42), 250);
    EXPECT_EQ(GetGadgetText(42), u"250");
    SetGadgetState(42, 5000);
    EXPECT_EQ(GetGadgetState(42), 999) << "pinned to the range";
    EXPECT_TRUE(TakeGadgetEvents().empty());
    auto* field = GadgetID(42)->findChild<QLineEdit*>();
    field->selectAll();
    QTest::keyClicks(GadgetID(42), "120");
    EXPECT_EQ(GetGadgetState(42), 120) << "typing a number sets the value";
    EXPECT_EQ(TakeGadgetEvents(), (Pairs{{42, EventTypeChange}}));
    SetGadgetText(42, u"77");
    EXPECT_EQ(GetGadgetText(42), u"77");

    SpinGadget(40, 10, 50, 100, 25, 500, 5000);
    SetGadgetState(40, 1000);
    SetGadgetText(40, u"free text");
    EXPECT_EQ(GetGadgetText(40), u"free text");
    EXPECT_EQ(GetGadgetState(40), 1000) << "without the numeric flag the text is not the value";
}

TEST_F(GadgetTest, TextAndFrameGadgets) {
    TextGadget(7, 10, 10, 200, 20, u"No process selected", TextCenter);
    EXPECT_EQ(GetGadgetText(7), u"No process selected");
    SetGadgetText(7, u"Quolk (PID: 12)");
    EXPECT_EQ(GetGadgetText(7), u"Quolk (PID: 12)");
    EXPECT_EQ(GetGadgetState(7), 0);
    FrameGadget(50, 0, 0, 300, 100, u"Process Selection");
    FrameGadget(51, 0, 110, 300, 100, u"Hidden title", 1);
    EXPECT_EQ(GetGadgetText(50), u"Process Selection");
    EXPECT_EQ(GetGadgetText(51), u"Hidden title");
}

TEST_F(GadgetTest, NumbersAreGlobalAndUnknownOnesReadNothing) {
    ButtonGadget(5, 0, 0, 50, 25, u"first");
    QPointer<QWidget> first = GadgetID(5);
    OpenWindow(1, 0, 0, 100, 100, u"");
    TextGadget(5, 0, 0, 50, 20, u"second");
    EXPECT_TRUE(first.isNull()) << "the old gadget under the number is destroyed";
    EXPECT_EQ(GadgetType(5), GadgetKindText);
    EXPECT_EQ(GadgetID(5)->window(), WindowID(1));

    const int64_t handle = ButtonGadget(AnyNumber, 1, 2, 30, 40, u"any");
    EXPECT_TRUE(IsGadget(handle));
    EXPECT_EQ(GadgetWidth(handle), 30);
    EXPECT_EQ(GadgetHeight(handle), 40);
    ResizeGadget(handle, 5, 6, 70, 25);
    EXPECT_EQ(GadgetX(handle), 5);
    EXPECT_EQ(GadgetWidth(handle), 70);
    HideGadget(handle, 1);
    EXPECT_TRUE(GadgetID(handle)->isHidden());
    FreeGadget(handle);
    EXPECT_FALSE(IsGadget(handle));

    EXPECT_EQ(GetGadgetText(999), u"");
    EXPECT_EQ(GetGadgetState(999), 0);
    EXPECT_EQ(CountGadgetItems(999), 0);
    EXPECT_EQ(GetGadgetItemText(999, 0, 0), u"");
    EXPECT_EQ(GadgetID(999), nullptr);
    SetGadgetState(999, 1);
    AddGadgetItem(999, -1, u"x");
    GadgetToolTip(999, u"x");
    EXPECT_EQ(GetGadgetItemText(5, 0, 0), u"") << "a text gadget has no items";
    CloseWindow(-1);
    EXPECT_EQ(ButtonGadget(8, 0, 0, 10, 10, u"no window"), 0);
}

TEST_F(GadgetTest, CanvasBufferIsWhiteAndPaintedAtItsSize) {
    CanvasGadget(21, 20, 30, 56, 14);
    CanvasBuffer* buffer = CanvasBufferOfGadget(21);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(buffer->width, 56);
    EXPECT_EQ(buffer->height, 14);
    RasterBox(*buffer, 0, 0, 10, 14, RGB(255, 0, 0));
    RedisplayCanvasGadget(21);
    const QImage shown = GadgetID(21)->grab().toImage();
    EXPECT_EQ(shown.pixelColor(5, 5), QColor(255, 0, 0));
    EXPECT_EQ(shown.pixelColor(30, 5), QColor(255, 255, 255));
    ButtonGadget(22, 0, 0, 10, 10, u"");
    EXPECT_EQ(CanvasBufferOfGadget(22), nullptr);
    EXPECT_EQ(CanvasBufferOfGadget(999), nullptr);
}

TEST_F(GadgetTest, ControlDetails) {
    ButtonGadget(35, 10, 10, 28, 28, u"?");
    const qreal regular = GadgetID(35)->font().pointSizeF();
    SetGadgetSmallControlSize(35);
    SetButtonCircularBezel(35);
    EXPECT_LT(GadgetID(35)->font().pointSizeF(), regular);
    EXPECT_TRUE(GadgetID(35)->styleSheet().contains("border-radius"));
    GadgetToolTip(35, u"Memory Growth (MB): 200");
    EXPECT_EQ(GadgetID(35)->toolTip(), u"Memory Growth (MB): 200");
    SpinGadget(42, 10, 50, 100, 25, 10, 999, SpinNumeric);
    SetGadgetTextAlignment(42, GadgetAlignCenter);
    EXPECT_EQ(qobject_cast<QSpinBox*>(GadgetID(42))->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
}

}  // namespace
