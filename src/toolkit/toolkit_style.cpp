#include "toolkit/toolkit_style.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOptionViewItem>

#include "toolkit/emoji_text.h"

namespace {

// How strongly a disabled control's emoji show: colour glyphs ignore the disabled text colour.
constexpr qreal DisabledEmojiOpacity = 0.4;

// Rows per band of PaintInBands: below the height at which Qt's raster engine takes threads.
constexpr int BandRows = 32;

// A standard icon made when something first draws it. A menu bar asks for its extension button's
// icon as it is built, and the first icon read from a file has Qt load every image format plugin
// (JPEG, GIF, SVG and the rest) before the main window's first paint, for a button that shows only
// when the bar is too narrow for its menus.
class DeferredStandardIcon : public QIconEngine {
public:
    DeferredStandardIcon(const QProxyStyle& style, QStyle::StandardPixmap which) : style_(style), which_(which) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
        Icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return Icon().pixmap(size, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return Icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        return Icon().availableSizes(mode, state);
    }
    QIconEngine* clone() const override { return new DeferredStandardIcon(style_, which_); }
    QString key() const override { return QStringLiteral("DeferredStandardIcon"); }

private:
    const QIcon& Icon() {
        if (!made_) icon_ = style_.QProxyStyle::standardIcon(which_, nullptr, nullptr), made_ = true;
        return icon_;
    }

    const QProxyStyle& style_;
    const QStyle::StandardPixmap which_;
    QIcon icon_;
    bool made_ = false;
};

// The base style draws each control's text through drawItemText (labels, buttons, check boxes,
// frame titles, tooltips, combo boxes, list headers) and list cells through CE_ItemViewItem; both
// are taken over here when the text holds an emoji, and left to the base style otherwise.
class Xo_QProxyStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    void drawItemText(QPainter* painter, const QRect& rect, int flags, const QPalette& palette, bool enabled,
                      const QString& text, QPalette::ColorRole role) const override {
        if (!HasEmoji(text)) {
            QProxyStyle::drawItemText(painter, rect, flags, palette, enabled, text, role);
            return;
        }
        painter->save();
        if (role != QPalette::NoRole) painter->setPen(QPen(palette.brush(role), painter->pen().widthF()));
        const EmojiTextLayout layout(text, painter->font(), flags, rect.width());
        if (!enabled && proxy()->styleHint(SH_EtchDisabledText)) {
            painter->save();
            painter->setPen(palette.light().color());
            layout.Draw(*painter, QRectF(rect).translated(1, 1), EmojiTextLayout::TextOnly);
            painter->restore();
        }
        layout.Draw(*painter, rect, EmojiTextLayout::Everything, enabled ? 1.0 : DisabledEmojiOpacity);
        painter->restore();
    }

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        const auto* item = qstyleoption_cast<const QStyleOptionViewItem*>(option);
        if (element != CE_ItemViewItem || !item || !HasEmoji(item->text)) {
            QProxyStyle::drawControl(element, option, painter, widget);
            return;
        }
        QStyleOptionViewItem withoutText(*item);
        withoutText.text.clear();
        QProxyStyle::drawControl(element, &withoutText, painter, widget);
        DrawItemViewText(*item, painter, widget);
    }

    QIcon standardIcon(StandardPixmap which, const QStyleOption* option, const QWidget* widget) const override {
        if (which == SP_ToolBarHorizontalExtensionButton || which == SP_ToolBarVerticalExtensionButton)
            return QIcon(new DeferredStandardIcon(*this, which));
        return QProxyStyle::standardIcon(which, option, widget);
    }

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        // A frame's border image is stretched over the whole box.
        if (element == PE_FrameGroupBox && painter && option) {
            PaintInBands(*painter, option->rect,
                         [&] { QProxyStyle::drawPrimitive(element, option, painter, widget); });
            return;
        }
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        // Plain "Yes", "No" and "OK": the stock pixmaps look foreign on this desktop.
        if (hint == SH_DialogButtonBox_ButtonsHaveIcons) return 0;
        // A selectable message is drawn by a text document, past drawItemText and its emoji.
        if (hint == SH_MessageBox_TextInteractionFlags) return Qt::NoTextInteraction;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }

private:
    // The cell's text where the base style would put it, in the colours it would use.
    void DrawItemViewText(const QStyleOptionViewItem& item, QPainter* painter, const QWidget* widget) const {
        const int margin = proxy()->pixelMetric(PM_FocusFrameHMargin, nullptr, widget) + 1;
        const QRect area = proxy()->subElementRect(SE_ItemViewItemText, &item, widget).adjusted(margin, 0, -margin, 0);
        const bool enabled = item.state & State_Enabled;
        const QPalette::ColorGroup group =
            !enabled ? QPalette::Disabled : (item.state & State_Active) ? QPalette::Normal : QPalette::Inactive;
        const QPalette::ColorRole role = (item.state & State_Selected) ? QPalette::HighlightedText : QPalette::Text;
        int flags = static_cast<int>(item.displayAlignment);
        if (item.features & QStyleOptionViewItem::WrapText) flags |= Qt::TextWordWrap;
        painter->save();
        painter->setClipRect(area, Qt::IntersectClip);
        painter->setFont(item.font);
        painter->setPen(item.palette.color(group, role));
        EmojiTextLayout(item.text, item.font, flags, area.width())
            .Draw(*painter, area, EmojiTextLayout::Everything, enabled ? 1.0 : DisabledEmojiOpacity);
        painter->restore();
    }
};

}  // namespace

void PaintInBands(QPainter& painter, const QRect& area, const std::function<void()>& paint) {
    if (area.height() <= BandRows) {
        paint();
        return;
    }
    // The bands cut the whole plane into rows, the first and last reaching out of the area, so that
    // what the painting puts beside or past the area is painted as well, once.
    constexpr int Far = 1 << 20;
    for (int top = area.top(); top <= area.bottom(); top += BandRows) {
        const int from = top == area.top() ? -Far : top;
        const int to = top + BandRows > area.bottom() ? Far : top + BandRows - 1;
        painter.save();
        painter.setClipRect(QRect(QPoint(-Far, from), QPoint(Far, to)), Qt::IntersectClip);
        paint();
        painter.restore();
    }
}

void InstallToolkitStyle() {
    if (dynamic_cast<Xo_QProxyStyle*>(QApplication::style())) return;
    // The proxy wraps a fresh copy of the style the desktop chose; the application owns it.
    QApplication::setStyle(new Xo_QProxyStyle(QApplication::style()->name()));
}
