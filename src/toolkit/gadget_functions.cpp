// What every gadget kind shares: events, visibility, geometry, tooltips, and the control's value
// and text for the controls that have them.
#include "toolkit/gadget_functions.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTextDocument>

#include "toolkit/emoji_text.h"
#include "toolkit/event_queue.h"
#include "toolkit/qt_text.h"

void XoGadgetFunctions::Setup(int64_t gadget, int type, QWidget* view, QWidget* container, int flags) {
    Xo_gadget = gadget;
    Xo_type = type;
    Xo_view = view;
    Xo_container = container;
    Xo_flags = flags;
}

void XoGadgetFunctions::SendEvent(int64_t eventType) {
    QueueToolkitEvent(EventCodeGadget, Xo_window, Xo_gadget, eventType);
}

void XoGadgetFunctions::EventHandler() { SendEvent(0); }

void SendFocusEvent(XoGadgetFunctions* functions, const QFocusEvent& event) {
    const Qt::FocusReason reason = event.reason();
    if (!functions || reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) return;
    functions->SendEvent(event.gotFocus() ? EventTypeFocus : EventTypeLostFocus);
}

void XoGadgetFunctions::FreeGadget() {}

void XoGadgetFunctions::ActivateGadget() { Xo_view->setFocus(Qt::OtherFocusReason); }

void XoGadgetFunctions::GadgetToolTip(TextView text) {
    // Qt guesses whether a tooltip is markup; a text that looks like it is shown as written.
    const QString tip = ToQString(text);
    Xo_view->setToolTip(Qt::mightBeRichText(tip) ? EmojiHtml(tip) : tip);
}

void XoGadgetFunctions::HideGadget(int state) {
    if (Xo_container) Xo_container->setVisible(state == 0);
}

void XoGadgetFunctions::DisableGadget(int state) {
    if (Xo_container) Xo_container->setEnabled(state == 0);
}

int64_t XoGadgetFunctions::GadgetX(int) { return Xo_container ? Xo_container->x() : 0; }
int64_t XoGadgetFunctions::GadgetY(int) { return Xo_container ? Xo_container->y() : 0; }
int64_t XoGadgetFunctions::GadgetWidth() { return Xo_container ? Xo_container->width() : 0; }
int64_t XoGadgetFunctions::GadgetHeight() { return Xo_container ? Xo_container->height() : 0; }

void XoGadgetFunctions::ResizeGadget(int x, int y, int width, int height) {
    if (Xo_container) Xo_container->setGeometry(x, y, width, height);
}

int64_t XoGadgetFunctions::AddGadgetItem(int64_t, TextView, const QIcon&, int) { return -1; }
void XoGadgetFunctions::RemoveGadgetItem(int64_t) {}
void XoGadgetFunctions::ClearGadgetItems() {}
int64_t XoGadgetFunctions::CountGadgetItems() { return 0; }
int64_t XoGadgetFunctions::AddGadgetColumn(int64_t, TextView, int) { return -1; }

void XoGadgetFunctions::SetGadgetState(int64_t state) {
    if (auto* button = qobject_cast<QAbstractButton*>(Xo_view))
        button->setChecked(state != 0);
    else if (auto* slider = qobject_cast<QAbstractSlider*>(Xo_view))
        slider->setValue(static_cast<int>(state));
}

int64_t XoGadgetFunctions::GetGadgetState() {
    if (auto* button = qobject_cast<QAbstractButton*>(Xo_view)) return button->isChecked() ? 1 : 0;
    if (auto* slider = qobject_cast<QAbstractSlider*>(Xo_view)) return slider->value();
    return 0;
}

void XoGadgetFunctions::SetGadgetItemState(int64_t, int64_t) {}
int64_t XoGadgetFunctions::GetGadgetItemState(int64_t) { return 0; }

void XoGadgetFunctions::SetGadgetText(TextView text) {
    if (auto* button = qobject_cast<QAbstractButton*>(Xo_view))
        button->setText(ToQTitle(text));
    else if (auto* field = qobject_cast<QLineEdit*>(Xo_view))
        field->setText(ToQString(text));
    else if (auto* label = qobject_cast<QLabel*>(Xo_view))
        label->setText(ToQString(text));
}

Text XoGadgetFunctions::GetGadgetText() {
    if (auto* button = qobject_cast<QAbstractButton*>(Xo_view)) return FromQTitle(button->text());
    if (auto* field = qobject_cast<QLineEdit*>(Xo_view)) return FromQString(field->text());
    if (auto* label = qobject_cast<QLabel*>(Xo_view)) return FromQString(label->text());
    return Text();
}

void XoGadgetFunctions::SetGadgetItemText(int64_t, TextView, int64_t) {}
Text XoGadgetFunctions::GetGadgetItemText(int64_t, int64_t) { return Text(); }
