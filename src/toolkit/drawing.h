// Immediate-mode drawing into a canvas gadget: open a context on the canvas's output, paint boxes,
// lines and text, then stop, which schedules the canvas for redisplay. One context at a time;
// drawing calls made while none is open do nothing.
#pragma once

#include <cstdint>

#include "runtime/text.h"
#include "toolkit/canvas_raster.h"

// What `CanvasOutput` hands to `StartDrawing`: the canvas gadget, or none (gadget -1).
struct DrawingTarget {
    int64_t gadget = -1;
};

enum DrawingModeFlag : int { DrawingModeDefault = 0, DrawingModeTransparent = 1 };

// The drawing target of a canvas gadget; gadget -1 when the number names no canvas with a buffer.
DrawingTarget CanvasOutput(int64_t gadget);
// Nonzero when drawing can start; 0 (nothing to stop then) when the target is no canvas or a
// context is already open.
int StartDrawing(DrawingTarget target);
// Ends the drawing and schedules the canvas for redisplay.
void StopDrawing();

// Filled rectangle; a negative width or height extends left or up.
void Box(int x, int y, int width, int height, uint32_t colour);
// Line with both end points included.
void LineXY(int x1, int y1, int x2, int y2, uint32_t colour);
// Text with its top-left corner at (x, y) in the default application font; unless the mode is
// transparent its box is first filled with the back colour (black). Returns x plus the text's
// width (x itself when no context is open).
double DrawText(double x, double y, TextView text, uint32_t colour);
// The width DrawText gives the text, with or without a context: for fitting boxes to texts.
double DrawingTextWidth(TextView text);
// 0 default, 1 transparent text background.
void DrawingMode(int mode);
