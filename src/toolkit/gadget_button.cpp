// Push buttons and check boxes.
#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>

#include "toolkit/gadget.h"
#include "toolkit/gadget_functions.h"
#include "toolkit/qt_text.h"

namespace {

// The height at which a button keeps the standard rounded push-button look and may be the
// window's default button.
constexpr int RoundedButtonHeight = 25;

class Xo_QPushButton : public QPushButton {
public:
    Xo_QPushButton(const QString& title, QWidget* parent) : QPushButton(title, parent) {}

protected:
    // Return presses the focused button, as Space does; left to Qt, it would press the dialog's
    // default button instead, or nothing outside a dialog.
    void keyPressEvent(QKeyEvent* event) override {
        const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
        if (enter && event->modifiers() == Qt::NoModifier) {
            click();
            return;
        }
        QPushButton::keyPressEvent(event);
    }
};

class Xo_QCheckBox : public QCheckBox {
public:
    Xo_QCheckBox(const QString& title, QWidget* parent) : QCheckBox(title, parent) {}
};

// A button's title, state (toggle buttons) and click are the base behaviour.
class ButtonFunctions : public XoGadgetFunctions {};

class CheckBoxFunctions : public XoGadgetFunctions {
public:
    explicit CheckBoxFunctions(QCheckBox* box) : box_(box) {}

    void SetGadgetState(int64_t state) override {
        if (state == CheckBoxInbetween)
            // A two-state box cannot show "mixed"; it shows the nearest thing, checked.
            box_->setCheckState(box_->isTristate() ? Qt::PartiallyChecked : Qt::Checked);
        else
            box_->setCheckState(state ? Qt::Checked : Qt::Unchecked);
    }

    int64_t GetGadgetState() override {
        switch (box_->checkState()) {
        case Qt::Checked: return CheckBoxChecked;
        case Qt::PartiallyChecked: return CheckBoxInbetween;
        default: return CheckBoxUnchecked;
        }
    }

private:
    QCheckBox* box_;
};

}  // namespace

int64_t ButtonGadget(int64_t number, int x, int y, int width, int height, TextView text, int flags) {
    auto* button = new Xo_QPushButton(ToQTitle(text), GadgetParent());
    if (flags & ButtonToggle) button->setCheckable(true);
    if (flags & ButtonRight)
        button->setStyleSheet(QStringLiteral("text-align: right;"));
    else if (flags & ButtonLeft)
        button->setStyleSheet(QStringLiteral("text-align: left;"));
    button->setAutoDefault(false);
    if ((flags & ButtonDefault) && height == RoundedButtonHeight) button->setDefault(true);
    auto functions = std::make_unique<ButtonFunctions>();
    XoGadgetFunctions* f = functions.get();
    QObject::connect(button, &QPushButton::clicked, button, [f] { f->EventHandler(); });
    return RegisterGadget(number, GadgetKindButton, x, y, width, height, button, button, flags,
                          std::move(functions));
}

int64_t CheckBoxGadget(int64_t number, int x, int y, int width, int height, TextView text, int flags) {
    QWidget* parent = GadgetParent();
    QWidget* container = nullptr;
    Xo_QCheckBox* box = nullptr;
    if (flags & (CheckBoxRight | CheckBoxCenter)) {
        // Qt aligns a check box only through a layout around it.
        container = new QWidget(parent);
        auto* layout = new QHBoxLayout(container);
        layout->setContentsMargins(0, 0, 0, 0);
        box = new Xo_QCheckBox(ToQTitle(text), container);
        layout->addStretch(1);
        layout->addWidget(box);
        if (flags & CheckBoxCenter) layout->addStretch(1);
    } else {
        box = new Xo_QCheckBox(ToQTitle(text), parent);
        container = box;
    }
    if (flags & CheckBoxThreeState) box->setTristate(true);
    auto functions = std::make_unique<CheckBoxFunctions>(box);
    XoGadgetFunctions* f = functions.get();
    QObject::connect(box, &QCheckBox::clicked, box, [f] { f->EventHandler(); });
    return RegisterGadget(number, GadgetKindCheckBox, x, y, width, height, box, container, flags,
                          std::move(functions));
}
