#include "app/trend_graph.h"

#include "toolkit/drawing.h"
#include "toolkit/gadget.h"

void DrawTrendGraph(int64_t canvasGadget, const SampleHistory& history, TrendPlan& plan) {
    const int width = int(GadgetWidth(canvasGadget));
    const int height = int(GadgetHeight(canvasGadget));
    if (!StartDrawing(CanvasOutput(canvasGadget))) return;
    PlanTrendGraph(history, width, height, plan, DrawingTextWidth);
    for (const TrendDrawOp& op : plan.ops) {
        switch (op.kind) {
            case TrendDrawOp::SetMode: DrawingMode(op.mode); break;
            case TrendDrawOp::FillBox: Box(op.x1, op.y1, op.x2, op.y2, op.colour); break;
            case TrendDrawOp::DrawLine: LineXY(op.x1, op.y1, op.x2, op.y2, op.colour); break;
            case TrendDrawOp::DrawLabel: DrawText(op.textX, op.textY, plan.texts[op.text], op.colour); break;
        }
    }
    StopDrawing();
}
