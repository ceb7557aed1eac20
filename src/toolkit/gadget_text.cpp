// Text fields: the editable string gadget, the text label and the titled frame.
#include <QFocusEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>

#include "toolkit/event_queue.h"
#include "toolkit/gadget.h"
#include "toolkit/gadget_functions.h"
#include "toolkit/qt_text.h"

namespace {

// Reports the field's focus as gadget events.
class Xo_QLineEdit : public QLineEdit {
public:
    Xo_QLineEdit(const QString& text, QWidget* parent) : QLineEdit(text, parent) {}
    XoGadgetFunctions* Xo_functions = nullptr;

protected:
    void focusInEvent(QFocusEvent* event) override {
        QLineEdit::focusInEvent(event);
        SendFocusEvent(Xo_functions, *event);
    }
    void focusOutEvent(QFocusEvent* event) override {
        QLineEdit::focusOutEvent(event);
        SendFocusEvent(Xo_functions, *event);
    }
};

class Xo_QLabel : public QLabel {
public:
    Xo_QLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {}
};

class Xo_QGroupBox : public QGroupBox {
public:
    explicit Xo_QGroupBox(QWidget* parent) : QGroupBox(parent) {}
};

// A label's first line starts at its top edge, where the font's ascent leaves no room for the marks
// over capitals (the dots of "Ü" rise two pixels above it in the desktop's 9-point font) and the
// edge would cut them off: the label keeps that much room above its text.
int RoomAboveCapitalMarks(const QFont& font) {
    const QFontMetrics metrics(font);
    const int top = metrics.tightBoundingRect(QStringLiteral("\u00C0\u00C9\u00CE\u00D5\u00DC\u00C5")).top();
    return std::max(0, -top - metrics.ascent());
}

class StringFunctions : public XoGadgetFunctions {};
// A new text repaints the whole label: the label itself repaints only inside its margins, which
// would keep the marks of the text before in the room above.
class TextFunctions : public XoGadgetFunctions {
public:
    void SetGadgetText(TextView text) override {
        XoGadgetFunctions::SetGadgetText(text);
        Xo_view->update();
    }
};

// A frame without a visible title still keeps the title it was given.
class FrameFunctions : public XoGadgetFunctions {
public:
    FrameFunctions(QGroupBox* box, bool titled) : box_(box), titled_(titled) {}

    void SetGadgetText(TextView text) override {
        title_ = Text(text);
        if (titled_) box_->setTitle(ToQTitle(text));
    }
    Text GetGadgetText() override { return title_; }

private:
    QGroupBox* box_;
    bool titled_;
    Text title_;
};

}  // namespace

int64_t StringGadget(int64_t number, int x, int y, int width, int height, TextView text, int flags) {
    auto* field = new Xo_QLineEdit(ToQString(text), GadgetParent());
    auto functions = std::make_unique<StringFunctions>();
    XoGadgetFunctions* f = functions.get();
    field->Xo_functions = f;
    // textEdited fires for the user's edits only, never for setText.
    QObject::connect(field, &QLineEdit::textEdited, field, [f] { f->SendEvent(EventTypeChange); });
    return RegisterGadget(number, GadgetKindString, x, y, width, height, field, field, flags,
                          std::move(functions));
}

int64_t TextGadget(int64_t number, int x, int y, int width, int height, TextView text, int flags) {
    auto* label = new Xo_QLabel(ToQString(text), GadgetParent());
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    Qt::Alignment alignment = Qt::AlignTop | Qt::AlignLeft;
    if (flags & TextRight) alignment = Qt::AlignTop | Qt::AlignRight;
    if (flags & TextCenter) alignment = Qt::AlignTop | Qt::AlignHCenter;
    label->setAlignment(alignment);
    label->setContentsMargins(0, RoomAboveCapitalMarks(label->font()), 0, 0);
    if (flags & TextBorder) label->setFrameStyle(QFrame::Box | QFrame::Plain);
    return RegisterGadget(number, GadgetKindText, x, y, width, height, label, label, flags,
                          std::make_unique<TextFunctions>());
}

int64_t FrameGadget(int64_t number, int x, int y, int width, int height, TextView text, int flags) {
    auto* box = new Xo_QGroupBox(GadgetParent());
    const int style = flags & FrameFlat;
    if (style == FrameFlat) box->setFlat(true);
    auto functions = std::make_unique<FrameFunctions>(box, style == 0);
    functions->SetGadgetText(text);
    // The frame is decoration: it must not take clicks or focus from the gadgets drawn over it.
    box->setFocusPolicy(Qt::NoFocus);
    return RegisterGadget(number, GadgetKindFrame, x, y, width, height, box, box, flags,
                          std::move(functions));
}
