// The toolkit tests need one QApplication for the whole run; offscreen unless the caller chose a
// platform (DISPLAY=:99 QT_QPA_PLATFORM=xcb runs the same tests on a real X server).
#include <cstdlib>

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
