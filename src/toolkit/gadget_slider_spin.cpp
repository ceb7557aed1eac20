// Value gadgets: the track bar (slider) and the spin gadget (a number field with arrows).
#include <QLineEdit>
#include <QSlider>
#include <QSpinBox>
#include <QWheelEvent>

#include <cstdlib>

#include "toolkit/event_queue.h"
#include "toolkit/gadget.h"
#include "toolkit/gadget_functions.h"
#include "toolkit/qt_text.h"

namespace {

class Xo_QSlider : public QSlider {
public:
    Xo_QSlider(Qt::Orientation orientation, QWidget* parent) : QSlider(orientation, parent) {}

protected:
    // One notch of the wheel is one step, as one arrow key is (Qt's default is three, capped at a
    // page).
    void wheelEvent(QWheelEvent* event) override {
        wheelAngle_ += event->angleDelta().y() != 0 ? event->angleDelta().y() : event->angleDelta().x();
        const int notches = wheelAngle_ / QWheelEvent::DefaultDeltasPerStep;
        wheelAngle_ -= notches * QWheelEvent::DefaultDeltasPerStep;
        for (int i = 0; i < std::abs(notches); ++i)
            triggerAction(notches > 0 ? SliderSingleStepAdd : SliderSingleStepSub);
        event->accept();
    }

private:
    int wheelAngle_ = 0;
};

// Without the numeric flag the field is free text and only the arrows change the value.
class Xo_QSpinBox : public QSpinBox {
public:
    Xo_QSpinBox(QWidget* parent, bool numeric) : QSpinBox(parent), Xo_numeric(numeric) {}

    XoGadgetFunctions* Xo_functions = nullptr;
    bool Xo_numeric = true;

    QLineEdit* Field() const { return lineEdit(); }

    void stepBy(int steps) override {
        QSpinBox::stepBy(steps);
        // The arrows, the arrow keys and the wheel are the control's action.
        if (Xo_functions) Xo_functions->EventHandler();
    }

protected:
    QValidator::State validate(QString& text, int& position) const override {
        return Xo_numeric ? QSpinBox::validate(text, position) : QValidator::Acceptable;
    }
    int valueFromText(const QString& text) const override {
        return Xo_numeric ? QSpinBox::valueFromText(text) : value();
    }
};

class TrackBarFunctions : public XoGadgetFunctions {};

class SpinFunctions : public XoGadgetFunctions {
public:
    explicit SpinFunctions(Xo_QSpinBox* spin) : spin_(spin) {}

    // The value, clamped to the range, is also written into the field.
    void SetGadgetState(int64_t state) override {
        const int64_t clamped = std::clamp<int64_t>(state, spin_->minimum(), spin_->maximum());
        spin_->setValue(static_cast<int>(clamped));
        spin_->Field()->setText(QString::number(spin_->value()));
    }
    int64_t GetGadgetState() override { return spin_->value(); }

    void SetGadgetText(TextView text) override { spin_->Field()->setText(ToQString(text)); }
    Text GetGadgetText() override { return FromQString(spin_->Field()->text()); }

private:
    Xo_QSpinBox* spin_;
};

}  // namespace

int64_t TrackBarGadget(int64_t number, int x, int y, int width, int height, int minimum, int maximum,
                       int flags) {
    auto* slider = new Xo_QSlider(height > width ? Qt::Vertical : Qt::Horizontal, GadgetParent());
    slider->setRange(minimum, std::max(minimum, maximum));
    if (flags & TrackBarTicks) {
        slider->setTickPosition(QSlider::TicksBelow);
        slider->setTickInterval(1);
    }
    auto functions = std::make_unique<TrackBarFunctions>();
    XoGadgetFunctions* f = functions.get();
    // Programmatic changes run with events suppressed, so every change that gets through is the
    // user's (dragging, clicking the groove, the keyboard).
    QObject::connect(slider, &QSlider::valueChanged, slider, [f](int) { f->EventHandler(); });
    return RegisterGadget(number, GadgetKindTrackBar, x, y, width, height, slider, slider, flags,
                          std::move(functions));
}

int64_t SpinGadget(int64_t number, int x, int y, int width, int height, int minimum, int maximum,
                   int flags) {
    auto* spin = new Xo_QSpinBox(GadgetParent(), (flags & SpinNumeric) != 0);
    spin->setRange(minimum, std::max(minimum, maximum));
    spin->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    if (flags & SpinReadOnly) spin->Field()->setReadOnly(true);
    auto functions = std::make_unique<SpinFunctions>(spin);
    XoGadgetFunctions* f = functions.get();
    spin->Xo_functions = f;
    QObject::connect(spin->Field(), &QLineEdit::textEdited, spin, [f] { f->SendEvent(EventTypeChange); });
    return RegisterGadget(number, GadgetKindSpin, x, y, width, height, spin, spin, flags,
                          std::move(functions));
}

void SetTrackBarSteps(int64_t gadget, int step, int pageStep) {
    if (GadgetType(gadget) != GadgetKindTrackBar) return;
    if (auto* slider = qobject_cast<QSlider*>(GadgetID(gadget))) {
        slider->setSingleStep(std::max(1, step));
        slider->setPageStep(std::max(1, pageStep));
    }
}
