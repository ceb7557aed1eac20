#include "toolkit/popover.h"

#include <QLabel>
#include <QWidget>

#include "toolkit/gadget.h"
#include "toolkit_fixture.h"

namespace {

using PopoverTest = ToolkitTest;

QRect GlobalArea(const QWidget* view) { return {view->mapToGlobal(QPoint(0, 0)), view->size()}; }

// At the asked edge of its gadget, with its text wrapped and each carriage return a line break;
// activation elsewhere leaves it open.
TEST_F(PopoverTest, OpensAtTheAskedEdgeOfTheGadgetAndStaysUntilClosed) {
    ASSERT_TRUE(OpenWindow(0, 100, 100, 400, 300, u"Popovers"));
    ButtonGadget(1, 180, 130, 28, 28, u"?");
    const QRect button = GlobalArea(GadgetID(1));
    const struct { int edge; bool (*where)(const QRect& popover, const QRect& button); } table[] = {
        {PopoverEdgeBottom, [](const QRect& p, const QRect& b) { return p.top() > b.bottom(); }},
        {PopoverEdgeRight, [](const QRect& p, const QRect& b) { return p.left() > b.right(); }},
    };
    for (const auto& row : table) {
        const int64_t popover = CreatePopover(AnyNumber, u"Glossary:\n\rFirst term", 120, 60);
        ASSERT_NE(popover, 0);
        auto* label = PopoverID(popover)->findChild<QLabel*>();
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text().toStdString(), "Glossary:\n\nFirst term");
        EXPECT_TRUE(label->wordWrap());
        ShowPopover(popover, 1, row.edge);
        EXPECT_TRUE(row.where(PopoverID(popover)->geometry(), button)) << row.edge;
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
// one before no longer does. Closing the window takes the popover's view with it.
TEST_F(PopoverTest, MovingOrClosingTheWindowItIsShownOverClosesIt) {
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
    ShowPopover(popover, 3, PopoverEdgeRight);
    CloseWindow(2);
    EXPECT_FALSE(IsPopoverShown(popover));
    EXPECT_EQ(PopoverID(popover), nullptr);
    FreePopover(popover);
}

}  // namespace
