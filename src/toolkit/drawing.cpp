#include "toolkit/drawing.h"

#include <QFont>
#include <QGuiApplication>

#include "toolkit/canvas_gadget.h"

namespace {

struct DrawingContext {
    bool open = false;
    int64_t gadget = -1;
    uint32_t backColour = 0;  // text background; nothing in the program changes it
    int mode = DrawingModeDefault;
};

DrawingContext context;

// The buffer is looked up on every call rather than kept: the canvas owns it.
CanvasBuffer* OpenBuffer() {
    if (!context.open) return nullptr;
    return CanvasBufferOfGadget(context.gadget);
}

}  // namespace

DrawingTarget CanvasOutput(int64_t gadget) {
    if (gadget < 0 || !CanvasBufferOfGadget(gadget)) return DrawingTarget{};
    return DrawingTarget{gadget};
}

int StartDrawing(DrawingTarget target) {
    if (context.open || target.gadget < 0 || !CanvasBufferOfGadget(target.gadget)) return 0;
    context = DrawingContext{true, target.gadget};
    return 1;
}

void StopDrawing() {
    if (!context.open) return;
    int64_t gadget = context.gadget;
    context = DrawingContext{};
    RedisplayCanvasGadget(gadget);
}

void Box(int x, int y, int width, int height, uint32_t colour) {
    if (CanvasBuffer* buffer = OpenBuffer()) RasterBox(*buffer, x, y, width, height, colour);
}

void LineXY(int x1, int y1, int x2, int y2, uint32_t colour) {
    if (CanvasBuffer* buffer = OpenBuffer()) RasterLine(*buffer, x1, y1, x2, y2, colour);
}

double DrawText(double x, double y, TextView text, uint32_t colour) {
    CanvasBuffer* buffer = OpenBuffer();
    if (!buffer) return x;
    bool transparent = (context.mode & DrawingModeTransparent) != 0;
    return RasterText(*buffer, x, y, text, colour, context.backColour, transparent,
                      QGuiApplication::font());
}

double DrawingTextWidth(TextView text) { return RasterTextWidth(text, QGuiApplication::font()); }

void DrawingMode(int mode) {
    if (context.open) context.mode = mode;
}
