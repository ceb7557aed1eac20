#include "app/startup.h"

#include <clocale>

#include <gtest/gtest.h>

#include <QApplication>
#include <QIcon>
#include <QTest>
#include <QWidget>

#include "app/app_state.h"
#include "app/main_window.h"
#include "platform/sleep_wake.h"
#include "scratch_dir.h"
#include "strings/stringtable.h"
#include "toolkit/gadget.h"
#include "toolkit/window.h"

namespace {

TEST(StartApplication, TakesTheUsersLanguageKeepsTheDecimalPointAndClearsTheHistory) {
    const struct { const char* language; const char* browse; bool qtTranslated; } table[] = {
        {"de_DE.UTF-8", "Durchsuchen...", true}, {"en_US.UTF-8", "Browse...", false}, {"pt_BR", "Browse...", false}};
    ScratchDir dir;
    EnvScope noBus(SystemBusAddressVariable, "unix:path=" + dir.File("no-bus"));
    for (const auto& row : table) {
        EnvScope language("LANGUAGE", row.language);
        std::setlocale(LC_NUMERIC, "de_DE.UTF-8");  // as a German desktop leaves it, where installed
        AppState state;
        AppendHistoryPoint(state.history, 1, 10.0f, 20.0f);
        ASSERT_TRUE(StartApplication(state));
        EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
        EXPECT_EQ(state.history.count, 0);
        EXPECT_EQ(state.history.slots[0].footprintMB, 0.0f);
        EXPECT_EQ(TextToUtf8(GetGadgetText(GadgetBrowse)), row.browse) << row.language;
        // Qt's own dialogs in the same language.
        EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:") != QStringLiteral("Look in:"), row.qtTranslated)
            << row.language;
        EXPECT_TRUE(IsWindow(MainWindow));
        // The icon and the observer come once the window has painted, and start-up goes on
        // without a bus.
        QApplication::setWindowIcon(QIcon());
        FinishStartAfterFirstPaint(state);
        WindowID(MainWindow)->update();
        EXPECT_TRUE(QTest::qWaitFor([] { return !WindowID(MainWindow)->windowIcon().isNull(); })) << row.language;
        EXPECT_TRUE(QWidget().windowIcon().availableSizes().contains(QSize(256, 256))) << "and so does every new window";
        EXPECT_EQ(state.sleepWakeObserver, nullptr);
        CloseWindow(-1);
    }
    LoadStringTable(u"en");
}

}  // namespace
