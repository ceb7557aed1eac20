// Labels and list rows show emoji from the colour emoji font, and a label keeps the marks that rise
// over a capital above the font's ascent, and repaints them away with its next text.
#include "toolkit/emoji_text.h"

#include <QPaintEvent>
#include <QTableWidget>
#include <QTest>

#include "toolkit/gadget.h"
#include "toolkit/qt_text.h"
#include "toolkit_fixture.h"

namespace {

// What a rendering draws over `blank` (the same control without text): the box of the pixels that
// differ and how many of them are far from grey (a colour glyph has many, a text glyph none).
struct Ink {
    QRect box;
    int colourful = 0;
};

Ink FindInk(const QImage& rendering, const QImage& blankRendering) {
    const QImage image = rendering.convertToFormat(QImage::Format_RGB32);
    const QImage blank = blankRendering.convertToFormat(QImage::Format_RGB32);
    Ink ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y), b = blank.pixel(x, y);
            if (std::abs(qRed(p) - qRed(b)) + std::abs(qGreen(p) - qGreen(b)) + std::abs(qBlue(p) - qBlue(b)) <= 18)
                continue;
            ink.box |= QRect(x, y, 1, 1);
            ink.colourful += std::max({qRed(p), qGreen(p), qBlue(p)}) - std::min({qRed(p), qGreen(p), qBlue(p)}) > 60;
        }
    return ink;
}

using EmojiRenderingTest = ToolkitTest;

TEST_F(EmojiRenderingTest, LabelsAndListRowsShowColourEmojiAndTheMarksOverCapitals) {
    ASSERT_FALSE(EmojiFontFamily().isEmpty()) << "the colour emoji font is installed (fonts-noto-color-emoji)";
    OpenWindow(0, 0, 0, 400, 300, u"Emoji", WindowSystemMenu);
    TextGadget(1, 10, 10, 150, 30, u"");
    ListIconGadget(2, 10, 100, 300, 120, u"Name", 120);
    AddGadgetItem(2, -1, u"");
    Settle();
    const auto show = [](int64_t gadget, const char16_t* text) {
        if (gadget == 2) SetGadgetItemText(2, 0, text, 0);
        else SetGadgetText(gadget, text);
        QWidget* shows = gadget == 2 ? qobject_cast<QTableWidget*>(GadgetID(2))->viewport() : GadgetID(gadget);
        return shows->grab().toImage();
    };
    // beside: the same text without the marks, whose ink must be lower by the marks' height.
    const struct { const char* where; int64_t gadget; const char16_t *text, *beside; } rows[] = {
        {"label", 1, u"\U0001F534", nullptr},
        {"list row", 2, u"\U0001F534", nullptr},
        {"label's capital", 1, u"\u00DCberwachung", u"Uberwachung"},
    };
    for (const auto& row : rows) {
        const QImage blank = show(row.gadget, u"");
        const Ink ink = FindInk(show(row.gadget, row.text), blank);
        if (!row.beside) {
            EXPECT_GT(ink.colourful, 20) << row.where << ": not the colour glyph";
            continue;
        }
        const QFontMetrics metrics(GadgetID(row.gadget)->font());
        const int marks = metrics.tightBoundingRect(ToQString(row.beside)).top() -
                          metrics.tightBoundingRect(ToQString(row.text)).top();
        ASSERT_GT(marks, 1);
        EXPECT_GE(ink.box.height(), FindInk(show(row.gadget, row.beside), blank).box.height() + marks - 1)
            << row.where << ": the marks are cut off";
    }
    // A new text repaints the room above the first line too, or the marks would stay on the screen.
    struct PaintedArea : QObject {
        QRegion region;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint) region += static_cast<QPaintEvent*>(event)->region();
            return false;
        }
    } painted;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(WindowID(0)));
    QTest::qWait(30);  // every paint due so far done
    GadgetID(1)->installEventFilter(&painted);
    SetGadgetText(1, u"Pause");
    QTest::qWait(30);
    GadgetID(1)->removeEventFilter(&painted);
    EXPECT_EQ(painted.region.boundingRect(), GadgetID(1)->rect());
}

}  // namespace
