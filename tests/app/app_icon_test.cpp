// Quolk's icon: every rendered size embedded (the start-up test sees the windows show it).
#include <gtest/gtest.h>

#include "app/app_icon.h"

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

}  // namespace
