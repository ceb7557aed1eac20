#include "toolkit/popover.h"

#include <QLabel>
#include <QWidget>

#include "toolkit/gadget.h"
#include "toolkit_fixture.h"

namespace {

using PopoverTest = ToolkitTest;

QRect GlobalArea(const QWidget* view) { return {view->mapToGlobal(QPoint(0, 0)), view->size()}; }

TEST_F(PopoverTest, OpensAtTheAskedEdgeOfTheGadgetAndStaysUntilClosed) {
    ASSERT_TRUE(OpenWindow(0, 100, 100, 400, 300, u"Popovers"));
    ButtonGadget(1, 180, 130, 28, 28, u"?");
    const QRect button = GlobalArea(GadgetID(1));
    const struct { int edge; bool (*where)(const QRect& popover, const QRect& button); } table[] = {
        {PopoverEdgeBottom, [](const QRect& p, const QRect& b) { return p.top() > b.bottom(); }},
        {PopoverEdgeRight, [](const QRect& p, const QRect& b) { return p.left() > b.right(); }},
    };
    for (const auto& row : table) {
        const int64_t popover = CreatePopover(AnyNumber, u"Help", 120, 60);
        ASSERT_NE(popover, 0);
        EXPECT_FALSE(IsPopoverShown(popover));
        ShowPopover(popover, 1, row.edge);
        EXPECT_TRUE(IsPopoverShown(popover)) << row.edge;
        EXPECT_EQ(PopoverID(popover)->size(), QSize(120, 60));
        EXPECT_TRUE(row.where(PopoverID(popover)->geometry(), button)) << row.edge;
        Settle();
        // Clicks and activation elsewhere do not close it.
        SetActiveWindow(0);
        Settle();
        EXPECT_TRUE(IsPopoverShown(popover)) << row.edge;
        ClosePopover(popover);
        EXPECT_FALSE(IsPopoverShown(popover));
        FreePopover(popover);
        EXPECT_FALSE(IsPopover(popover));
    }
}

// Moving its window closes it (it would point at nothing); once shown over another window, the
// one before no longer does.
TEST_F(PopoverTest, MovingTheWindowItIsShownOverClosesIt) {
    ASSERT_TRUE(OpenWindow(0, 100, 100, 300, 200, u"First"));
    ButtonGadget(1, 10, 10, 28, 28, u"?");
    ASSERT_TRUE(OpenWindow(2, 500, 100, 300, 200, u"Second"));
    ButtonGadget(3, 10, 10, 28, 28, u"?");
    Settle();
    const int64_t popover = CreatePopover(AnyNumber, u"Help", 120, 60);
    for (const int64_t shownOver : {0, 2}) {
        ShowPopover(popover, shownOver == 0 ? 1 : 3, PopoverEdgeBottom);
        WindowID(0)->move(WindowID(0)->pos() + QPoint(0, 30));
        Settle();
        EXPECT_EQ(IsPopoverShown(popover), shownOver != 0) << shownOver;
    }
    WindowID(2)->move(WindowID(2)->pos() + QPoint(0, 30));
    Settle();
    EXPECT_FALSE(IsPopoverShown(popover));
    FreePopover(popover);
}

TEST_F(PopoverTest, TextWrapsInsideTheMarginsAndCarriageReturnsBreakLines) {
    ASSERT_TRUE(OpenWindow(0, 100, 100, 400, 300, u"Popovers"));
    ButtonGadget(1, 10, 10, 28, 28, u"?");
    ASSERT_NE(CreatePopover(5, u"Glossary:\n\rFirst term", 200, 100), 0);
    auto* label = PopoverID(5)->findChild<QLabel*>();
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text().toStdString(), "Glossary:\n\nFirst term");
    EXPECT_TRUE(label->wordWrap());
    FreePopover(5);
}

TEST_F(PopoverTest, MissingPopoversAndGadgetsDoNothingAndAClosedWindowTakesItsPopoverWithIt) {
    ShowPopover(77, 1, PopoverEdgeBottom);
    const int64_t popover = CreatePopover(AnyNumber, u"Help", 100, 50);
    ShowPopover(popover, 99, PopoverEdgeBottom);  // no such gadget
    EXPECT_FALSE(IsPopoverShown(popover));
    ASSERT_TRUE(OpenWindow(3, 100, 100, 200, 200, u"Sheet"));
    ButtonGadget(45, 10, 10, 28, 28, u"?");
    ShowPopover(popover, 45, PopoverEdgeRight);
    EXPECT_TRUE(IsPopoverShown(popover));
    CloseWindow(3);
    EXPECT_FALSE(IsPopoverShown(popover));
    EXPECT_EQ(PopoverID(popover), nullptr);
    FreePopover(popover);
}

}  // namespace
