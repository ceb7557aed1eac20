// Quolk's icon: every rendered size embedded, and shown by the main window and its dialogs.
#include <QApplication>
#include <QWidget>

#include <initializer_list>

#include <gtest/gtest.h>

#include "app/app_fixture.h"
#include "app/app_icon.h"
#include "toolkit/application.h"

namespace {

TEST(ApplicationIcon, EveryRenderedSizeIsEmbeddedAsItself) {
    const QIcon icon = LoadApplicationIcon();
    ASSERT_FALSE(icon.isNull());
    const QList<QSize> sizes = icon.availableSizes();
    EXPECT_EQ(sizes.size(), 6);
    for (int size : {16, 32, 48, 64, 128, 256}) {
        EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
        // The render of that size itself, not a scaled neighbour: it is the sharp one.
        EXPECT_EQ(icon.pixmap(QSize(size, size)).size(), QSize(size, size)) << size;
    }
}

TEST_F(AppTest, TheMainWindowAndEveryNewWindowShowTheApplicationIcon) {
    SetApplicationIcon(LoadApplicationIcon());
    QWidget dialog;
    for (const QWidget* window : std::initializer_list<const QWidget*>{WindowID(MainWindow), &dialog}) {
        ASSERT_NE(window, nullptr);
        EXPECT_FALSE(window->windowIcon().isNull());
        EXPECT_TRUE(window->windowIcon().availableSizes().contains(QSize(256, 256)));
    }
}

}  // namespace
