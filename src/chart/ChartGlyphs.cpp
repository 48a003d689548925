// SPDX-License-Identifier: MIT
#include "chart/ChartGlyphs.h"

#include "widgets/PaintedIcon.h"

#include <QPainter>
#include <QPainterPath>

namespace {

const QColor ink(20, 50, 140);
const QColor red(210, 30, 30);

void triangle(QPainter &p, double tipX, double baseX, double middleY, double halfHeight)
{
    QPainterPath path;
    path.moveTo(tipX, middleY);
    path.lineTo(baseX, middleY - halfHeight);
    path.lineTo(baseX, middleY + halfHeight);
    path.closeSubpath();
    p.fillPath(path, ink);
}

// Four arrows along the diagonals, pointing away from the centre (outward) or to it.
void cornerArrows(QPainter &p, double s, bool outward)
{
    const double c = s / 2;
    const double inner = s * 0.14;
    const double outer = s * 0.42;
    const double head = s * 0.2;
    p.setPen(QPen(ink, std::max(1.5, s / 12), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (const QPointF dir : { QPointF(-1, -1), QPointF(1, -1), QPointF(1, 1), QPointF(-1, 1) }) {
        const QPointF from(c + dir.x() * inner, c + dir.y() * inner);
        const QPointF to(c + dir.x() * outer, c + dir.y() * outer);
        p.drawLine(from, to);
        const QPointF tip = outward ? to : from;
        const double sx = outward ? -dir.x() : dir.x();
        const double sy = outward ? -dir.y() : dir.y();
        p.drawLine(tip, tip + QPointF(sx * head, 0));
        p.drawLine(tip, tip + QPointF(0, sy * head));
    }
}

} // namespace

void paintChartGlyph(QPainter &p, ChartGlyph glyph, int size, const QRectF &box)
{
    if (size <= 0 || box.isEmpty())
        return;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(box.topLeft());
    p.scale(box.width() / size, box.height() / size);
    const double s = size;
    const double m = s / 2;
    switch (glyph) {
    case ChartGlyph::First:
        p.fillRect(QRectF(s * 0.18, s * 0.2, s * 0.14, s * 0.6), ink);
        triangle(p, s * 0.34, s * 0.8, m, s * 0.3);
        break;
    case ChartGlyph::Previous:
        triangle(p, s * 0.28, s * 0.72, m, s * 0.3);
        break;
    case ChartGlyph::Next:
        triangle(p, s * 0.72, s * 0.28, m, s * 0.3);
        break;
    case ChartGlyph::Last:
        triangle(p, s * 0.66, s * 0.2, m, s * 0.3);
        p.fillRect(QRectF(s * 0.68, s * 0.2, s * 0.14, s * 0.6), ink);
        break;
    case ChartGlyph::Delete: {
        // A small chart sheet with a red cross over it.
        const QRectF sheet(s * 0.1, s * 0.12, s * 0.8, s * 0.76);
        p.setPen(QPen(QColor(90, 90, 90), 1));
        p.setBrush(Qt::white);
        p.drawRect(sheet);
        p.setPen(QPen(QColor(0, 128, 255), 1));
        p.drawPolyline(QPolygonF({ QPointF(s * 0.18, s * 0.7), QPointF(s * 0.38, s * 0.45),
            QPointF(s * 0.58, s * 0.6), QPointF(s * 0.82, s * 0.3) }));
        p.setPen(QPen(red, std::max(2.0, s / 8), Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(s * 0.3, s * 0.3), QPointF(s * 0.7, s * 0.7));
        p.drawLine(QPointF(s * 0.7, s * 0.3), QPointF(s * 0.3, s * 0.7));
        break;
    }
    case ChartGlyph::Save: {
        // A floppy disk: dark body, white label at the bottom, metal shutter at the top.
        const QRectF body(s * 0.1, s * 0.1, s * 0.8, s * 0.8);
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawRoundedRect(body, s * 0.06, s * 0.06);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(s * 0.22, s * 0.5, s * 0.56, s * 0.34));
        p.setBrush(QColor(200, 200, 210));
        p.drawRect(QRectF(s * 0.3, s * 0.1, s * 0.4, s * 0.28));
        p.setBrush(ink);
        p.drawRect(QRectF(s * 0.52, s * 0.14, s * 0.1, s * 0.2));
        break;
    }
    case ChartGlyph::Enlarge:
    case ChartGlyph::Restore:
        p.setPen(QPen(QColor(120, 120, 120), 1));
        p.setBrush(QColor(235, 240, 250));
        p.drawRoundedRect(QRectF(0.5, 0.5, s - 1, s - 1), 3, 3);
        cornerArrows(p, s, glyph == ChartGlyph::Enlarge);
        break;
    }
    p.restore();
}

QIcon chartGlyphIcon(ChartGlyph glyph, int size)
{
    return paintedIcon([glyph, size](QPainter &painter, const QRectF &box) {
        paintChartGlyph(painter, glyph, size, box);
    });
}
