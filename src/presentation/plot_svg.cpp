#include "presentation/plot_svg.h"

#include <cstdio>

#include "runtime/text.h"

namespace {

void Number(std::string& out, double value) {
    char buffer[32];
    int n = std::snprintf(buffer, sizeof buffer, "%.2f", value);
    while (n > 0 && buffer[n - 1] == '0') --n;  // "12.50" -> "12.5", "12.00" -> "12"
    if (n > 0 && buffer[n - 1] == '.') --n;
    out.append(buffer, size_t(n));
}

void Attribute(std::string& out, const char* name, double value) {
    out += ' ';
    out += name;
    out += "=\"";
    Number(out, value);
    out += '"';
}

// A colour's RGB as "#rrggbb", and its opacity as a second attribute where it is not opaque.
void Paint(std::string& out, const char* name, uint32_t colour) {
    char rgb[16];
    std::snprintf(rgb, sizeof rgb, "#%02x%02x%02x", colour & 0xFF, colour >> 8 & 0xFF, colour >> 16 & 0xFF);
    out += ' ';
    out += name;
    out += "=\"";
    out += rgb;
    out += '"';
    if (colour >> 24 != 0xFF) Attribute(out, (std::string(name) + "-opacity").c_str(), double(colour >> 24) / 255.0);
}

// A label's text as XML character data: valid UTF-8 (a process or file name may hold any byte),
// no control characters, the markup characters escaped; cut short with "…" where it is wider than
// `room`.
std::string LabelText(const std::string& utf8, double fontPx, double room) {
    Text text = TextFromUtf8(utf8);
    std::erase_if(text, [](char16_t c) { return c < 0x20 || c == 0xFFFE || c == 0xFFFF; });
    if (EstimateLabelWidth(TextToUtf8(text), fontPx) > room) {
        while (!text.empty() && EstimateLabelWidth(TextToUtf8(text) + "…", fontPx) > room) text.pop_back();
        if (!text.empty() && text.back() >= 0xD800 && text.back() <= 0xDBFF) text.pop_back();  // half a pair
        text += u"…";
    }
    std::string out;
    for (char c : TextToUtf8(text)) {
        if (c == '&') out += "&amp;";
        else if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else out += c;
    }
    return out;
}

void Polyline(std::string& out, const PlotPlan& plan, const PlotOp& op) {
    out += "<polyline points=\"";
    for (size_t i = op.first; i < op.first + op.count && i < plan.points.size(); ++i) {
        if (i > op.first) out += ' ';
        Number(out, plan.points[i].seconds);
        out += ',';
        Number(out, plan.points[i].mb);
    }
    out += "\" fill=\"none\"";
    Paint(out, "stroke", op.colour);
    Attribute(out, "stroke-width", op.lineWidth);
    out += " stroke-linecap=\"round\" stroke-linejoin=\"round\"";
    if (op.dashed) {  // four widths drawn, two left out, as a painter's dashed pen
        out += " stroke-dasharray=\"";
        Number(out, 4 * op.lineWidth);
        out += ',';
        Number(out, 2 * op.lineWidth);
        out += '"';
    }
    out += "/>\n";
}

void Label(std::string& out, const PlotOp& op) {
    out += "<text";
    Attribute(out, "x", op.x);
    Attribute(out, "y", op.y);
    Attribute(out, "font-size", double(int(op.fontPx + 0.5)));
    Paint(out, "fill", op.colour);
    if (op.bold) out += " font-weight=\"bold\"";
    if (op.align == 1) out += " text-anchor=\"middle\"";
    if (op.align == 2) out += " text-anchor=\"end\"";
    out += '>' + LabelText(op.text, op.fontPx, op.w) + "</text>\n";
}

}  // namespace

std::string PlotSvg(const PlotPlan& plan) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\"";
    Attribute(out, "width", plan.width);
    Attribute(out, "height", plan.height);
    out += " viewBox=\"0 0 " + std::to_string(plan.width) + ' ' + std::to_string(plan.height) + '"';
    out += " font-family=\"DejaVu Sans, Verdana, sans-serif\">\n<title>Quolk</title>\n";
    for (const PlotOp& op : plan.ops) {
        if (op.kind == PlotOp::Box) {
            out += "<rect";
            Attribute(out, "x", op.x);
            Attribute(out, "y", op.y);
            Attribute(out, "width", op.w);
            Attribute(out, "height", op.h);
            Paint(out, "fill", op.colour);
            out += "/>\n";
        } else if (op.kind == PlotOp::Line) {
            Polyline(out, plan, op);
        } else {
            Label(out, op);
        }
    }
    return out + "</svg>\n";
}
