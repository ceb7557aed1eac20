// Text with emoji: the program's texts mix words and digits with emoji ("▶ Start", "⚪ Status: OK",
// "Buy Me ☕"). Qt takes each glyph from the first font that has it, and the text font has black
// and white outlines of several emoji, so only the emoji themselves may be given the colour emoji
// font: giving it the whole text would turn the digits into its wide keycap digits. The toolkit's
// style draws every control's text through EmojiTextLayout; this header is also the place that
// decides what an emoji is.
#pragma once

#include <cstddef>
#include <vector>

#include <QFont>
#include <QString>
#include <QTextLayout>

#include "runtime/text.h"

class QPainter;
class QTextDocument;

struct EmojiRun {
    size_t start = 0;   // in UTF-16 units
    size_t length = 0;
    bool emoji = false;
};

// The text cut into alternating runs of plain text and emoji; empty for an empty text. An emoji
// is a code point shown as emoji by default, one followed by U+FE0F, or one of the media-control
// symbols (play, pause, stop, record and their kin), with what attaches to it: U+FE0F, the keycap
// mark, skin-tone modifiers, tags, and further emoji joined by U+200D. U+FE0E asks for the text
// form and gets it.
std::vector<EmojiRun> SplitEmojiRuns(TextView text);
bool HasEmoji(TextView text);
bool HasEmoji(const QString& text);

// The colour emoji font's family, "" when the machine does not have it (emoji then keep whatever
// font Qt finds for them).
QString EmojiFontFamily();
// `base` with the colour emoji font as its only family, at the same size.
QFont EmojiFont(const QFont& base);

// Keeps the emoji of an editable or read-only document in the colour emoji font, as it changes.
// The document's text itself stays plain.
void ShowEmojiInColour(QTextDocument* document);

// The text as rich text that shows exactly the given characters: everything escaped, emoji in
// spans of the emoji font, line feeds kept. For the places where Qt wants markup.
QString EmojiHtml(const QString& plain);

// A text laid out in lines with its emoji in the colour emoji font. `flags` are those of
// QPainter::drawText: horizontal and vertical alignment, Qt::TextWordWrap, and mnemonics (with
// Qt::TextShowMnemonic the marked letter is underlined, "&&" shows one "&").
class EmojiTextLayout {
public:
    enum Part { Everything, TextOnly, EmojiOnly };

    EmojiTextLayout(const QString& text, const QFont& font, int flags, qreal width);

    // Size of the laid-out lines: the widest line's natural width and the lines' total height.
    QSizeF NaturalSize() const { return size_; }
    // The first line's ascent, for placing a baseline.
    qreal Ascent() const;
    // Draws the lines into `rect` (aligned in it as the flags say) with the painter's pen. Emoji
    // are drawn with `emojiOpacity`, so that a disabled control's emoji look disabled too.
    void Draw(QPainter& painter, const QRectF& rect, Part part = Everything, qreal emojiOpacity = 1.0) const;

private:
    QTextLayout layout_;
    int flags_ = 0;
    QSizeF size_;
};
