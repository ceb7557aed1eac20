// The application's tests need one toolkit for the whole run; offscreen unless the caller chose a
// platform.
#include <cstdlib>

#include <gtest/gtest.h>

#include "toolkit/application.h"

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    InitToolkit(argc, argv, u"Quolk", u"quolk");
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    EndToolkit();
    return result;
}
