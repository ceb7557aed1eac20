#include "presentation/plot_plan.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

constexpr uint32_t Opaque = 0xFF000000u;
constexpr uint32_t PlotBackground = Opaque | TrendColour(255, 255, 255);
constexpr uint32_t PlotGrid = Opaque | TrendColour(228, 231, 237);
constexpr uint32_t PlotFrame = Opaque | TrendColour(150, 155, 165);
constexpr uint32_t PlotInk = Opaque | TrendColour(40, 44, 52);
constexpr uint32_t PlotMuted = Opaque | TrendColour(95, 100, 112);

constexpr double TitlePx = 17, TickPx = 12, BandPx = 11, LegendPx = 12, CaptionPx = 11;
constexpr double LegendRow = 19, Swatch = 22;

struct Axis {
    double low{}, high{1};
    std::vector<double> ticks;
};

struct Frame {
    double left{}, top{}, right{}, bottom{};
    double Width() const { return right - left; }
    double Height() const { return bottom - top; }
};

double MapX(double seconds, const Axis& x, const Frame& f) {
    return f.left + (seconds - x.low) / (x.high - x.low) * f.Width();
}
double MapY(double mb, const Axis& y, const Frame& f) {
    return f.bottom - (mb - y.low) / (y.high - y.low) * f.Height();
}

void Box(PlotPlan& plan, double x, double y, double w, double h, uint32_t colour) {
    PlotOp op;
    op.kind = PlotOp::Box;
    op.x = x, op.y = y, op.w = w, op.h = h;
    op.colour = colour;
    plan.ops.push_back(op);
}

void Label(PlotPlan& plan, double x, double y, std::string text, double px, uint32_t colour, int align = 0,
           double maxWidth = 0, bool bold = false) {
    PlotOp op;
    op.kind = PlotOp::Label;
    op.x = x, op.y = y, op.w = maxWidth > 0 ? maxWidth : plan.width;
    op.text = std::move(text);
    op.fontPx = px;
    op.colour = colour;
    op.align = align;
    op.bold = bold;
    plan.ops.push_back(op);
}

void Line(PlotPlan& plan, const std::vector<PlotPoint>& pixels, uint32_t colour, double width, bool dashed) {
    if (pixels.size() < 2) return;
    PlotOp op;
    op.kind = PlotOp::Line;
    op.colour = colour;
    op.lineWidth = width;
    op.dashed = dashed;
    op.first = plan.points.size();
    op.count = pixels.size();
    plan.points.insert(plan.points.end(), pixels.begin(), pixels.end());
    plan.ops.push_back(op);
}

// The value axis of the curves on one side (and the levels, on the left): round ticks that
// enclose every value, from zero or just below the lowest value.
Axis ValueAxis(const PlotInput& in, bool right) {
    double low = INFINITY, high = -INFINITY;
    for (const PlotCurve& c : in.curves)
        if (c.rightAxis == right)
            for (const PlotPoint& p : c.points) low = std::min(low, p.mb), high = std::max(high, p.mb);
    if (!right)
        for (const PlotLevel& l : in.levels) low = std::min(low, l.mb), high = std::max(high, l.mb);
    if (!(low <= high)) low = 0, high = 1;
    const double pad = std::max((high - low) * 0.06, 0.5);
    Axis axis;
    axis.ticks = RoundTicks(low >= 0 ? std::max(0.0, low - pad) : low - pad, high + pad, 6);
    axis.low = axis.ticks.front();
    axis.high = axis.ticks.back();
    return axis;
}

// Time from 0 to the longest curve's end, in the unit's round ticks.
Axis TimeAxis(const PlotInput& in, TimeUnit unit) {
    double end = 0;
    for (const PlotCurve& c : in.curves)
        for (const PlotPoint& p : c.points) end = std::max(end, p.seconds);
    Axis axis;
    axis.high = end > 0 ? end : 1;
    for (double t : RoundTicks(0, axis.high / unit.seconds, 8))
        if (t * unit.seconds <= axis.high * 1.0001) axis.ticks.push_back(t);
    return axis;
}

// Pixels of a curve; a curve of many more points than pixels keeps each column's lowest and
// highest point, in their order, so that no spike or dip is lost.
std::vector<PlotPoint> CurvePixels(const PlotCurve& c, const Axis& x, const Axis& y, const Frame& f) {
    std::vector<PlotPoint> out;
    const bool thin = c.points.size() > size_t(4 * f.Width());
    out.reserve(thin ? size_t(2 * f.Width() + 2) : c.points.size());
    for (size_t i = 0; i < c.points.size();) {
        const double px = MapX(c.points[i].seconds, x, f);
        if (!thin) {
            out.push_back({px, MapY(c.points[i++].mb, y, f)});
            continue;
        }
        size_t lo = i, hi = i, j = i;
        for (; j < c.points.size() && std::floor(MapX(c.points[j].seconds, x, f)) == std::floor(px); ++j) {
            if (c.points[j].mb < c.points[lo].mb) lo = j;
            if (c.points[j].mb > c.points[hi].mb) hi = j;
        }
        for (size_t k : {std::min(lo, hi), std::max(lo, hi)})
            out.push_back({MapX(c.points[k].seconds, x, f), MapY(c.points[k].mb, y, f)});
        i = j;
    }
    return out;
}

struct LegendEntry {
    enum Mark { Curve, Dashed, Fill } mark{Curve};
    std::string text;
    uint32_t colour{};
    double width{2};
};

double EntryWidth(const LegendEntry& e) { return Swatch + 6 + EstimateLabelWidth(e.text, LegendPx) + 18; }

// Rows of legend entries across the width: the entries that start each row.
std::vector<size_t> LegendRows(const std::vector<LegendEntry>& entries, double left, double right) {
    std::vector<size_t> starts;
    double x = right;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (x + EntryWidth(entries[i]) > right && x > left) {
            starts.push_back(i);
            x = left;
        }
        x += EntryWidth(entries[i]);
    }
    return starts;
}

void DrawLegend(PlotPlan& plan, const std::vector<LegendEntry>& entries, const std::vector<size_t>& rows,
                double left, double right, double top) {
    for (size_t r = 0; r < rows.size(); ++r) {
        const size_t end = r + 1 < rows.size() ? rows[r + 1] : entries.size();
        double x = left;
        const double y = top + r * LegendRow;
        for (size_t i = rows[r]; i < end; ++i) {
            const LegendEntry& e = entries[i];
            if (e.mark == LegendEntry::Fill) Box(plan, x, y - 9, Swatch, 11, e.colour);
            else Line(plan, {{x, y - 4}, {x + Swatch, y - 4}}, e.colour, e.width, e.mark == LegendEntry::Dashed);
            Label(plan, x + Swatch + 6, y, e.text, LegendPx, PlotInk, 0,
                  std::min(EstimateLabelWidth(e.text, LegendPx) + 12, right - x - Swatch - 6));
            x += EntryWidth(e);
        }
    }
}

void DrawGrid(PlotPlan& plan, const Axis& x, TimeUnit unit, const Axis& y, const Axis* right, const Frame& f) {
    for (double t : y.ticks) {
        const double py = MapY(t, y, f);
        Line(plan, {{f.left, py}, {f.right, py}}, PlotGrid, 1, false);
        Label(plan, f.left - 6, py + 4, TickText(t) + " MB", TickPx, PlotMuted, 2, f.left - 8);
    }
    if (right)
        for (double t : right->ticks)
            Label(plan, f.right + 6, MapY(t, *right, f) + 4, TickText(t) + " MB", TickPx, PlotMuted, 0,
                  plan.width - f.right - 8);
    for (double t : x.ticks) {
        const double px = MapX(t * unit.seconds, x, f);
        Line(plan, {{px, f.top}, {px, f.bottom}}, PlotGrid, 1, false);
        Label(plan, px, f.bottom + 17, TickText(t) + " " + unit.symbol, TickPx, PlotMuted, 1, 80);
    }
}

}  // namespace

std::vector<double> RoundTicks(double low, double high, int target) {
    if (!(high > low)) high = low + 1;
    const double raw = (high - low) / std::max(target, 1);
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    double step = 10 * magnitude;
    for (double m : {1.0, 2.0, 5.0})
        if (m * magnitude >= raw * 0.999) {
            step = m * magnitude;
            break;
        }
    std::vector<double> ticks;
    const double first = std::floor(low / step + 1e-9), last = std::ceil(high / step - 1e-9);
    for (double k = first; k <= last; ++k) ticks.push_back(k * step == 0 ? 0 : k * step);
    if (ticks.size() < 2) ticks.push_back(ticks.back() + step);
    return ticks;
}

TimeUnit TimeAxisUnit(double seconds) {
    if (seconds > 3 * 3600) return {3600, "h"};
    if (seconds > 180) return {60, "min"};
    return {};
}

std::string TickText(double value) {
    char buffer[32];
    for (int decimals = 0; decimals < 6; ++decimals) {
        const double scale = std::pow(10.0, decimals);
        if (std::fabs(value * scale - std::round(value * scale)) < 1e-6 * scale) {
            auto r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
            std::string text(buffer, r.ptr);
            return text == "-0" ? "0" : text;
        }
    }
    auto r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    return std::string(buffer, r.ptr);
}

double EstimateLabelWidth(std::string_view utf8, double fontPx) {
    // Code points at the width of a wide Latin letter in DejaVu Sans, the widest common face.
    const auto points = std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; });
    return double(points) * fontPx * 0.62;
}

PlotPlan PlanPlot(const PlotInput& in) {
    PlotPlan plan;
    plan.width = in.width, plan.height = in.height;
    Box(plan, 0, 0, in.width, in.height, PlotBackground);
    const bool hasRight = std::any_of(in.curves.begin(), in.curves.end(), [](const PlotCurve& c) { return c.rightAxis; });
    Frame f{76, 60, double(in.width) - (hasRight ? 76 : 24), 0};
    Axis x = TimeAxis(in, TimeUnit{});
    const TimeUnit xUnit = TimeAxisUnit(x.high);
    x = TimeAxis(in, xUnit);

    // Bands whose label does not fit get their number in the band and the label in the legend.
    std::vector<LegendEntry> legend;
    for (const PlotCurve& c : in.curves) legend.push_back({LegendEntry::Curve, c.name, c.colour, c.width});
    for (const PlotLevel& l : in.levels) legend.push_back({LegendEntry::Dashed, l.label, l.colour, 1.5});
    // One legend entry per label, with the numbers of its bands: "2, 4, 6 Processing Spike".
    std::vector<int> bandLabel(in.bands.size());  // 2 label, 1 number, 0 nothing in the band
    const size_t firstBandEntry = legend.size();
    for (size_t i = 0; i < in.bands.size(); ++i) {
        const PlotBand& b = in.bands[i];
        const double w = (std::min(b.end, x.high) - std::max(b.start, 0.0)) / (x.high - x.low) * f.Width();
        const std::string number = std::to_string(i + 1);
        bandLabel[i] = EstimateLabelWidth(b.label, BandPx) + 8 <= w ? 2 : EstimateLabelWidth(number, BandPx) + 4 <= w;
        if (bandLabel[i] == 2) continue;
        auto same = std::find_if(legend.begin() + firstBandEntry, legend.end(), [&](const LegendEntry& e) {
            return e.colour == b.colour && e.text.ends_with(" " + b.label);
        });
        if (same == legend.end()) legend.push_back({LegendEntry::Fill, number + " " + b.label, b.colour, 0});
        else same->text.insert(same->text.size() - b.label.size() - 1, ", " + number);
    }

    // The legend takes the rows it needs below the time axis, but never more than leaves the plot
    // half the picture; the entries beyond are counted in the last one.
    std::vector<size_t> rows = LegendRows(legend, f.left, f.right);
    const size_t maxRows = size_t(std::max(1.0, (in.height * 0.5 - 70) / LegendRow));
    if (rows.size() > maxRows) {
        const size_t keep = rows[maxRows] - 1;
        const size_t dropped = legend.size() - keep;
        legend.resize(keep);
        legend.push_back({LegendEntry::Fill, "+" + std::to_string(dropped), 0, 0});
        rows = LegendRows(legend, f.left, f.right);
        if (rows.size() > maxRows) rows.resize(maxRows);
    }
    f.bottom = in.height - 30 - 22 - rows.size() * LegendRow;

    const Axis y = ValueAxis(in, false);
    const Axis right = hasRight ? ValueAxis(in, true) : Axis{};
    for (size_t i = 0; i < in.bands.size(); ++i) {
        const PlotBand& b = in.bands[i];
        const double x0 = MapX(std::max(b.start, 0.0), x, f), x1 = MapX(std::min(b.end, x.high), x, f);
        Box(plan, x0, f.top, std::max(x1 - x0, 1.0), f.Height(), b.colour);
        if (bandLabel[i])
            Label(plan, (x0 + x1) / 2, f.top + 14, bandLabel[i] == 2 ? b.label : std::to_string(i + 1), BandPx,
                  PlotInk, 1, x1 - x0 - 2);
    }
    DrawGrid(plan, x, xUnit, y, hasRight ? &right : nullptr, f);
    for (const PlotLevel& l : in.levels) {
        const double py = MapY(l.mb, y, f);
        Line(plan, {{f.left, py}, {f.right, py}}, l.colour, 1.5, true);
    }
    for (const PlotCurve& c : in.curves)
        Line(plan, CurvePixels(c, x, c.rightAxis ? right : y, f), c.colour, c.width, false);
    Line(plan, {{f.left, f.top}, {f.left, f.bottom}, {f.right, f.bottom}, {f.right, f.top}, {f.left, f.top}},
         PlotFrame, 1, false);
    double nameWidth = 0;
    if (hasRight && !in.rightAxisName.empty()) {
        nameWidth = std::min(EstimateLabelWidth(in.rightAxisName, TickPx), f.Width() / 4);
        Label(plan, f.right, f.top - 10, in.rightAxisName, TickPx, PlotMuted, 2, nameWidth);
    }
    Label(plan, f.left, 26, in.title, TitlePx, PlotInk, 0, f.Width(), true);
    Label(plan, f.left, f.top - 10, in.subtitle, TickPx + 1, PlotMuted, 0, f.Width() - nameWidth - 16);
    DrawLegend(plan, legend, rows, f.left, f.right, f.bottom + 44);
    Label(plan, f.left, in.height - 10, in.caption, CaptionPx, PlotMuted, 0, f.Width());
    return plan;
}
