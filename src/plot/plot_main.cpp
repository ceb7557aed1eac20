// quolk-plot: the drawing program of `quolk --plot FILE.png`, private to Quolk (lib/quolk/quolk-plot).
// It reads a plot's plan on standard input, paints it with Qt's painter offscreen (no display is
// needed) and writes the PNG to standard output, which quolk has opened on the plot's file:
// `quolk-plot png`. (quolk writes an SVG itself.) Status 0 when the picture is written; otherwise 1 and the
// reason as one line on standard error. Every decision about the picture is in the plan.
#include <fontconfig/fontconfig.h>
#include <unistd.h>

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <iterator>
#include <string>

#include "presentation/plot_plan.h"

namespace {

QColor Colour(uint32_t value) {
    return QColor(int(value & 0xFF), int(value >> 8 & 0xFF), int(value >> 16 & 0xFF), int(value >> 24));
}

void PaintLabel(QPainter& painter, const PlotOp& op) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(int(op.fontPx + 0.5));
    font.setBold(op.bold);
    painter.setFont(font);
    painter.setPen(Colour(op.colour));
    const QFontMetricsF metrics(font);
    // A label wider than its room is cut short with an ellipsis rather than drawn over its neighbour.
    const QString text = metrics.elidedText(QString::fromUtf8(op.text.data(), qsizetype(op.text.size())),
                                            Qt::ElideRight, op.w);
    const double width = metrics.horizontalAdvance(text);
    const double x = op.align == 1 ? op.x - width / 2 : op.align == 2 ? op.x - width : op.x;
    painter.drawText(QPointF(x, op.y), text);
}

void Paint(QPainter& painter, const PlotPlan& plan) {
    painter.setRenderHint(QPainter::Antialiasing);
    for (const PlotOp& op : plan.ops) {
        if (op.kind == PlotOp::Box) {
            painter.fillRect(QRectF(op.x, op.y, op.w, op.h), Colour(op.colour));
        } else if (op.kind == PlotOp::Line) {
            QPen pen(Colour(op.colour), op.lineWidth, op.dashed ? Qt::DashLine : Qt::SolidLine, Qt::RoundCap,
                     Qt::RoundJoin);
            painter.setPen(pen);
            painter.setBrush(Qt::NoBrush);
            QPainterPath path(QPointF(plan.points[op.first].seconds, plan.points[op.first].mb));
            for (size_t i = op.first + 1; i < op.first + op.count; ++i)
                path.lineTo(plan.points[i].seconds, plan.points[i].mb);
            painter.drawPath(path);
        } else {
            PaintLabel(painter, op);
        }
    }
}

QByteArray Render(const PlotPlan& plan) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImage image(plan.width, plan.height, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        Paint(painter, plan);
    }
    image.save(&buffer, "PNG");
    return buffer.data();
}

// Fontconfig's whole configuration (some fifty files and every font of the system) costs a plot
// more than its drawing. The plot names DejaVu Sans, which the package depends on, so where that
// font has every character of the plan's texts, fontconfig is given its folder alone, with the
// rendering Debian's configuration gives it (antialiased, slight hinting). Otherwise, or without
// the folder, the system's configuration stays, and with it the fonts other scripts fall back to.
constexpr char DejaVuConfiguration[] = R"(<?xml version="1.0"?>
<fontconfig>
  <dir>/usr/share/fonts/truetype/dejavu</dir>
  <cachedir>/var/cache/fontconfig</cachedir>
  <cachedir prefix="xdg">fontconfig</cachedir>
  <match target="font">
    <edit name="antialias" mode="assign"><bool>true</bool></edit>
    <edit name="hinting" mode="assign"><bool>true</bool></edit>
    <edit name="hintstyle" mode="assign"><const>hintslight</const></edit>
  </match>
</fontconfig>)";

// Whether the configuration's regular DejaVu Sans has every character of the plan's labels.
bool DejaVuCovers(FcConfig* config, const PlotPlan& plan) {
    FcFontSet* fonts = FcConfigGetFonts(config, FcSetSystem);
    FcCharSet* characters = nullptr;
    for (int i = 0; fonts && i < fonts->nfont && !characters; ++i) {
        FcChar8* file = nullptr;
        if (FcPatternGetString(fonts->fonts[i], FC_FILE, 0, &file) == FcResultMatch &&
            std::strstr(reinterpret_cast<const char*>(file), "/DejaVuSans.ttf"))
            FcPatternGetCharSet(fonts->fonts[i], FC_CHARSET, 0, &characters);
    }
    if (!characters) return false;
    for (const PlotOp& op : plan.ops) {
        if (op.kind != PlotOp::Label) continue;
        for (char32_t c : QString::fromUtf8(op.text.data(), qsizetype(op.text.size())).toUcs4())
            if (!FcCharSetHasChar(characters, c)) return false;
    }
    return true;
}

void ConfigureFonts(const PlotPlan& plan) {
    FcConfig* config = FcConfigCreate();
    if (!config) return;
    if (FcConfigParseAndLoadFromMemory(config, reinterpret_cast<const FcChar8*>(DejaVuConfiguration), FcFalse) &&
        FcConfigBuildFonts(config) && DejaVuCovers(config, plan) && FcConfigSetCurrent(config))
        return;  // the current configuration now
    FcConfigDestroy(config);
}

bool WriteAll(const QByteArray& bytes) {
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = write(STDOUT_FILENO, bytes.data() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += n;
    }
    return fsync(STDOUT_FILENO) == 0 || errno == EINVAL || errno == EROFS;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string kind = argc == 2 ? argv[1] : "";
    if (kind != "png") {
        std::fputs("usage: quolk-plot png < plan > picture\n", stderr);
        return 1;
    }
    const std::string text((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
    PlotPlan plan;
    if (!ReadPlotPlan(text, plan)) {
        std::fputs("the plan is not readable\n", stderr);
        return 1;
    }
    // Offscreen: no display, no X server, whatever the environment says.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ConfigureFonts(plan);
    // Qt's own notes (a missing runtime folder and such) are no reason of ours.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QGuiApplication app(argc, argv);
    // The built-in PNG writer is all we need: no image format plugins to look for.
    QCoreApplication::setLibraryPaths({});
    if (!WriteAll(Render(plan))) {
        std::fprintf(stderr, "%s\n", std::strerror(errno));
        return 1;
    }
    return 0;
}
