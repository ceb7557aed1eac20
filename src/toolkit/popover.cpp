// Popovers as frameless tool windows of the gadget's window: they float above it, take no focus
// and stay until the program closes them or their window moves.
#include "toolkit/popover.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QScreen>

#include "toolkit/gadget.h"
#include "toolkit/qt_text.h"

namespace {

// The gap between the gadget and the bubble.
constexpr int kEdgeGap = 4;

// Closes the popover when its window moves, is minimised or hidden: a bubble left where the
// window was would point at nothing.
class Xo_PopoverAnchor : public QObject {
public:
    explicit Xo_PopoverAnchor(QFrame* frame) : QObject(frame), frame_(frame) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Hide:
        case QEvent::WindowStateChange: frame_->hide(); break;
        default: break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QFrame* frame_;
};

struct PopoverRecord {
    QPointer<QFrame> frame;
    QPointer<QLabel> label;
    QPointer<QObject> anchor;  // on the window it was last shown over

    PopoverRecord() = default;
    PopoverRecord(const PopoverRecord&) = delete;
    PopoverRecord& operator=(const PopoverRecord&) = delete;
    ~PopoverRecord() { delete frame.data(); }
};

ObjectTable<PopoverRecord>& PopoverTable() {
    static ObjectTable<PopoverRecord> table(4);
    return table;
}

PopoverRecord* FindPopover(int64_t number) {
    PopoverRecord* record = PopoverTable().Get(number);
    return record && record->frame ? record : nullptr;
}

// Each carriage return is a line break of its own, so "\n\r" leaves an empty line between
// paragraphs.
QString PopoverText(TextView text) {
    QString result = ToQString(text);
    result.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return result;
}

QPoint PlaceAtEdge(const QRect& gadget, const QSize& size, int edge) {
    switch (edge) {
    case PopoverEdgeLeft:
        return {gadget.left() - kEdgeGap - size.width(), gadget.center().y() - size.height() / 2};
    case PopoverEdgeTop:
        return {gadget.center().x() - size.width() / 2, gadget.top() - kEdgeGap - size.height()};
    case PopoverEdgeRight:
        return {gadget.right() + 1 + kEdgeGap, gadget.center().y() - size.height() / 2};
    default:
        return {gadget.center().x() - size.width() / 2, gadget.bottom() + 1 + kEdgeGap};
    }
}

int OppositeEdge(int edge) {
    switch (edge) {
    case PopoverEdgeLeft: return PopoverEdgeRight;
    case PopoverEdgeTop: return PopoverEdgeBottom;
    case PopoverEdgeRight: return PopoverEdgeLeft;
    default: return PopoverEdgeTop;
    }
}

// At the preferred edge, or at the opposite one when the screen has no room there; then moved
// inside the screen along the edge.
QPoint PlaceOnScreen(const QRect& gadget, const QSize& size, int edge, const QScreen* screen) {
    QPoint origin = PlaceAtEdge(gadget, size, edge);
    if (!screen) return origin;
    const QRect area = screen->availableGeometry();
    if (!area.contains(QRect(origin, size))) {
        const QPoint flipped = PlaceAtEdge(gadget, size, OppositeEdge(edge));
        const bool horizontal = edge == PopoverEdgeLeft || edge == PopoverEdgeRight;
        const bool fitsFlipped = horizontal
            ? flipped.x() >= area.left() && flipped.x() + size.width() <= area.right() + 1
            : flipped.y() >= area.top() && flipped.y() + size.height() <= area.bottom() + 1;
        const bool fitsPreferred = horizontal
            ? origin.x() >= area.left() && origin.x() + size.width() <= area.right() + 1
            : origin.y() >= area.top() && origin.y() + size.height() <= area.bottom() + 1;
        if (!fitsPreferred && fitsFlipped) origin = flipped;
    }
    origin.setX(std::clamp(origin.x(), area.left(), std::max(area.left(), area.right() + 1 - size.width())));
    origin.setY(std::clamp(origin.y(), area.top(), std::max(area.top(), area.bottom() + 1 - size.height())));
    return origin;
}

}  // namespace

int64_t CreatePopover(int64_t number, TextView text, int width, int height) {
    int64_t handle = number;
    PopoverRecord* record = PopoverTable().Create(handle);
    if (!record) return 0;
    auto* frame = new QFrame(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
    frame->setObjectName(QStringLiteral("Xo_popover"));
    frame->setAttribute(Qt::WA_ShowWithoutActivating);
    frame->setFrameStyle(QFrame::Box | QFrame::Plain);
    frame->setFixedSize(std::max(1, width), std::max(1, height));
    auto* label = new QLabel(frame);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(20, 10, std::max(1, width - 40), std::max(1, height - 20));
    label->setText(PopoverText(text));
    record->frame = frame;
    record->label = label;
    return number == AnyNumber ? handle : reinterpret_cast<intptr_t>(frame);
}

bool IsPopover(int64_t popover) { return FindPopover(popover) != nullptr; }

void ShowPopover(int64_t popover, int64_t gadget, int edge) {
    PopoverRecord* record = FindPopover(popover);
    QWidget* view = GadgetID(gadget);
    if (!record || !view) return;
    QFrame* frame = record->frame;
    // A tool window of the gadget's window stays above it and goes with it.
    if (frame->parentWidget() != view->window()) {
        frame->setParent(view->window(), frame->windowFlags());
        // Shown over another window, it no longer follows the one before.
        delete record->anchor.data();
        record->anchor = new Xo_PopoverAnchor(frame);
        view->window()->installEventFilter(record->anchor);
    }
    const QRect area(view->mapToGlobal(QPoint(0, 0)), view->size());
    frame->move(PlaceOnScreen(area, frame->size(), edge, view->screen()));
    frame->show();
    frame->raise();
}

void ClosePopover(int64_t popover) {
    if (PopoverRecord* record = FindPopover(popover)) record->frame->hide();
}

bool IsPopoverShown(int64_t popover) {
    PopoverRecord* record = FindPopover(popover);
    return record && record->frame->isVisible();
}

void FreePopover(int64_t popover) {
    if (PopoverTable().Get(popover)) PopoverTable().Free(popover);
}

QWidget* PopoverID(int64_t popover) {
    PopoverRecord* record = FindPopover(popover);
    return record ? record->frame.data() : nullptr;
}
