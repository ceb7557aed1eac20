// What the drawing functions need of a canvas gadget.
#pragma once

#include <cstdint>

struct CanvasBuffer;

// The pixel buffer of a canvas gadget, or nullptr when the number names no canvas.
CanvasBuffer* CanvasBufferOfGadget(int64_t gadget);
// Schedules the canvas for redisplay after drawing.
void RedisplayCanvasGadget(int64_t gadget);
