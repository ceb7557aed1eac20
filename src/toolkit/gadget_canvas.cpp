// The canvas gadget: a pixel buffer that the drawing functions paint into, shown 1:1.
#include <QImage>
#include <QPainter>

#include "toolkit/canvas_gadget.h"
#include "toolkit/canvas_raster.h"
#include "toolkit/gadget.h"
#include "toolkit/gadget_functions.h"
#include "toolkit/toolkit_style.h"

namespace {

class Xo_QCanvas : public QWidget {
public:
    Xo_QCanvas(QWidget* parent, int width, int height, bool framed)
        : QWidget(parent), Xo_buffer(MakeCanvasBuffer(width, height)), Xo_framed(framed) {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    // Keeps what was drawn where it still fits; the rest is white.
    void ResizeBuffer(int width, int height) {
        CanvasBuffer larger = MakeCanvasBuffer(width, height);
        const int rows = std::min(larger.height, Xo_buffer.height);
        const size_t rowBytes = static_cast<size_t>(std::min(larger.width, Xo_buffer.width)) * 4;
        for (int y = 0; y < rows; ++y)
            std::copy_n(Xo_buffer.pixels.data() + static_cast<size_t>(y) * Xo_buffer.width * 4, rowBytes,
                        larger.pixels.data() + static_cast<size_t>(y) * larger.width * 4);
        Xo_buffer = std::move(larger);
        update();
    }

    CanvasBuffer Xo_buffer;
    bool Xo_framed = false;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        const QImage image(Xo_buffer.pixels.data(), Xo_buffer.width, Xo_buffer.height,
                           Xo_buffer.width * 4, QImage::Format_RGBA8888);
        PaintInBands(painter, image.rect(), [&] { painter.drawImage(0, 0, image); });
        if (Xo_framed) {
            painter.setPen(palette().color(QPalette::Mid));
            painter.drawRect(rect().adjusted(0, 0, -1, -1));
        }
    }
};

class CanvasFunctions : public XoGadgetFunctions {
public:
    explicit CanvasFunctions(Xo_QCanvas* canvas) : canvas_(canvas) {}

    void ResizeGadget(int x, int y, int width, int height) override {
        XoGadgetFunctions::ResizeGadget(x, y, width, height);
        if (width != canvas_->Xo_buffer.width || height != canvas_->Xo_buffer.height)
            canvas_->ResizeBuffer(width, height);
    }

    Xo_QCanvas* canvas_;
};

Xo_QCanvas* CanvasOf(int64_t gadget) {
    if (GadgetType(gadget) != GadgetKindCanvas) return nullptr;
    return static_cast<Xo_QCanvas*>(GadgetID(gadget));
}

}  // namespace

int64_t CanvasGadget(int64_t number, int x, int y, int width, int height, int flags) {
    auto* canvas = new Xo_QCanvas(GadgetParent(), width, height, flags & CanvasBorder);
    return RegisterGadget(number, GadgetKindCanvas, x, y, width, height, canvas, canvas, flags,
                          std::make_unique<CanvasFunctions>(canvas));
}

CanvasBuffer* CanvasBufferOfGadget(int64_t gadget) {
    Xo_QCanvas* canvas = CanvasOf(gadget);
    return canvas ? &canvas->Xo_buffer : nullptr;
}

void RedisplayCanvasGadget(int64_t gadget) {
    if (Xo_QCanvas* canvas = CanvasOf(gadget)) canvas->update();
}
