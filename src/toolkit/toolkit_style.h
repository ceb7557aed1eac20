// The toolkit's look on top of the desktop's widget style: every control's text is drawn with its
// emoji in the colour emoji font, and dialog buttons carry no stock icons.
#pragma once

#include <functional>

class QPainter;
class QRect;

// Makes the toolkit's style the application's style; InitToolkit calls it once.
void InstallToolkitStyle();

// Calls `paint` once for each band of a few rows of `area`, the painter clipped to the band. Qt's
// raster engine splits a large image or texture fill among a pool of threads, and starting those
// threads costs the window's first paint more than the fill itself; the pixels are the same.
void PaintInBands(QPainter& painter, const QRect& area, const std::function<void()>& paint);
