#include "toolkit/emoji_text.h"

#include <QFontDatabase>
#include <QGlyphRun>
#include <QPainter>
#include <QRawFont>
#include <QSyntaxHighlighter>
#include <QTextLine>

#include <unicode/uchar.h>
#include <unicode/utf16.h>

namespace {

constexpr UChar32 VariationText = 0xFE0E;
constexpr UChar32 VariationEmoji = 0xFE0F;
constexpr UChar32 ZeroWidthJoiner = 0x200D;
constexpr UChar32 CombiningKeycap = 0x20E3;

bool Has(UChar32 c, UProperty property) { return u_hasBinaryProperty(c, property) != 0; }

// The play, pause, stop and record family shows as emoji wherever our texts use it: Qt finds
// pause and stop only in the emoji font, and a play sign in the text font beside them looks broken.
bool IsMediaSymbol(UChar32 c) {
    return ((c >= 0x23E9 && c <= 0x23FA) || c == 0x25B6 || c == 0x25C0) && Has(c, UCHAR_EMOJI);
}

// Whether a code point attaches to the emoji before it without starting anything new.
bool Attaches(UChar32 c) {
    return c == VariationEmoji || c == CombiningKeycap || Has(c, UCHAR_EMOJI_MODIFIER) ||
           (c >= 0xE0020 && c <= 0xE007F);
}

struct Reader {
    TextView text;
    size_t at = 0;

    UChar32 Peek(size_t offset = 0) const {
        size_t i = at;
        UChar32 c = 0;
        for (size_t n = 0; n <= offset; ++n) {
            if (i >= text.size()) return -1;
            U16_NEXT(text.data(), i, text.size(), c);
        }
        return c;
    }
    void Skip() {
        UChar32 c = 0;
        if (at < text.size()) U16_NEXT(text.data(), at, text.size(), c);
    }
};

bool StartsEmoji(UChar32 c, UChar32 next) {
    if (next == VariationText) return false;
    if (Has(c, UCHAR_EMOJI_PRESENTATION) || IsMediaSymbol(c)) return true;
    return next == VariationEmoji && Has(c, UCHAR_EMOJI);
}

// Consumes one emoji with everything attached to it; the reader stands on its first code point.
void SkipEmoji(Reader& reader) {
    const bool flag = Has(reader.Peek(), UCHAR_REGIONAL_INDICATOR);
    reader.Skip();
    if (flag && Has(reader.Peek(), UCHAR_REGIONAL_INDICATOR)) reader.Skip();
    for (;;) {
        const UChar32 c = reader.Peek();
        if (c < 0) return;
        if (Attaches(c)) {
            reader.Skip();
        } else if (c == ZeroWidthJoiner && (Has(reader.Peek(1), UCHAR_EXTENDED_PICTOGRAPHIC) ||
                                            Has(reader.Peek(1), UCHAR_EMOJI))) {
            reader.Skip();
            reader.Skip();
        } else {
            return;
        }
    }
}

void AddRun(std::vector<EmojiRun>& runs, size_t start, size_t end, bool emoji) {
    if (end <= start) return;
    if (!runs.empty() && runs.back().emoji == emoji) {
        runs.back().length = end - runs.back().start;
        return;
    }
    runs.push_back(EmojiRun{start, end - start, emoji});
}

TextView ViewOf(const QString& text) {
    return TextView(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<size_t>(text.size()));
}

// "&x" shows "x" (underlined with Qt::TextShowMnemonic), "&&" shows "&".
QString WithoutMnemonics(const QString& text, int* marked) {
    QString shown;
    shown.reserve(text.size());
    *marked = -1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size()) {
            ++i;
            if (text[i] != u'&' && *marked < 0) *marked = static_cast<int>(shown.size());
        }
        shown += text[i];
    }
    return shown;
}

}  // namespace

std::vector<EmojiRun> SplitEmojiRuns(TextView text) {
    std::vector<EmojiRun> runs;
    Reader reader{text};
    while (reader.at < text.size()) {
        const size_t start = reader.at;
        const UChar32 c = reader.Peek(), next = reader.Peek(1);
        if (StartsEmoji(c, next)) {
            SkipEmoji(reader);
            AddRun(runs, start, reader.at, true);
        } else {
            reader.Skip();
            if (next == VariationText) reader.Skip();
            AddRun(runs, start, reader.at, false);
        }
    }
    return runs;
}

bool HasEmoji(TextView text) {
    for (const EmojiRun& run : SplitEmojiRuns(text))
        if (run.emoji) return true;
    return false;
}

bool HasEmoji(const QString& text) {
    // Every emoji lies at or above U+2000 (or is a digit, "#" or "*" with U+FE0F after it).
    for (QChar c : text)
        if (c.unicode() >= 0x2000) return HasEmoji(ViewOf(text));
    return false;
}

QString EmojiFontFamily() {
    static const QString family = [] {
        const QStringList installed = QFontDatabase::families();
        for (const char* candidate : {"Noto Color Emoji", "Twemoji", "JoyPixels", "Apple Color Emoji"}) {
            const QString name = QString::fromLatin1(candidate);
            if (installed.contains(name)) return name;
        }
        return QString();
    }();
    return family;
}

QFont EmojiFont(const QFont& base) {
    QFont font = base;
    const QString family = EmojiFontFamily();
    if (!family.isEmpty()) font.setFamilies({family});
    return font;
}

QString EmojiHtml(const QString& plain) {
    const QString family = EmojiFontFamily();
    QString html = QStringLiteral("<p style=\"white-space:pre-wrap\">");
    for (const EmojiRun& run : SplitEmojiRuns(ViewOf(plain))) {
        QString part = plain.mid(static_cast<qsizetype>(run.start), static_cast<qsizetype>(run.length)).toHtmlEscaped();
        part.replace(QLatin1Char('\n'), QStringLiteral("<br/>"));
        if (run.emoji && !family.isEmpty())
            html += QStringLiteral("<span style=\"font-family:'%1'\">%2</span>").arg(family, part);
        else
            html += part;
    }
    return html + QStringLiteral("</p>");
}

namespace {

// Formats each block's emoji runs as it is laid out; the document's characters are untouched.
class Xo_QEmojiHighlighter : public QSyntaxHighlighter {
public:
    using QSyntaxHighlighter::QSyntaxHighlighter;

protected:
    void highlightBlock(const QString& text) override {
        if (!HasEmoji(text)) return;
        QTextCharFormat emoji;
        emoji.setFontFamilies(QStringList{EmojiFontFamily()});
        for (const EmojiRun& run : SplitEmojiRuns(ViewOf(text)))
            if (run.emoji) setFormat(static_cast<int>(run.start), static_cast<int>(run.length), emoji);
    }
};

}  // namespace

void ShowEmojiInColour(QTextDocument* document) {
    if (document && !EmojiFontFamily().isEmpty()) new Xo_QEmojiHighlighter(document);
}

// --- Layout ------------------------------------------------------------------------------------

EmojiTextLayout::EmojiTextLayout(const QString& text, const QFont& font, int flags, qreal width)
    : flags_(flags) {
    int marked = -1;
    QString shown = (flags & (Qt::TextShowMnemonic | Qt::TextHideMnemonic)) ? WithoutMnemonics(text, &marked) : text;
    shown.replace(QLatin1Char('\n'), QChar::LineSeparator);
    layout_.setText(shown);
    layout_.setFont(font);
    // Draw takes the glyphs of the lines laid out here; without the cache Qt would shape the text
    // again, and each colour emoji's advance costs the decoding of its image.
    layout_.setCacheEnabled(true);
    QList<QTextLayout::FormatRange> formats;
    const QString family = EmojiFontFamily();
    for (const EmojiRun& run : SplitEmojiRuns(ViewOf(shown))) {
        if (!run.emoji || family.isEmpty()) continue;
        QTextLayout::FormatRange range{static_cast<int>(run.start), static_cast<int>(run.length), {}};
        range.format.setFontFamilies(QStringList{family});
        formats.append(range);
    }
    if (marked >= 0 && (flags & Qt::TextShowMnemonic)) {
        QTextLayout::FormatRange range{marked, 1, {}};
        range.format.setFontUnderline(true);
        formats.append(range);
    }
    layout_.setFormats(formats);
    QTextOption option;
    option.setWrapMode((flags & Qt::TextWordWrap)      ? QTextOption::WordWrap
                       : (flags & Qt::TextWrapAnywhere) ? QTextOption::WrapAnywhere
                                                       : QTextOption::ManualWrap);
    layout_.setTextOption(option);
    // Without a width (a canvas) a line is as long as its text.
    const qreal lineWidth = width > 0 ? width : 1.0e6;
    qreal height = 0, widest = 0;
    layout_.beginLayout();
    for (QTextLine line = layout_.createLine(); line.isValid(); line = layout_.createLine()) {
        line.setLineWidth(lineWidth);
        line.setPosition(QPointF(0, height));
        height += line.height();
        widest = std::max(widest, line.naturalTextWidth());
    }
    layout_.endLayout();
    size_ = QSizeF(widest, height);
}

qreal EmojiTextLayout::Ascent() const { return layout_.lineCount() > 0 ? layout_.lineAt(0).ascent() : 0; }

void EmojiTextLayout::Draw(QPainter& painter, const QRectF& rect, Part part, qreal emojiOpacity) const {
    qreal top = rect.top();
    if (flags_ & Qt::AlignBottom) top = rect.bottom() - size_.height();
    if (flags_ & Qt::AlignVCenter) top = rect.top() + (rect.height() - size_.height()) / 2;
    const QString family = EmojiFontFamily();
    for (int i = 0; i < layout_.lineCount(); ++i) {
        const QTextLine line = layout_.lineAt(i);
        const qreal spare = rect.width() - line.naturalTextWidth();
        qreal left = rect.left();
        if (flags_ & Qt::AlignRight) left += spare;
        if (flags_ & Qt::AlignHCenter) left += spare / 2;
        for (const QGlyphRun& run : line.glyphRuns()) {
            const bool emoji = !family.isEmpty() && run.rawFont().familyName() == family;
            if ((part == TextOnly && emoji) || (part == EmojiOnly && !emoji)) continue;
            if (emoji && emojiOpacity < 1.0) {
                painter.save();
                painter.setOpacity(painter.opacity() * emojiOpacity);
                painter.drawGlyphRun(QPointF(left, top), run);
                painter.restore();
            } else {
                painter.drawGlyphRun(QPointF(left, top), run);
            }
        }
    }
}
