#include "toolkit/requester.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <cstdlib>
#include <functional>
#include <optional>
#include <set>
#include <string>

#include "toolkit/event_queue.h"
#include "toolkit/timer.h"
#include "toolkit/window.h"

namespace {

// Sets an environment variable for the length of a scope.
class EnvironmentGuard {
public:
    EnvironmentGuard(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        setenv(name, value, 1);
    }
    ~EnvironmentGuard() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

// Installs a responder for one test and removes it afterwards, so real dialogs come back.
class ResponderScope {
public:
    explicit ResponderScope(RequesterResponder responder) { SetRequesterResponder(std::move(responder)); }
    ~ResponderScope() { SetRequesterResponder(nullptr); }
};

TEST(RequesterButtonTitles, FollowThePrefixOfThePreferredLanguage) {
    struct Case {
        const char16_t* tag;
        RequesterButtonTitles want;
    } cases[] = {
        {u"fr_CA.UTF-8", {u"Oui", u"Non", u"Annuler"}},
        {u"fr", {u"Oui", u"Non", u"Annuler"}},
        {u"de_AT", {u"Ja", u"Nein", u"Abbrechen"}},
        {u"it", {u"S\u00CC", u"NO", u"Annulla"}},
        {u"es_MX.UTF-8", {u"S\u00ED", u"No", u"Cancelar"}},
        {u"pt_BR", {u"Yes", u"No", u"Cancel"}},
        {u"C.UTF-8", {u"Yes", u"No", u"Cancel"}},
        {u"", {u"Yes", u"No", u"Cancel"}},
        {u"en_GB", {u"Yes", u"No", u"Cancel"}},
    };
    for (const Case& c : cases) {
        RequesterButtonTitles got = RequesterButtonTitlesFor(c.tag);
        EXPECT_EQ(got.yes, c.want.yes) << TextToUtf8(c.tag);
        EXPECT_EQ(got.no, c.want.no) << TextToUtf8(c.tag);
        EXPECT_EQ(got.cancel, c.want.cancel) << TextToUtf8(c.tag);
    }
}

TEST(MessageRequester, DescribesIconAndButtonsToTheResponder) {
    // The desktop's language decides the titles, whatever the program's own language is.
    EnvironmentGuard language("LANGUAGE", "fr_CA.UTF-8:en");
    struct Case {
        int flags;
        int icon;
        const char16_t *yes, *no, *cancel;
    } cases[] = {
        {0, 0, u"", u"", u""},
        {8, 8, u"", u"", u""},
        {1, 0, u"Oui", u"Non", u""},
        {2, 0, u"Oui", u"Non", u"Annuler"},
        {3, 0, u"Oui", u"Non", u"Annuler"},
        {24, 16, u"", u"", u""},
        {12, 4, u"", u"", u""},
        {28, 16, u"", u"", u""},
        {1 | 16, 16, u"Oui", u"Non", u""},
    };
    for (const Case& c : cases) {
        RequesterCall seen;
        bool modal = false;
        ResponderScope scope([&](const RequesterCall& call) {
            seen = call;
            modal = ModalRunOpen();
            return RequesterResponse{};
        });
        MessageRequester(u"Error!", u"Line one\nline two", c.flags);
        EXPECT_EQ(seen.kind, RequesterCall::Message);
        EXPECT_EQ(seen.title, u"Error!");
        EXPECT_EQ(seen.message, u"Line one\nline two");
        EXPECT_EQ(seen.flags, c.flags);
        EXPECT_EQ(seen.icon, c.icon) << c.flags;
        EXPECT_EQ(seen.yesTitle, c.yes) << c.flags;
        EXPECT_EQ(seen.noTitle, c.no) << c.flags;
        EXPECT_EQ(seen.cancelTitle, c.cancel) << c.flags;
        EXPECT_TRUE(modal) << "window timers must be held while a requester is answered";
    }
    EXPECT_FALSE(ModalRunOpen());
}

TEST(MessageRequester, ReturnsTheResponderAnswer) {
    for (int answer : {int(RequesterYes), int(RequesterNo), int(RequesterCancel), 0}) {
        ResponderScope scope([&](const RequesterCall&) { return RequesterResponse{answer, u""}; });
        EXPECT_EQ(MessageRequester(u"Quit?", u"", RequesterYesNoCancel), answer);
    }
}

TEST(OpenFileRequester, SplitsTheDefaultPathIntoFolderAndName) {
    struct Case {
        const char16_t* defaultFile;
        const char16_t* folder;
        const char16_t* name;
    } cases[] = {
        {u"/home/ada/", u"/home/ada", u""},
        {u"/tmp/quolk/log.csv", u"/tmp/quolk", u"log.csv"},
        {u"/log.csv", u"/", u"log.csv"},
        {u"log.csv", u"", u"log.csv"},
        {u"", u"", u""},
    };
    for (const Case& c : cases) {
        RequesterCall seen;
        ResponderScope scope([&](const RequesterCall& call) {
            seen = call;
            return RequesterResponse{0, u"/tmp/chosen.csv"};
        });
        Text path = OpenFileRequester(u"Open log", c.defaultFile,
                                      u"CSV Files (*.csv)|*.csv|All Files (*.*)|*.*", 0);
        EXPECT_EQ(path, u"/tmp/chosen.csv");
        EXPECT_EQ(seen.kind, RequesterCall::OpenFile);
        EXPECT_EQ(seen.title, u"Open log");
        EXPECT_EQ(seen.startFolder, c.folder) << TextToUtf8(c.defaultFile);
        EXPECT_EQ(seen.proposedName, c.name) << TextToUtf8(c.defaultFile);
    }
}

// --- Real dialogs, answered by a timer as a person would ---------------------------------------

// Waits (within the dialog's own event loop) until a modal dialog is up, then hands it over.
void WhenModalOpens(std::function<void(QWidget*)> act, int attempts = 300) {
    QTimer::singleShot(10, [act, attempts] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            act(dialog);
        } else if (attempts > 0) {
            WhenModalOpens(act, attempts - 1);
        }
    });
}

struct SeenBox {
    QString text, informative;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    std::set<QString> buttons;
    QString defaultButton;
    bool plainLabels = true;
};

void Record(QMessageBox* box, SeenBox& seen) {
    seen.text = box->text();
    seen.informative = box->informativeText();
    seen.icon = box->icon();
    for (QAbstractButton* button : box->buttons()) seen.buttons.insert(button->text().remove('&'));
    if (box->defaultButton()) seen.defaultButton = box->defaultButton()->text();
    for (QLabel* label : box->findChildren<QLabel*>()) {
        if (label->text() == seen.text || label->text() == seen.informative) {
            seen.plainLabels = seen.plainLabels && label->textFormat() == Qt::PlainText;
        }
    }
}

TEST(MessageRequesterDialog, ShowsItsButtonsAndIconAndAnswersTheClickedButton) {
    struct Case {
        const char* what;
        int flags;
        const char* press;  // a button title, or "Return"
        int want;
        QMessageBox::Icon icon;
        std::set<QString> buttons;
    } cases[] = {
        {"Return answers the default Yes", 1, "Return", RequesterYes, QMessageBox::NoIcon,
         {"Yes", "No"}},
        {"flags 3 shows three buttons", 3, "Cancel", RequesterCancel, QMessageBox::NoIcon,
         {"Yes", "No", "Cancel"}},
        {"No with the warning icon", 1 | 24, "No", RequesterNo, QMessageBox::Warning,
         {"Yes", "No"}},
        {"one default button answers 0", 8, "Return", 0, QMessageBox::Critical, {"OK"}},
        {"information wins over error", 12, "Return", 0, QMessageBox::Information, {"OK"}},
    };
    for (const Case& c : cases) {
        SeenBox seen;
        std::string press = c.press;
        WhenModalOpens([&seen, press](QWidget* dialog) {
            auto* box = qobject_cast<QMessageBox*>(dialog);
            if (!box) return;
            Record(box, seen);
            if (press == "Return") {
                QTest::keyClick(box, Qt::Key_Return);
                return;
            }
            for (QAbstractButton* button : box->buttons()) {
                if (button->text().remove('&') == QString::fromStdString(press)) button->click();
            }
        });
        EXPECT_EQ(MessageRequester(u"Error! <b>", u"Analysis report copied\n", c.flags), c.want)
            << c.what;
        EXPECT_EQ(seen.text, "Error! <b>") << c.what;
        EXPECT_EQ(seen.informative, "Analysis report copied\n") << c.what;
        EXPECT_TRUE(seen.plainLabels) << c.what;
        EXPECT_EQ(seen.icon, c.icon) << c.what;
        EXPECT_EQ(seen.buttons, c.buttons) << c.what;
        if (c.flags & 3) {
            EXPECT_EQ(seen.defaultButton, "Yes") << c.what;
        }
    }
}

TEST(MessageRequesterDialog, GivesTheFocusBackToTheWindowThatHadIt) {
    QWidget window;
    window.resize(200, 100);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    WhenModalOpens([](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Return); });
    EXPECT_EQ(MessageRequester(u"Buy me a coffee?", u"", RequesterYesNo), RequesterYes);
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_EQ(QApplication::activeWindow(), &window);
}

TEST(OpenFileRequesterDialog, ReturnsTheChosenFullPathOrNothingOnCancel) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QString file = folder.filePath("quolk_log.csv");
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write("Timestamp;Footprint\n");
    out.close();
    Text start = (QDir(folder.path()).canonicalPath() + "/").toStdU16String();

    QString shownFolder;
    // The panel lists its folder in the background, and a name given while its name field has
    // the focus only selects the row once the listing is done; so the field is left first and the
    // choice repeated until the panel closes. After many tries the panel is cancelled: a failure,
    // not a hang.
    int tries = 0;
    std::function<void(QWidget*)> choose = [&](QWidget* dialog) {
        auto* panel = qobject_cast<QFileDialog*>(dialog);
        if (!panel) return;
        shownFolder = panel->directory().canonicalPath();
        if (++tries > 100) {
            panel->reject();
            return;
        }
        if (QWidget* focus = panel->focusWidget()) focus->clearFocus();
        panel->selectFile(file);
        QMetaObject::invokeMethod(panel, "accept");
        if (panel->isVisible()) WhenModalOpens(choose);
    };
    WhenModalOpens(choose);
    Text chosen = OpenFileRequester(u"Open log", start, u"CSV Files (*.csv)|*.csv", 0);
    EXPECT_EQ(QString::fromStdU16String(chosen), QFileInfo(file).absoluteFilePath());
    EXPECT_EQ(chosen.substr(0, 1), u"/");
    EXPECT_EQ(shownFolder, QDir(folder.path()).canonicalPath());

    WhenModalOpens([](QWidget* dialog) {
        if (auto* panel = qobject_cast<QFileDialog*>(dialog)) panel->reject();
    });
    EXPECT_EQ(OpenFileRequester(u"Open log", start, u"", 0), u"");
}

// Takes every queued event and counts the ticks of one timer.
int TakeTimerTicks(int64_t window, int64_t timer) {
    int ticks = 0;
    int32_t code = 0;
    while (TakeQueuedEvent(code)) {
        ticks += code == EventCodeTimer && EventWindow() == window && EventTimer() == timer;
    }
    return ticks;
}

TEST(MessageRequesterDialog, WindowTimersDoNotTickWhileItIsOpen) {
    constexpr int64_t kWindow = 95, kTimer = 47;
    ASSERT_NE(OpenWindow(kWindow, 0, 0, 200, 100, u"Monitor"), 0);
    ASSERT_EQ(AddWindowTimer(kWindow, kTimer, 5), 1);
    ClearEventQueue();
    // The requester stays open for many timer periods before it is answered.
    WhenModalOpens([](QWidget* dialog) {
        QTimer::singleShot(150, dialog, [dialog] { QTest::keyClick(dialog, Qt::Key_Return); });
    });
    EXPECT_EQ(MessageRequester(u"Error!", u"The process is gone.", RequesterError), 0);
    EXPECT_EQ(TakeTimerTicks(kWindow, kTimer), 0);
    // The timer itself kept running: its next tick arrives once the requester is gone.
    EXPECT_EQ(WaitWindowEvent(2000), EventCodeTimer);
    EXPECT_EQ(EventTimer(), kTimer);
    RemoveWindowTimer(kWindow, kTimer);
    CloseWindow(kWindow);
    ClearEventQueue();
}

// --- Clipboard -------------------------------------------------------------------------------

TEST(Clipboard, HoldsTheTextExactlyAsPlainText) {
    const Text texts[] = {u"line1\r\nline2 \U0001F6A8\n\r", u"", u"SÌ \u00E9t\u00E9 |---|"};
    for (const Text& text : texts) {
        ASSERT_EQ(SetClipboardText(text), 1);
        const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
        ASSERT_NE(data, nullptr);
        EXPECT_EQ(data->text().toStdU16String(), text);
        EXPECT_FALSE(data->hasHtml());
        EXPECT_EQ(QGuiApplication::clipboard()->text().toStdU16String(), text);
    }
    // A later text replaces the earlier one.
    SetClipboardText(u"first");
    SetClipboardText(u"second");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "second");
}

}  // namespace
