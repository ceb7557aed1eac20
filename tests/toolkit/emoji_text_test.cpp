// Which characters count as emoji, and that every control shows them from the colour emoji font
// while the digits and letters beside them keep the text font.
#include "toolkit/emoji_text.h"

#include <QApplication>
#include <QPainter>
#include <QPaintEvent>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTest>

#include <string>

#include "toolkit/canvas_gadget.h"
#include "toolkit/drawing.h"
#include "toolkit/gadget.h"
#include "toolkit/qt_text.h"
#include "toolkit_fixture.h"

namespace {

// Runs written as "t:<units>" and "e:<units>" for text and emoji.
std::string Describe(const std::vector<EmojiRun>& runs) {
    std::string out;
    for (const EmojiRun& run : runs) out += (run.emoji ? "e:" : "t:") + std::to_string(run.length) + " ";
    return out;
}

TEST(EmojiRuns, EmojiWithWhatAttachesToThemAndNothingElse) {
    const struct { const char16_t* text; const char* runs; } cases[] = {
        {u"\u25B6 Start", "e:1 t:6 "},                     // play sign: shown as emoji beside pause and stop
        {u"12:00 \u26AA", "t:6 e:1 "},                     // digits are text
        {u"\u26A0\uFE0F Streak", "e:2 t:7 "},              // text-default sign asking for emoji
        {u"\u26A0 Streak", "t:8 "},                        // ... and without asking
        {u"\u2713 Select", "t:8 "},                        // a check mark is no emoji
        {u"Status: \U0001F534 stopped", "t:8 e:2 t:8 "},   // outside the BMP
        {u"\U0001F534\U0001F7E2", "e:4 "},                 // neighbours form one run
        {u"1\uFE0F\u20E3 #\uFE0F\u20E3", "e:3 t:1 e:3 "},  // keycaps
        {u"\U0001F44D\U0001F3FD!", "e:4 t:1 "},            // skin tone
        {u"\u00A9 2024 #1 *", "t:11 "},                    // emoji-capable, but text by default
    };
    for (const auto& c : cases) EXPECT_EQ(Describe(SplitEmojiRuns(c.text)), c.runs) << ToQString(c.text).toStdString();
}

// --- Rendering ----------------------------------------------------------------------------------

// What a rendering draws over a background: the box of the pixels that differ from `plain` (a
// rendering of the same control without the text) or, without it, from the colour of the area's
// bottom-right pixel; and how many of them are far from grey (a colour glyph has many, a text
// glyph none).
struct Ink {
    QRect box;
    int colourful = 0;
};

Ink FindInk(const QImage& rendering, const QImage& plain = {}, QRect area = {}) {
    const QImage image = rendering.convertToFormat(QImage::Format_RGB32);
    const QImage background = plain.convertToFormat(QImage::Format_RGB32);
    if (area.isNull()) area = image.rect();
    Ink ink;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = image.pixel(x, y), b = plain.isNull() ? image.pixel(area.bottomRight()) : background.pixel(x, y);
            if (std::abs(qRed(p) - qRed(b)) <= 6 && std::abs(qGreen(p) - qGreen(b)) <= 6 && std::abs(qBlue(p) - qBlue(b)) <= 6)
                continue;
            ink.box |= QRect(x, y, 1, 1);
            ink.colourful += std::max({qRed(p), qGreen(p), qBlue(p)}) - std::min({qRed(p), qGreen(p), qBlue(p)}) > 60;
        }
    return ink;
}

QImage Grab(QWidget* widget) { return widget->grab().toImage(); }

// The emoji drawn directly in the colour emoji font, on the same background.
Ink Reference(const QString& emoji, const QFont& font, QRgb background) {
    QImage image(120, 80, QImage::Format_RGB32);
    image.fill(background);
    {
        QPainter painter(&image);
        painter.setFont(EmojiFont(font));
        painter.drawText(QPointF(20, 50), emoji);
    }
    return FindInk(image);
}

// Empty when the control's emoji is the colour glyph at the reference's size; else what differs.
std::string CompareWithReference(const Ink& shown, const Ink& reference) {
    if (shown.box.isEmpty()) return "nothing drawn";
    if (std::abs(shown.box.width() - reference.box.width()) > 1 || std::abs(shown.box.height() - reference.box.height()) > 1)
        return "size " + std::to_string(shown.box.width()) + "x" + std::to_string(shown.box.height()) + " instead of " +
               std::to_string(reference.box.width()) + "x" + std::to_string(reference.box.height());
    if (shown.colourful < reference.colourful * 3 / 4)
        return std::to_string(shown.colourful) + " coloured pixels of " + std::to_string(reference.colourful);
    return {};
}

class EmojiRenderingTest : public ToolkitTest {
protected:
    void SetUp() override {
        ToolkitTest::SetUp();
        ASSERT_FALSE(EmojiFontFamily().isEmpty()) << "the colour emoji font is installed (fonts-noto-color-emoji)";
        OpenWindow(0, 0, 0, 400, 300, u"Emoji", WindowSystemMenu);
        Settle();
    }
};

// Each way a control draws its text shows the emoji as the emoji font's colour glyph: the style's
// item text (labels, buttons, tooltips), a button with a style sheet of its own (the round help
// button), a list cell, an editor's document and the canvas.
TEST_F(EmojiRenderingTest, EveryWayOfDrawingTextShowsTheEmojiFromTheEmojiFont) {
    const Text emoji = u"\U0001F534";
    const QString shown = ToQString(emoji);
    TextGadget(1, 10, 10, 60, 30, u"");
    ButtonGadget(2, 80, 10, 60, 30, u"");
    ListIconGadget(5, 10, 100, 300, 120, u"Name", 120);
    AddGadgetItem(5, -1, u"");
    EditorGadget(6, 320, 100, 70, 60, EditorReadOnly);
    ButtonGadget(8, 80, 230, 28, 28, u"");
    SetButtonCircularBezel(8);
    const struct { const char* where; QWidget* shows; } controls[] = {
        {"label", GadgetID(1)}, {"button", GadgetID(2)}, {"round button", GadgetID(8)},
        {"list cell", qobject_cast<QTableWidget*>(GadgetID(5))->viewport()},
        {"editor", qobject_cast<QPlainTextEdit*>(GadgetID(6))->viewport()}};
    std::vector<QImage> empty;
    for (const auto& c : controls) empty.push_back(Grab(c.shows));
    for (int64_t gadget : {1, 2, 6, 8}) SetGadgetText(gadget, emoji);
    SetGadgetItemText(5, 0, emoji, 0);
    for (size_t i = 0; i < std::size(controls); ++i) {
        const Ink ink = FindInk(Grab(controls[i].shows), empty[i]);
        // On the control's own background where the emoji is.
        const QRgb background = empty[i].pixel(ink.box.isEmpty() ? QPoint(0, 0) : ink.box.center());
        EXPECT_EQ(CompareWithReference(ink, Reference(shown, controls[i].shows->font(), background)), "")
            << controls[i].where;
    }
    EXPECT_EQ(GetGadgetText(6), emoji) << "the program reads back its own text";

    CanvasGadget(9, 150, 10, 100, 40);
    ASSERT_TRUE(StartDrawing(CanvasOutput(9)));
    Box(0, 0, 100, 40, RGB(255, 255, 255));
    DrawingMode(DrawingModeTransparent);
    DrawText(10, 10, emoji, RGB(0, 0, 0));
    StopDrawing();
    const CanvasBuffer& buffer = *CanvasBufferOfGadget(9);
    QImage canvas(buffer.pixels.data(), buffer.width, buffer.height, QImage::Format_RGBA8888);
    EXPECT_EQ(CompareWithReference(FindInk(canvas.copy()), Reference(shown, QGuiApplication::font(), qRgb(255, 255, 255))),
              "") << "canvas";
}

// A label shows the marks over capitals, which rise above the font's ascent; the canvas measures a
// text with an emoji as it draws it.
TEST_F(EmojiRenderingTest, LabelsShowTheMarksOverCapitalsAndTheCanvasMeasuresAsItDraws) {
    TextGadget(1, 10, 10, 150, 20, u"\u00DCberwachung");
    TextGadget(2, 10, 40, 150, 20, u"Uberwachung");
    const QFontMetrics metrics(GadgetID(1)->font());
    const int marks = metrics.tightBoundingRect(QStringLiteral("Uberwachung")).top() -
                      metrics.tightBoundingRect(QStringLiteral("\u00DCberwachung")).top();
    ASSERT_GT(marks, 1);
    EXPECT_GE(FindInk(Grab(GadgetID(1))).box.height(), FindInk(Grab(GadgetID(2))).box.height() + marks - 1)
        << "the dots of the \"\u00DC\" are cut off";
    // A new text repaints the room above too, or the dots would stay on the screen.
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

    CanvasGadget(5, 10, 130, 150, 30);
    ASSERT_TRUE(StartDrawing(CanvasOutput(5)));
    const double withWidth = DrawText(0, 0, u"12:00 \u26AA", RGB(0, 0, 0));
    const double plainWidth = DrawText(0, 15, u"12:00", RGB(0, 0, 0));
    StopDrawing();
    EXPECT_EQ(withWidth, DrawingTextWidth(u"12:00 \u26AA"));
    EXPECT_GT(withWidth, plainWidth);
}

}  // namespace
