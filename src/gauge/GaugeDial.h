// SPDX-License-Identifier: MIT
#pragma once

#include "core/MeterModel.h"
#include "gauge/DialLegend.h"
#include "gauge/GaugeScale.h"

#include <QImage>
#include <QList>
#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QSize>
#include <QString>

class QFontMetrics;
class QPainter;

// Geometry of the analog pointer gauge: a circular arc through the two lower
// corners of the panel's inner box (margins 20 × 30), its dots and legends, and
// the needle from a point on the arc towards the circle's far-below centre.
// Pure arithmetic on the panel size; every point is rounded to the nearest
// pixel with ties to even.
class GaugeDial
{
public:
    static constexpr int kMarginX = 20;
    static constexpr int kMarginY = 30;

    explicit GaugeDial(QSize panelSize = QSize(369, 153));

    double width() const { return m_w; } // W: panel width less both side margins
    double height() const { return m_h; } // H: the chord's height
    double radius() const { return m_r; } // R
    double arcAngle() const { return m_a; } // A, degrees
    double startAngle() const { return m_s; } // S, degrees

    // A point at distance r from the centre at fraction t of the arc.
    QPoint pointAt(double r, double t) const;
    // The same point before rounding, for drawing finer than one pixel.
    QPointF exactPointAt(double r, double t) const;
    // Large dot (r = R + 6), legend anchor (r = R + 18), arc dot (r = R + 3).
    QPoint dotPoint(double t) const { return pointAt(m_r + 6, t); }
    QPoint legendAnchor(double t) const { return pointAt(m_r + 18, t); }
    QPoint arcPoint(double t) const { return pointAt(m_r + 3, t); }

    struct Needle
    {
        QPoint tip;
        QPoint base;
        friend bool operator==(const Needle &, const Needle &) = default;
    };
    // The needle for a position on 0 .. 10 * step (not clamped).
    Needle needle(int position, int step) const;

private:
    float angle(double t) const;

    double m_w;
    double m_h;
    double m_r;
    double m_a;
    double m_s;
};

// The legends a model's dial writes for a dial key; empty when it draws none.
QList<DialLegendEntry> dialLegend(MeterModel model, const QString &dialKey);
// The legend steps that carry a large dot, every n-th step; 0 for none.
int largeDotEvery(MeterModel model, const QString &dialKey);

// One legend text of a dial at its place on the gauge surface.
struct PlacedLegend
{
    QString text;
    QRect box; // the text's box, filled white and written into
};

// Where the legends of a scale go on a surface of this size, in the given
// font. Each keeps its designed place (anchor less dx, dy) where the text fits
// there whole: inside the surface, clear of the arc and its dots and of the
// legends placed before it. A legend that does not fit (the ends of the
// dials, whose designed places run over the surface's edge or into the arc)
// moves outwards from the dial's centre, or failing that inwards, to the
// nearest place where it does.
QList<PlacedLegend> layOutDialLegends(const GaugeDial &dial, MeterModel model,
    const GaugeScale &scale, QSize surfaceSize, const QFontMetrics &metrics);

// Draws the dial of a scale on a white image of the gauge surface's size, in
// the 8-point font the surface's text is written in. At a device pixel ratio
// of 1 the arc is its row of dots on whole pixels; at a higher ratio the image
// has that many pixels per surface pixel and the arc, the dots and the legends
// are drawn at that resolution, smooth instead of an enlarged bitmap.
QImage drawDial(const GaugeDial &dial, MeterModel model, const GaugeScale &scale, QSize surfaceSize,
    qreal devicePixelRatio = 1);
// The arc's row of dots (pen 4) and every dotEvery-th step's large dot (pen
// 2), each an aliased ellipse in a 2 × 2 box on whole pixels, as the dial is
// drawn at a device pixel ratio of 1.
void drawDotsOnPixels(QPainter &p, const GaugeDial &dial, int step, int dotEvery);
// Draws a needle (black, 3 pixels wide) onto an image of the dial, at the
// image's device pixel ratio.
void drawNeedle(QImage &image, const GaugeDial::Needle &needle);
// Draws a needle with a painter set up for the dial's surface.
void drawNeedle(QPainter &painter, const GaugeDial::Needle &needle);
