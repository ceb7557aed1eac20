#include "toolkit/requester.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

#include "toolkit/event_queue.h"
#include "toolkit/timer.h"
#include "toolkit/window.h"

namespace {

// Installs a responder for one scope and removes it afterwards, so real dialogs come back.
struct ResponderScope {
    explicit ResponderScope(RequesterResponder responder) { SetRequesterResponder(std::move(responder)); }
    ~ResponderScope() { SetRequesterResponder(nullptr); }
};

Text Joined(const Text& a, const Text& b, const Text& c = u"") { return a + u"|" + b + u"|" + c; }
Text Joined(const RequesterButtonTitles& titles) { return Joined(titles.yes, titles.no, titles.cancel); }

TEST(RequesterButtonTitles, FollowThePrefixOfThePreferredLanguage) {
    const struct { const char16_t *tag, *want; } cases[] = {
        {u"de_AT", u"Ja|Nein|Abbrechen"}, {u"it", u"S\u00CC|NO|Annulla"}, {u"pt_BR", u"Yes|No|Cancel"}};
    for (const auto& c : cases) EXPECT_EQ(Joined(RequesterButtonTitlesFor(c.tag)), c.want);
}

TEST(Requesters, TheResponderSeesEachCallInsideAModalRunAndGivesTheAnswer) {
    // The desktop's language decides the titles, whatever the program's own language is.
    setenv("LANGUAGE", "fr_CA.UTF-8:en", 1);
    RequesterCall seen;
    bool modal = false;
    ResponderScope scope([&](const RequesterCall& call) {
        seen = call;
        modal = ModalRunOpen();
        return RequesterResponse{call.flags + 100, u"/tmp/chosen.csv"};
    });
    const struct { int flags, icon; const char16_t* buttons; } messages[] = {
        {0, 0, u"||"}, {1, 0, u"Oui|Non|"}, {3, 0, u"Oui|Non|Annuler"}, {24, 16, u"||"}, {12, 4, u"||"}};
    for (const auto& c : messages) {
        modal = false;
        EXPECT_EQ(MessageRequester(u"Error!", u"Line one\nline two", c.flags), c.flags + 100);
        EXPECT_EQ(Joined(seen.title, seen.message), u"Error!|Line one\nline two|");
        EXPECT_EQ(seen.icon, c.icon) << c.flags;
        EXPECT_EQ(Joined(seen.yesTitle, seen.noTitle, seen.cancelTitle), c.buttons) << c.flags;
        EXPECT_TRUE(modal) << "window timers must be held while a requester is answered";
    }
    setenv("LANGUAGE", "", 1);
    // The default path splits at its last "/" into the starting folder and the proposed name.
    const struct { const char16_t *defaultFile, *split; } files[] = {
        {u"/home/ada/", u"/home/ada||"}, {u"/tmp/quolk/log.csv", u"/tmp/quolk|log.csv|"}, {u"/log.csv", u"/|log.csv|"}};
    for (const auto& c : files) {
        EXPECT_EQ(OpenFileRequester(u"Open log", c.defaultFile, u"CSV (*.csv)|*.csv", 0), u"/tmp/chosen.csv");
        EXPECT_EQ(Joined(seen.startFolder, seen.proposedName), c.split);
    }
}

// Hands the modal dialog to `act` once its own event loop runs (exec shows it before that).
void WhenModalOpens(std::function<void(QWidget*)> act, int attempts = 300) {
    QTimer::singleShot(10, [act, attempts] {
        if (QWidget* dialog = QApplication::activeModalWidget()) act(dialog);
        else if (attempts > 0) WhenModalOpens(act, attempts - 1);
    });
}

TEST(MessageRequesterDialog, ShowsItsButtonsAndIconAsPlainTextAndAnswersTheClickedButton) {
    // press: a button's title, or "" for Return; buttons: sorted, the default one marked with "*".
    const struct { int flags; const char* press; int want; QMessageBox::Icon icon; const char* buttons; } cases[] = {
        {3, "Cancel", RequesterCancel, QMessageBox::NoIcon, "*Yes Cancel No"},
        {1 | 24, "No", RequesterNo, QMessageBox::Warning, "*Yes No"}, {12, "", 0, QMessageBox::Information, "*OK"}};
    // The program's key window before each requester is key again after it.
    ASSERT_NE(OpenWindow(96, 0, 0, 200, 100, u"Monitor"), 0);
    QWidget* window = WindowID(96);
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    for (const auto& c : cases) {
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QStringList buttons;
        int markupLabels = 0;
        QString windowTitle;
        bool boldTitle = false;
        WhenModalOpens([&](QWidget* dialog) {
            auto* box = qobject_cast<QMessageBox*>(dialog);
            if (!box) return;
            icon = box->icon();
            windowTitle = box->windowTitle();
            if (auto* title = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) boldTitle = title->font().bold();
            for (QAbstractButton* button : box->buttons())
                buttons << (button == box->defaultButton() ? "*" : "") + button->text().remove('&');
            buttons.sort();
            for (QLabel* label : box->findChildren<QLabel*>())
                markupLabels += label->text().contains("<b>") && label->textFormat() != Qt::PlainText;
            if (!*c.press) QTest::keyClick(box, Qt::Key_Return);
            for (QAbstractButton* button : box->buttons())
                if (*c.press && button->text().remove('&') == c.press) button->click();
            if (box->isVisible()) box->reject();  // not answered: a failure, not a hang
        });
        EXPECT_EQ(MessageRequester(u"Error! <b>", u"<b>Analysis</b> report\n", c.flags), c.want) << c.flags;
        EXPECT_EQ(markupLabels, 0) << "title and message stay plain text";
        EXPECT_EQ(windowTitle, QStringLiteral("Quolk")) << "the application's name, not the executable's";
        EXPECT_TRUE(boldTitle) << "the title stands apart from the message";
        EXPECT_EQ(icon, c.icon) << c.flags;
        EXPECT_EQ(buttons.join(' '), c.buttons) << c.flags;
        EXPECT_TRUE(QTest::qWaitForWindowActive(window)) << c.flags;
    }
    CloseWindow(96);
}

// Window timers are held while the user answers a requester, unless its message says monitoring
// goes on: then the call returns at once and the timers tick while the message is open.
TEST(MessageRequesterDialog, TimersWaitForTheAnswerUnlessTheMessageGoesOn) {
    for (const int flags : {int(RequesterError), RequesterError | RequesterGoesOn}) {
        const bool goesOn = flags & RequesterGoesOn;
        ASSERT_NE(OpenWindow(95, 0, 0, 200, 100, u"Monitor"), 0);
        ASSERT_EQ(AddWindowTimer(95, 47, 5), 1);
        ClearEventQueue();
        // Otherwise the requester stays open for many timer periods before it is answered.
        if (!goesOn) WhenModalOpens([](QWidget* d) { QTimer::singleShot(150, d, [d] { qobject_cast<QDialog*>(d)->reject(); }); });
        EXPECT_EQ(MessageRequester(u"Error!", u"The process is gone.", flags), 0);
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        EXPECT_EQ(box != nullptr, goesOn) << "the message is open";
        if (box) EXPECT_EQ(box->windowModality(), Qt::WindowModal);
        int32_t code = 0;
        while (!goesOn && TakeQueuedEvent(code)) EXPECT_NE(code, EventCodeTimer);
        // The timer itself kept running: its next tick arrives.
        while ((code = WaitWindowEvent(2000)) != 0 && code != EventCodeTimer) continue;
        EXPECT_EQ(code, EventCodeTimer) << goesOn;
        if (box) box->accept();
        CloseWindow(95);
    }
}

}  // namespace
