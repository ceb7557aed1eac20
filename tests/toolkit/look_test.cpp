// How the toolkit's windows look to a new user: requesters sized for their message and named for
// the application, lists without a blank strip, centred windows centred as finally framed.
#include <QAbstractButton>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QTableWidget>
#include <QTimer>

#include <functional>

#include "toolkit/gadget.h"
#include "toolkit/menu.h"
#include "toolkit/requester.h"
#include "toolkit_fixture.h"

namespace {

using LookTest = ToolkitTest;

// Hands the modal dialog to `act` once its own event loop runs; a box still open afterwards is
// rejected, so a failure never hangs.
void WhenModalOpens(std::function<void(QMessageBox*)> act, int attempts = 300) {
    QTimer::singleShot(10, [act, attempts] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            if (attempts > 0) WhenModalOpens(act, attempts - 1);
            return;
        }
        act(box);
        if (box->isVisible()) box->reject();
    });
}

struct RequesterLook {
    QString windowTitle;
    bool titleBold = false, messageBold = true;
    bool messageFits = false;  // on one line
    int boxWidth = 0;
    int buttonsWithIcons = 0;
};

RequesterLook LookOf(TextView title, TextView message, int flags) {
    RequesterLook look;
    WhenModalOpens([&](QMessageBox* box) {
        look.windowTitle = box->windowTitle();
        auto* titleLabel = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        auto* messageLabel = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"));
        if (!titleLabel || !messageLabel) return;
        look.titleBold = titleLabel->font().bold();
        look.messageBold = messageLabel->font().bold();
        look.messageFits = messageLabel->contentsRect().width() >=
                           messageLabel->fontMetrics().horizontalAdvance(messageLabel->text());
        look.boxWidth = box->width();
        for (QAbstractButton* button : box->buttons()) look.buttonsWithIcons += !button->icon().isNull();
    });
    MessageRequester(title, message, flags);
    return look;
}

TEST_F(LookTest, MessageRequestersAreNamedForTheApplicationWithABoldTitleAndRoomForTheMessage) {
    const Text question = u"Are you sure you want to quit Quolk?";
    const Text longMessage =
        u"The file could not be opened because it is not a monitor log written by this application, or it was "
        u"changed by another program since; choose another file or start a new monitoring session.";
    const struct { const char16_t* title; const Text& message; int flags; bool fits; } cases[] = {
        {u"Quit?", question, RequesterYesNo, true},
        {u"Error!", question, RequesterError, true},
        {u"Error!", longMessage, 0, false},
    };
    const int screenWidth = QGuiApplication::primaryScreen()->availableGeometry().width();
    for (const auto& c : cases) {
        const RequesterLook look = LookOf(c.title, c.message, c.flags);
        EXPECT_EQ(look.windowTitle, QStringLiteral("Quolk")) << "the application's name, not the executable's";
        EXPECT_TRUE(look.titleBold) << "the title stands apart from the message";
        EXPECT_FALSE(look.messageBold);
        EXPECT_EQ(look.buttonsWithIcons, 0) << "plain buttons";
        EXPECT_EQ(look.messageFits, c.fits) << "a short message stays on one line, a long one wraps";
        EXPECT_LT(look.boxWidth, std::min(screenWidth, 640)) << "the box stays a comfortable width";
    }
}

TEST_F(LookTest, ListsLastColumnReachesTheRightEdge) {
    OpenWindow(0, 0, 0, 600, 300, u"Lists", WindowSystemMenu);
    // Columns narrower than the list, and columns wider than it (scrolled sideways).
    const struct { int64_t gadget; int width, first, second, third; } cases[] = {{1, 500, 80, 190, 100}, {2, 300, 80, 190, 230}};
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
        EXPECT_EQ(header->sectionSize(0), c.first) << "earlier columns keep their widths";
        EXPECT_EQ(header->sectionSize(1), c.second);
        EXPECT_GE(header->sectionSize(2), std::min(c.third, table->viewport()->width() - c.first - c.second));
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
        MenuItem(1, u"Open");
    }
    Settle();
    const QRect frame = WindowID(0)->frameGeometry();
    EXPECT_GT(frame.height(), 200) << "the menu bar adds to the window";
    EXPECT_LE(std::abs(frame.center().y() - screen.center().y()), 1) << "top " << frame.top();
    EXPECT_LE(std::abs(frame.center().x() - screen.center().x()), 1);
    EXPECT_EQ(WindowID(1)->pos(), QPoint(40, 30)) << "a window placed by the program stays where it was put";
}

}  // namespace
