// SPDX-License-Identifier: MIT
#pragma once

#include "core/MeterModel.h"
#include "gauge/DialLegend.h"
#include "gauge/GaugeScale.h"

#include <QImage>
#include <QList>
#include <QPoint>
#include <QSize>
#include <QString>

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

// Draws the dial of a scale on a white image of the gauge surface's size.
QImage drawDial(
    const GaugeDial &dial, MeterModel model, const GaugeScale &scale, QSize surfaceSize);
// Draws a needle (black, 3 pixels wide) onto an image of the dial.
void drawNeedle(QImage &image, const GaugeDial::Needle &needle);
