#include "toolkit/drawing.h"

#include <QTest>
#include <QWidget>

#include "toolkit/canvas_gadget.h"
#include "toolkit/gadget.h"
#include "toolkit_fixture.h"

namespace {

constexpr int64_t kCanvas = 91;

using DrawingTest = ToolkitTest;

// Drawing needs one open context on a canvas; the canvas shows the picture, one to one, only once
// the drawing stops.
TEST_F(DrawingTest, DrawsOnlyOnACanvasInOneContextAndStoppingShowsThePictureOneToOne) {
    OpenWindow(0, 0, 0, 600, 200, u"Drawing");
    ASSERT_NE(CanvasGadget(kCanvas, 20, 10, 560, 140), 0);
    ButtonGadget(92, 20, 160, 80, 25, u"Start");
    for (int64_t notCanvas : {92, 9999}) EXPECT_EQ(StartDrawing(CanvasOutput(notCanvas)), 0) << notCanvas;
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            paints += event->type() == QEvent::Paint;
            return false;
        }
    } counter;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(WindowID(0)));
    QCoreApplication::processEvents();
    GadgetID(kCanvas)->installEventFilter(&counter);
    Box(0, 0, 10, 10, RGB(1, 2, 3));  // without a context: nothing
    ASSERT_NE(StartDrawing(CanvasOutput(kCanvas)), 0);
    EXPECT_EQ(StartDrawing(CanvasOutput(kCanvas)), 0) << "a second context while one is open";
    Box(0, 0, 560, 140, RGB(25, 28, 36));
    LineXY(65, 20, 435, 20, RGB(45, 52, 65));
    QCoreApplication::processEvents();
    EXPECT_EQ(counter.paints, 0) << "nothing is shown half-drawn";
    StopDrawing();
    QCoreApplication::processEvents();
    EXPECT_GT(counter.paints, 0);
    GadgetID(kCanvas)->removeEventFilter(&counter);
    Box(0, 0, 560, 140, RGB(255, 0, 0));  // the context ended with the stop
    const QImage shown = GadgetID(kCanvas)->grab().toImage();
    EXPECT_EQ(shown.size(), QSize(560, 140));
    EXPECT_EQ(shown.pixelColor(0, 0), QColor(25, 28, 36));
    EXPECT_EQ(shown.pixelColor(435, 20), QColor(45, 52, 65));
    FreeGadget(kCanvas);
    EXPECT_EQ(StartDrawing(DrawingTarget{kCanvas}), 0) << "a freed canvas";
}

}  // namespace
