// The plan on its way to the drawing program: one line per operation, numbers in the C locale's
// form whatever the locale of either side, a label's text last on its line.
#include <charconv>
#include <cmath>

#include "presentation/plot_plan.h"

namespace {

constexpr std::string_view Magic = "quolk-plot 1";

void Put(std::string& out, double value) {
    char buffer[32];
    auto r = std::to_chars(buffer, buffer + sizeof buffer, std::round(value * 100) / 100);
    out.append(buffer, r.ptr);
    out += ' ';
}

// Reads whitespace-separated numbers from the front of `rest`.
struct Fields {
    std::string_view rest;
    bool ok{true};

    double Number() {
        while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
        double value = 0;
        auto r = std::from_chars(rest.data(), rest.data() + rest.size(), value);
        if (r.ec != std::errc() || !std::isfinite(value)) ok = false;
        rest.remove_prefix(size_t(r.ptr - rest.data()));
        return value;
    }
    // A count or colour: a whole number within [0, limit].
    uint64_t Whole(double limit) {
        const double value = Number();
        if (value < 0 || value > limit || value != std::floor(value)) ok = false;
        return ok ? uint64_t(value) : 0;
    }
};

bool ReadOp(char kind, Fields& f, PlotPlan& plan) {
    PlotOp op;
    if (kind == 'B') {
        op.kind = PlotOp::Box;
        op.x = f.Number(), op.y = f.Number(), op.w = f.Number(), op.h = f.Number();
        op.colour = uint32_t(f.Whole(0xFFFFFFFFu));
    } else if (kind == 'L') {
        op.kind = PlotOp::Line;
        op.colour = uint32_t(f.Whole(0xFFFFFFFFu));
        op.lineWidth = f.Number();
        op.dashed = f.Whole(1) == 1;
        op.count = f.Whole(1e8);
        op.first = plan.points.size();
        for (size_t i = 0; i < op.count && f.ok; ++i) plan.points.push_back({f.Number(), f.Number()});
    } else if (kind == 'T') {
        op.kind = PlotOp::Label;
        op.x = f.Number(), op.y = f.Number(), op.w = f.Number();
        op.colour = uint32_t(f.Whole(0xFFFFFFFFu));
        op.fontPx = f.Number();
        op.bold = f.Whole(1) == 1;
        op.align = int(f.Whole(2));
        if (!f.rest.empty() && f.rest.front() == ' ') f.rest.remove_prefix(1);
        op.text = std::string(f.rest);
        f.rest = {};
    } else {
        return false;
    }
    plan.ops.push_back(std::move(op));
    return f.ok;
}

}  // namespace

std::string WritePlotPlan(const PlotPlan& plan) {
    std::string out = std::string(Magic) + ' ' + std::to_string(plan.width) + ' ' + std::to_string(plan.height) + '\n';
    for (const PlotOp& op : plan.ops) {
        if (op.kind == PlotOp::Box) {
            out += "B ";
            for (double v : {op.x, op.y, op.w, op.h, double(op.colour)}) Put(out, v);
        } else if (op.kind == PlotOp::Line) {
            out += "L ";
            for (double v : {double(op.colour), op.lineWidth, double(op.dashed), double(op.count)}) Put(out, v);
            for (size_t i = op.first; i < op.first + op.count; ++i) Put(out, plan.points[i].seconds), Put(out, plan.points[i].mb);
        } else {
            out += "T ";
            for (double v : {op.x, op.y, op.w, double(op.colour), op.fontPx, double(op.bold), double(op.align)}) Put(out, v);
            for (char c : op.text) out += c == '\n' || c == '\r' ? ' ' : c;
        }
        if (out.back() == ' ' && op.kind != PlotOp::Label) out.pop_back();
        out += '\n';
    }
    return out;
}

bool ReadPlotPlan(std::string_view text, PlotPlan& plan) {
    plan = PlotPlan{};
    if (text.substr(0, Magic.size()) != Magic) return false;
    size_t lineEnd = text.find('\n');
    Fields head{text.substr(Magic.size(), lineEnd - Magic.size())};
    plan.width = int(head.Whole(20000)), plan.height = int(head.Whole(20000));
    if (!head.ok || plan.width < 1 || plan.height < 1) return false;
    while (lineEnd != std::string_view::npos && lineEnd + 1 < text.size()) {
        const size_t start = lineEnd + 1;
        lineEnd = text.find('\n', start);
        std::string_view line = text.substr(start, lineEnd == std::string_view::npos ? lineEnd : lineEnd - start);
        if (line.size() < 2 || line[1] != ' ') return false;
        Fields f{line.substr(2)};
        if (!ReadOp(line[0], f, plan)) return false;
    }
    return true;
}
