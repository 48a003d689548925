// SPDX-License-Identifier: MIT
#pragma once

#include "models/common/lcd/LcdLook.h"

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QString>
#include <QStringList>

class QPainter;

// Drawing of LCD characters and pictures with QPainter, so that no LCD font has
// to be installed. Everything is drawn as filled or stroked vector paths in
// logical pixels, which keeps the look crisp at any device pixel ratio.
namespace LcdGlyphs {

inline constexpr QRgb ink = 0xFF000000;

// Seven-segment pattern of a character: bits 0..6 are the segments a (top),
// b (top right), c (bottom right), d (bottom), e (bottom left), f (top left) and
// g (middle). "0"-"9" and "A"-"F" (either case) as the meter shows them, "@" as
// an L (so "0@" reads OL), "-" as the middle bar. -1 for any other character.
int segmentMask(QChar c);

// The cell a digit-font character of this character height occupies inside its
// element box: from the cap line to the baseline, almost the box's full width.
QRectF digitCell(const QRectF &box, int size);

// Fills the segments of mask in cell, slanted slightly to the right like an LCD.
void drawSegments(QPainter &painter, const QRectF &cell, int mask);

// Draws an element's text inside its box (the element rectangle in the painter's
// coordinates) in the element's font role.
void drawText(
    QPainter &painter, const LcdElementLook &look, const QRectF &box, const QString &text);

void drawPicture(QPainter &painter, LcdPicture picture, const QRectF &box);

// Bold (or regular) Arial at a character height in pixels, Liberation Sans where
// Arial is missing.
QFont wordFont(int size, bool bold);

// The families that give Arial, or its metric twin Liberation Sans where Arial
// is missing: "Arial" first, "Liberation Sans" after it. Where Arial is
// missing and Liberation Sans is installed, Liberation Sans alone: the font is
// the same, and Qt does not first ask fontconfig for every stand-in for Arial
// (about 1.4 million instructions per style, before the window's first text).
QStringList arialFamilies();

} // namespace LcdGlyphs
