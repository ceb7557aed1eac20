// Requesters through a responder and as real dialogs, and the window timers around them.
#include "toolkit/requester.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

#include "toolkit/timer.h"
#include "toolkit_fixture.h"

namespace {

using RequesterTest = ToolkitTest;

Text Joined(const Text& a, const Text& b, const Text& c = u"") { return a + u"|" + b + u"|" + c; }

TEST_F(RequesterTest, TheResponderSeesEachCallAndGivesTheAnswer) {
    // The desktop's language decides the titles, whatever the program's own language is.
    setenv("LANGUAGE", "fr_CA.UTF-8:en", 1);
    RequesterCall seen;
    SetRequesterResponder([&](const RequesterCall& call) {
        seen = call;
        return RequesterResponse{call.flags + 100, u"/tmp/chosen.csv"};
    });
    const struct { int flags, icon; const char16_t* buttons; } messages[] = {
        {1, 0, u"Oui|Non|"}, {3, 0, u"Oui|Non|Annuler"}, {24, 16, u"||"}, {12, 4, u"||"}};
    for (const auto& c : messages) {
        EXPECT_EQ(MessageRequester(u"Error!", u"Line one\nline two", c.flags), c.flags + 100);
        EXPECT_EQ(seen.icon, c.icon) << c.flags;
        EXPECT_EQ(Joined(seen.yesTitle, seen.noTitle, seen.cancelTitle), c.buttons) << c.flags;
    }
    setenv("LANGUAGE", "", 1);
    // The default path splits at its last "/" into the starting folder and the proposed name.
    const struct { const char16_t *defaultFile, *split; } files[] = {
        {u"/home/ada/", u"/home/ada||"}, {u"/tmp/quolk/log.csv", u"/tmp/quolk|log.csv|"}, {u"/log.csv", u"/|log.csv|"}};
    for (const auto& c : files) {
        EXPECT_EQ(OpenFileRequester(u"Open log", c.defaultFile, u"CSV (*.csv)|*.csv", 0), u"/tmp/chosen.csv");
        EXPECT_EQ(Joined(seen.startFolder, seen.proposedName), c.split);
    }
    SetRequesterResponder(nullptr);
}

TEST_F(RequesterTest, RealDialogsShowPlainTextAndTheirButtonsAndAnswerTheOnePressed) {
    const auto message = [](int flags) {
        return [flags] { return MessageRequester(u"Error! <b>", u"<b>Log</b>", flags); };
    };
    const auto alert = [] { return AlertRequester(u"Error! <b>", u"<b>Log</b>", {u"Ok", u"Other"}); };
    // press: a button's title or a key; buttons: sorted, the default one marked with "*".
    struct Case { std::function<int()> ask; const char* press; int want; QMessageBox::Icon icon; const char* buttons; };
    const Case cases[] = {
        {message(3), "Cancel", RequesterCancel, QMessageBox::NoIcon, "*Yes Cancel No"},
        {message(1 | 24), "No", RequesterNo, QMessageBox::Warning, "*Yes No"},
        {message(12), "Return", 0, QMessageBox::Information, "*OK"},
        {alert, "Other", 2, QMessageBox::NoIcon, "*Ok Other"},
        {alert, "Escape", 1, QMessageBox::NoIcon, "*Ok Other"}};
    // The program's key window before each requester is key again after it.
    ASSERT_NE(OpenWindow(96, 0, 0, 200, 100, u"Monitor"), 0);
    QWidget* window = WindowID(96);
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    for (const auto& c : cases) {
        QStringList buttons;
        WhenModalOpens([&](QWidget* dialog) {
            auto* box = qobject_cast<QMessageBox*>(dialog);
            if (!box) return;
            EXPECT_EQ(box->icon(), c.icon) << c.press;
            EXPECT_EQ(box->windowTitle(), QStringLiteral("Quolk")) << "the application's name, not the executable's";
            auto* title = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            EXPECT_TRUE(title && title->font().bold()) << "the title stands apart from the message";
            for (QLabel* label : box->findChildren<QLabel*>())
                EXPECT_FALSE(label->text().contains("<b>") && label->textFormat() != Qt::PlainText) << "plain text";
            for (QAbstractButton* button : box->buttons())
                buttons << (button == box->defaultButton() ? "*" : "") + button->text().remove('&');
            buttons.sort();
            const QString press = QString::fromLatin1(c.press);
            if (press == "Return" || press == "Escape")
                QTest::keyClick(box, press == "Return" ? Qt::Key_Return : Qt::Key_Escape);
            for (QAbstractButton* button : box->buttons())
                if (button->text().remove('&') == press) button->click();
            if (box->isVisible()) box->hide();  // not answered: a failure, not a hang
        });
        EXPECT_EQ(c.ask(), c.want) << c.press;
        EXPECT_EQ(buttons.join(' '), c.buttons) << c.press;
        EXPECT_TRUE(QTest::qWaitForWindowActive(window)) << c.press;
    }
}

// A timer's ticks while the program is busy become one pending event; they are held while the user
// answers a requester, unless its message says monitoring goes on: then the call returns at once.
TEST_F(RequesterTest, TimersCoalesceWhileBusyAndWaitForTheAnswerUnlessTheMessageGoesOn) {
    const struct { const char* what; int flags; int queuedTicks; } cases[] = {
        {"busy", -1, 1}, {"answering", RequesterError, 0}, {"goes on", RequesterError | RequesterGoesOn, -1}};
    for (const auto& c : cases) {
        ASSERT_NE(OpenWindow(95, 0, 0, 200, 100, u"Monitor"), 0);
        Settle();
        ASSERT_EQ(AddWindowTimer(95, 47, 5), 1);
        QMessageBox* box = nullptr;
        if (c.flags < 0) QTest::qWait(120);
        // Otherwise the requester stays open for many timer periods before it is answered.
        else if (!(c.flags & RequesterGoesOn))
            WhenModalOpens([](QWidget* d) { QTimer::singleShot(150, d, [d] { static_cast<QDialog*>(d)->reject(); }); });
        if (c.flags >= 0) {
            EXPECT_EQ(MessageRequester(u"Error!", u"The process is gone.", c.flags), 0);
            box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            EXPECT_EQ(box != nullptr, c.queuedTicks < 0) << c.what << ": the message is open";
            EXPECT_TRUE(!box || box->windowModality() == Qt::WindowModal);
        }
        int ticks = 0;
        for (const ToolkitEvent& e : TakeAll()) ticks += e.code == EventCodeTimer;
        EXPECT_TRUE(c.queuedTicks < 0 || ticks == c.queuedTicks) << c.what << ": " << ticks << " ticks queued";
        // The timer itself kept running: its next tick arrives.
        int32_t code = 0;
        while ((code = WaitWindowEvent(2000)) != 0 && code != EventCodeTimer) continue;
        EXPECT_EQ(code, EventCodeTimer) << c.what;
        if (box) box->accept();
        CloseWindow(95);
    }
}

TEST_F(RequesterTest, RemovingOrReplacingATimerTakesItsQueuedTickAndIntervalZeroRemovesIt) {
    OpenWindow(0, 0, 0, 100, 100, u"Timers");
    Settle();
    for (int64_t timer : {47, 48, 49}) AddWindowTimer(0, timer, 5);
    QTest::qWait(60);
    RemoveWindowTimer(0, 47);
    ASSERT_EQ(AddWindowTimer(0, 48, 3600 * 1000), 1);
    EXPECT_EQ(AddWindowTimer(0, 49, 0), 0);
    EXPECT_EQ(AddWindowTimer(9, 50, 5), 0) << "no such window";
    EXPECT_TRUE(TakeAll().empty()) << "the removed and replaced timers' ticks went with them";
    QTest::qWait(60);
    EXPECT_TRUE(TakeAll().empty()) << "only the slow timer 48 is left";
}

}  // namespace
