// The main of a GUI test program: one toolkit for the whole run, offscreen unless the caller chose
// a platform (DISPLAY=:99 QT_QPA_PLATFORM=xcb runs the same tests on a real X server).
#pragma once

#include <cstdlib>

#include <gtest/gtest.h>

#include "toolkit/application.h"

inline int RunGuiTests(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    InitToolkit(argc, argv, u"Quolk", u"quolk");
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    EndToolkit();
    return result;
}
