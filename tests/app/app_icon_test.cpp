// Quolk's icon on its windows: every size embedded, and what a new window shows.
#include <QApplication>
#include <QWidget>

#include <gtest/gtest.h>

#include "app/app_icon.h"
#include "toolkit/application.h"

namespace {

TEST(ApplicationIcon, EveryRenderedSizeIsEmbeddedAndEveryWindowShowsIt) {
    const QIcon icon = LoadApplicationIcon();
    ASSERT_FALSE(icon.isNull());
    const QList<QSize> sizes = icon.availableSizes();
    for (int size : {16, 32, 48, 64, 128, 256}) {
        EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
        // The render of that size itself, not a scaled neighbour: it is the sharp one.
        EXPECT_EQ(icon.pixmap(QSize(size, size)).size(), QSize(size, size)) << size;
    }
    EXPECT_EQ(sizes.size(), 6);

    SetApplicationIcon(icon);
    QWidget window;
    EXPECT_FALSE(window.windowIcon().isNull());
    EXPECT_TRUE(window.windowIcon().availableSizes().contains(QSize(256, 256)));
    EXPECT_EQ(QApplication::windowIcon().cacheKey(), icon.cacheKey());
}

}  // namespace
