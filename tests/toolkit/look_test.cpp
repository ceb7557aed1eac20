// How the toolkit's windows look to a new user: lists without a blank strip, centred windows
// centred as finally framed, frames drawn as the desktop's style draws them.
#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QPainter>
#include <QProxyStyle>
#include <QScreen>
#include <QStyleOption>
#include <QTableWidget>

#include "toolkit/gadget.h"
#include "toolkit/menu.h"
#include "toolkit_fixture.h"

namespace {

using LookTest = ToolkitTest;

TEST_F(LookTest, ListsLastColumnReachesTheRightEdge) {
    OpenWindow(0, 0, 0, 600, 300, u"Lists", WindowSystemMenu);
    // Columns narrower than the list, and columns wider than it (scrolled sideways).
    const struct { int64_t gadget; int width, first, second, third; } cases[] = {
        {1, 500, 80, 190, 100}, {2, 300, 80, 190, 230}};
    for (const auto& c : cases) {
        ListIconGadget(c.gadget, 10, 10, c.width, 200, u"PID", c.first);
        AddGadgetColumn(c.gadget, 1, u"Process Name", c.second);
        AddGadgetColumn(c.gadget, 2, u"Path", c.third);
        AddGadgetItem(c.gadget, -1, u"1\ninit\n/sbin/init");
    }
    Settle();
    for (const auto& c : cases) {
        auto* table = qobject_cast<QTableWidget*>(GadgetID(c.gadget));
        QHeaderView* header = table->horizontalHeader();
        EXPECT_EQ(header->sectionSize(1), c.second) << "earlier columns keep their widths";
        const int rightEdge = header->sectionViewportPosition(2) + header->sectionSize(2);
        EXPECT_GE(rightEdge, table->viewport()->width()) << "no blank strip right of the last column";
    }
}

TEST_F(LookTest, ACentredWindowStaysCentredWhenItGetsAMenuBar) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    OpenWindow(0, 0, 0, 300, 200, u"Centred", WindowScreenCentered | WindowSystemMenu);
    OpenWindow(1, 40, 30, 200, 100, u"Placed", WindowSystemMenu);
    for (int64_t window : {0, 1}) {
        CreateMenu(window, WindowID(window));
        MenuTitle(u"File");
    }
    Settle();
    const QRect frame = WindowID(0)->frameGeometry();
    EXPECT_GT(frame.height(), 200) << "the menu bar adds to the window";
    EXPECT_LE((frame.center() - screen.center()).manhattanLength(), 2) << "top " << frame.top();
    EXPECT_EQ(WindowID(1)->pos(), QPoint(40, 30)) << "a window placed by the program stays where it was put";
}

// The toolkit's style paints a frame's border image band by band: every row of every height gets
// the pixels of the desktop's style, once.
TEST_F(LookTest, FramesLookAsTheDesktopStyleDrawsThem) {
    auto* toolkit = qobject_cast<QProxyStyle*>(QApplication::style());
    ASSERT_NE(toolkit, nullptr);
    for (int height : {32, 33, 64, 140, 181}) {
        QStyleOptionFrame option;
        option.rect = QRect(3, 2, 200, height);
        option.palette = QApplication::palette();
        QImage banded(210, height + 6, QImage::Format_ARGB32_Premultiplied), whole(banded.size(), banded.format());
        for (auto [image, style] : {std::pair{&banded, static_cast<QStyle*>(toolkit)}, {&whole, toolkit->baseStyle()}}) {
            image->fill(Qt::transparent);
            QPainter painter(image);
            style->drawPrimitive(QStyle::PE_FrameGroupBox, &option, &painter);
        }
        EXPECT_EQ(banded, whole) << "height " << height;
    }
}

}  // namespace
