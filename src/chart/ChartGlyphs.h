// SPDX-License-Identifier: MIT
#pragma once

#include <QPixmap>

// The small pictures of the chart's tool row, drawn in code so that they look
// the same everywhere and need no resource files.
enum class ChartGlyph { Delete, Save, First, Previous, Next, Last, Enlarge, Restore };

// A glyph of `size` × `size` logical pixels (buttons use 14 or 16, the enlarge
// and restore images 25).
QPixmap chartGlyph(ChartGlyph glyph, int size);
