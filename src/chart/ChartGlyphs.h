// SPDX-License-Identifier: MIT
#pragma once

#include <QIcon>
#include <QRectF>

class QPainter;

// The small pictures of the chart's tool row, drawn in code so that they look
// the same everywhere and need no resource files.
enum class ChartGlyph { Delete, Save, First, Previous, Next, Last, Enlarge, Restore };

// Paints a glyph designed on a `size` × `size` grid (buttons use 14 or 16, the
// enlarge and restore images 25) into box, scaled to fill it.
void paintChartGlyph(QPainter &painter, ChartGlyph glyph, int size, const QRectF &box);
// The glyph as an icon that is drawn afresh at every size and pixel density.
QIcon chartGlyphIcon(ChartGlyph glyph, int size);
