// Details of a control's look that the program asks for by name: a placeholder, a smaller size,
// round and rounded bezels, the text alignment, a list without horizontal scroll bar.
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "toolkit/gadget.h"
#include "toolkit/qt_text.h"

void SetStringGadgetPlaceholder(int64_t gadget, TextView text) {
    if (auto* field = qobject_cast<QLineEdit*>(GadgetID(gadget))) field->setPlaceholderText(ToQString(text));
}

void SetGadgetSmallControlSize(int64_t gadget) {
    QWidget* view = GadgetID(gadget);
    if (!view) return;
    // A small control's text is about 85% of the regular size (11 against 13 points).
    QFont font = view->font();
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * 0.85);
    else
        font.setPixelSize(std::max(8, font.pixelSize() * 85 / 100));
    view->setFont(font);
    view->setAttribute(Qt::WA_MacSmallSize);
}

void SetButtonCircularBezel(int64_t gadget) {
    auto* button = qobject_cast<QPushButton*>(GadgetID(gadget));
    if (!button) return;
    const int radius = std::max(1, std::min(button->width(), button->height()) / 2 - 1);
    button->setStyleSheet(QStringLiteral("QPushButton { border: 1px solid palette(dark); border-radius: %1px;"
                                         " margin: 1px; padding: 0px; min-width: 0px;"
                                         " background-color: palette(button); }"
                                         "QPushButton:pressed { background-color: palette(mid); }"
                                         "QPushButton:disabled { color: palette(mid); }")
                              .arg(radius));
}

void SetGadgetRoundedBezel(int64_t gadget) {
    // The spin gadget keeps its native frame: a style sheet would take the look of its arrows.
    auto* field = qobject_cast<QLineEdit*>(GadgetID(gadget));
    if (!field) return;
    const int radius = std::clamp(field->height() / 2 - 1, 2, 12);
    field->setStyleSheet(QStringLiteral("QLineEdit { border: 1px solid palette(mid); border-radius: %1px;"
                                        " padding: 0px 6px; background-color: palette(base); }"
                                        "QLineEdit:focus { border: 1px solid palette(highlight); }")
                             .arg(radius));
}

void SetGadgetTextAlignment(int64_t gadget, int alignment) {
    Qt::Alignment horizontal = Qt::AlignLeft;
    if (alignment == GadgetAlignRight) horizontal = Qt::AlignRight;
    if (alignment == GadgetAlignCenter) horizontal = Qt::AlignHCenter;
    QWidget* view = GadgetID(gadget);
    if (auto* field = qobject_cast<QLineEdit*>(view))
        field->setAlignment(horizontal | Qt::AlignVCenter);
    else if (auto* spin = qobject_cast<QAbstractSpinBox*>(view))
        spin->setAlignment(horizontal | Qt::AlignVCenter);
    else if (auto* label = qobject_cast<QLabel*>(view))
        label->setAlignment(horizontal | Qt::AlignTop);
}

void SetListHorizontalScrollBar(int64_t gadget, int shown) {
    if (GadgetType(gadget) != GadgetKindListIcon) return;
    if (auto* area = qobject_cast<QAbstractScrollArea*>(GadgetID(gadget)))
        area->setHorizontalScrollBarPolicy(shown ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
}
