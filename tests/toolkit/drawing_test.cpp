#include "toolkit/drawing.h"

#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QEvent>
#include <QGuiApplication>
#include <QTest>
#include <QWidget>

#include <cmath>

#include "toolkit/canvas_gadget.h"
#include "toolkit/gadget.h"
#include "toolkit/window.h"

namespace {

constexpr int64_t kWindow = 90;
constexpr int64_t kCanvas = 91;
constexpr int64_t kButton = 92;

struct Rgba {
    int r = 0, g = 0, b = 0, a = 0;
    bool operator==(const Rgba&) const = default;
};

Rgba At(const CanvasBuffer& buffer, int x, int y) {
    const uint8_t* p = buffer.pixels.data() + (size_t(y) * buffer.width + x) * 4;
    return {p[0], p[1], p[2], p[3]};
}

const Rgba kWhite{255, 255, 255, 255};

// A real offscreen window with the trend graph's canvas size and a button beside it.
class DrawingTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(OpenWindow(kWindow, 0, 0, 600, 200, u"Drawing"), 0);
        ASSERT_NE(CanvasGadget(kCanvas, 20, 10, 560, 140), 0);
        ASSERT_NE(ButtonGadget(kButton, 20, 160, 80, 25, u"Start"), 0);
    }
    void TearDown() override {
        StopDrawing();
        CloseWindow(kWindow);
    }
    CanvasBuffer& Buffer() { return *CanvasBufferOfGadget(kCanvas); }
};

TEST_F(DrawingTest, OnlyACanvasGadgetIsADrawingTarget) {
    for (int64_t notCanvas : {kButton, kWindow, int64_t(9999), int64_t(-1)}) {
        EXPECT_EQ(CanvasOutput(notCanvas).gadget, -1) << notCanvas;
        EXPECT_EQ(StartDrawing(CanvasOutput(notCanvas)), 0) << notCanvas;
        EXPECT_EQ(StartDrawing(DrawingTarget{notCanvas}), 0) << notCanvas;
    }
    EXPECT_EQ(CanvasOutput(kCanvas).gadget, kCanvas);
    FreeGadget(kCanvas);
    EXPECT_EQ(CanvasOutput(kCanvas).gadget, -1);
    EXPECT_EQ(StartDrawing(DrawingTarget{kCanvas}), 0) << "a freed canvas";
}

TEST_F(DrawingTest, ATrendGraphSizedCanvasStartsWhite) {
    CanvasBuffer& buffer = Buffer();
    EXPECT_EQ(buffer.width, 560);
    EXPECT_EQ(buffer.height, 140);
    for (int y = 0; y < 140; ++y) {
        for (int x = 0; x < 560; ++x) ASSERT_EQ(At(buffer, x, y), kWhite);
    }
}

TEST_F(DrawingTest, DrawsOnlyBetweenStartAndStopAndOneContextAtATime) {
    Box(0, 0, 10, 10, RGB(1, 2, 3));
    LineXY(0, 0, 20, 5, RGB(1, 2, 3));
    EXPECT_EQ(DrawText(7.5, 3, u"125 MB", RGB(1, 2, 3)), 7.5);
    DrawingMode(DrawingModeTransparent);
    EXPECT_EQ(At(Buffer(), 0, 0), kWhite) << "nothing is drawn without a context";

    ASSERT_NE(StartDrawing(CanvasOutput(kCanvas)), 0);
    EXPECT_EQ(StartDrawing(CanvasOutput(kCanvas)), 0) << "a second context while one is open";
    Box(0, 0, 560, 140, RGB(25, 28, 36));
    LineXY(65, 20, 435, 20, RGB(45, 52, 65));
    LineXY(65, 115, 66, 114, RGB(180, 110, 255));
    StopDrawing();
    StopDrawing();  // a second stop is harmless

    EXPECT_EQ(At(Buffer(), 0, 0), (Rgba{25, 28, 36, 255}));
    EXPECT_EQ(At(Buffer(), 559, 139), (Rgba{25, 28, 36, 255}));
    EXPECT_EQ(At(Buffer(), 65, 20), (Rgba{45, 52, 65, 255}));
    EXPECT_EQ(At(Buffer(), 435, 20), (Rgba{45, 52, 65, 255}));
    EXPECT_EQ(At(Buffer(), 436, 20), (Rgba{25, 28, 36, 255}));
    EXPECT_EQ(At(Buffer(), 66, 114), (Rgba{180, 110, 255, 255}));

    Box(0, 0, 560, 140, RGB(255, 0, 0));
    EXPECT_EQ(At(Buffer(), 0, 0), (Rgba{25, 28, 36, 255})) << "the context ended with the stop";
    ASSERT_NE(StartDrawing(CanvasOutput(kCanvas)), 0) << "a new context after the stop";
    StopDrawing();
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

TEST_F(DrawingTest, StoppingShowsTheNewPicture) {
    QWidget* canvas = GadgetID(kCanvas);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(WindowID(kWindow)));
    QCoreApplication::processEvents();
    PaintCounter counter;
    canvas->installEventFilter(&counter);
    ASSERT_NE(StartDrawing(CanvasOutput(kCanvas)), 0);
    Box(0, 0, 560, 140, RGB(25, 28, 36));
    QCoreApplication::processEvents();
    EXPECT_EQ(counter.paints, 0) << "nothing is shown half-drawn";
    StopDrawing();
    QCoreApplication::processEvents();
    EXPECT_GT(counter.paints, 0);
    canvas->removeEventFilter(&counter);
}

// Counts the pixels of a row range that are pure black.
int BlackPixels(const CanvasBuffer& buffer, int x0, int x1, int y0, int y1) {
    int black = 0;
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) black += At(buffer, x, y) == Rgba{0, 0, 0, 255};
    }
    return black;
}

TEST_F(DrawingTest, TextUsesTheModeAndTheDefaultFontAndReturnsItsEnd) {
    const QFontMetricsF metrics(QGuiApplication::font());
    const double width = metrics.horizontalAdvance("Footprint RAM");
    const int right = int(std::ceil(10 + width)) - 1;
    const int bottom = int(std::ceil(20 + metrics.height())) - 1;

    ASSERT_NE(StartDrawing(CanvasOutput(kCanvas)), 0);
    DrawingMode(DrawingModeTransparent);
    EXPECT_DOUBLE_EQ(DrawText(10, 20, u"Footprint RAM", RGB(220, 220, 230)), 10 + width);
    StopDrawing();
    EXPECT_EQ(BlackPixels(Buffer(), 10, right, 20, bottom), 0) << "transparent: no back colour";

    // A new context starts in the default mode: the text box is painted black first.
    ASSERT_NE(StartDrawing(CanvasOutput(kCanvas)), 0);
    DrawText(10, 20, u"Footprint RAM", RGB(220, 220, 230));
    StopDrawing();
    int boxPixels = (right - 9) * (bottom - 19);
    int black = BlackPixels(Buffer(), 10, right, 20, bottom);
    EXPECT_GT(black, boxPixels / 2) << "most of the box is background";
    EXPECT_LT(black, boxPixels) << "the glyphs are drawn over it";
    EXPECT_EQ(At(Buffer(), 9, 20), kWhite);
    EXPECT_EQ(At(Buffer(), right + 1, 20), kWhite);
    EXPECT_EQ(At(Buffer(), 10, bottom + 1), kWhite);
    for (size_t i = 3; i < Buffer().pixels.size(); i += 4) ASSERT_EQ(Buffer().pixels[i], 255);
}

}  // namespace
