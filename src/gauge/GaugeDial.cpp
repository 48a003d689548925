// SPDX-License-Identifier: MIT
#include "gauge/GaugeDial.h"

#include "models/ModelDescription.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// Nearest integer, ties to even (the default floating-point rounding mode).
int rnd(double v)
{
    return static_cast<int>(std::nearbyint(v));
}

} // namespace

GaugeDial::GaugeDial(QSize panelSize)
    : m_w(panelSize.width() - 2 * kMarginX)
    , m_h(panelSize.height() - 2 * kMarginY)
{
    m_r = (4 * m_h * m_h + m_w * m_w) / (8 * m_h);
    // The arc's angle is taken with 3.1415 for pi; the dial's look depends on it.
    m_a = 2 * std::atan((m_w / 2) / (m_r - m_h)) * 180 / 3.1415;
    m_s = (180 - m_a) / 2;
}

float GaugeDial::angle(double t) const
{
    // The angle is held in single precision, as the dial has always been drawn:
    // rounded so, the middle of the arc lies a hair past 90 degrees and its
    // points round to the right-hand pixel of the two.
    return float((m_a * t + m_s) * std::numbers::pi / 180);
}

QPoint GaugeDial::pointAt(double r, double t) const
{
    const float theta = angle(t);
    return QPoint(rnd(m_w / 2 - r * double(std::cos(theta)) + kMarginX),
        rnd(m_r - r * double(std::sin(theta)) + kMarginY));
}

QPointF GaugeDial::exactPointAt(double r, double t) const
{
    const float theta = angle(t);
    return QPointF(m_w / 2 - r * double(std::cos(theta)) + kMarginX,
        m_r - r * double(std::sin(theta)) + kMarginY);
}

GaugeDial::Needle GaugeDial::needle(int position, int step) const
{
    const double t = step != 0 ? double(position) / (10.0 * step) : 0.0;
    const float theta = angle(t);
    const double c = std::cos(theta);
    const double s = std::sin(theta);
    Needle n;
    n.tip = QPoint(rnd(m_w / 2 - m_r * c) + kMarginX, rnd(m_r - m_r * s + 4) + kMarginY);
    // The base is where the line from the centre through the tip meets the
    // horizontal 280 pixels below the chord; where that line is horizontal
    // (sin = 0) it never does, and the base stays level with the centre's side.
    const double reach = s != 0 ? (m_r - m_h - 280) * c / s : 0.0;
    n.base = QPoint(rnd(m_w / 2 - reach) + kMarginX, rnd(280 + m_h) + kMarginY);
    return n;
}

QList<DialLegendEntry> dialLegend(MeterModel model, const QString &dialKey)
{
    const DialLegend *legend = modelDescription(model).dialLegend(dialKey);
    return legend ? legend->entries : QList<DialLegendEntry>();
}

int largeDotEvery(MeterModel model, const QString &dialKey)
{
    const DialLegend *legend = modelDescription(model).dialLegend(dialKey);
    return legend ? legend->largeDotEvery : 0;
}

namespace {

QFont surfaceFont()
{
    QFont font;
    font.setPointSize(8);
    return font;
}

// One dot as an aliased black ellipse in a 2 × 2 box drawn with a pen of a
// given width, drawn once and stamped wherever a dot goes. An aliased shape
// moved by whole pixels covers the same pixels, so the stamps give the pixels
// of drawing every dot, without stroking hundreds of small ellipses (which
// was the largest part of opening a window).
class DotStamp
{
public:
    explicit DotStamp(int penWidth)
        : m_image(2 * Margin + 2, 2 * Margin + 2, QImage::Format_ARGB32_Premultiplied)
    {
        m_image.fill(Qt::transparent);
        QPainter p(&m_image);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(Qt::black, penWidth));
        p.drawEllipse(QRect(QPoint(Margin, Margin), QSize(2, 2)));
    }
    void stamp(QPainter &p, QPoint boxTopLeft) const
    {
        p.drawImage(boxTopLeft - QPoint(Margin, Margin), m_image);
    }

private:
    static constexpr int Margin = 4; // wider than half of any pen used here
    QImage m_image;
};

} // namespace

void drawDotsOnPixels(QPainter &p, const GaugeDial &dial, int step, int dotEvery)
{
    if (step <= 0)
        return;
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    const QTransform &t = p.worldTransform();
    // Stamps land on whole pixels only under a shift by whole pixels; the
    // dial is drawn that way, anything else draws each dot.
    const bool wholePixels = t.type() <= QTransform::TxTranslate && t.dx() == std::trunc(t.dx())
        && t.dy() == std::trunc(t.dy());
    const auto dots = [&](int penWidth, int count, auto pointOf) {
        if (wholePixels) {
            const DotStamp dot(penWidth);
            for (int i = 0; i < count; ++i)
                dot.stamp(p, pointOf(i));
        } else {
            p.setPen(QPen(Qt::black, penWidth));
            for (int i = 0; i < count; ++i)
                p.drawEllipse(QRect(pointOf(i), QSize(2, 2)));
        }
    };
    if (dotEvery > 0) {
        dots(2, step / dotEvery + 1,
            [&](int i) { return dial.dotPoint(double(i * dotEvery) / step); });
    }
    dots(4, 10 * step + 1, [&](int j) { return dial.arcPoint(double(j) / (10 * step)); });
    p.restore();
}

namespace {

// The same shapes finer than a pixel: every dot is a disc (radius 3 for the
// arc, 2 for a large dot) around the centre of its 2 × 2 box, and the arc's
// dots run together into one band along the unrounded curve.
void drawDotsSmooth(QPainter &p, const GaugeDial &dial, int step, int dotEvery)
{
    p.setRenderHint(QPainter::Antialiasing, true);
    const QPointF boxCentre(1, 1);
    QPainterPath arc;
    for (int j = 0; j <= 10 * step; ++j) {
        const QPointF c = dial.exactPointAt(dial.radius() + 3, double(j) / (10 * step)) + boxCentre;
        if (j == 0)
            arc.moveTo(c);
        else
            arc.lineTo(c);
    }
    p.strokePath(arc, QPen(Qt::black, 6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    if (dotEvery > 0) {
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        for (int i = 0; i <= step; i += dotEvery)
            p.drawEllipse(
                dial.exactPointAt(dial.radius() + 6, double(i) / step) + boxCentre, 2.0, 2.0);
    }
}

bool hasInk(const QImage &mask, const QRect &area)
{
    const QRect inside = area & mask.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(mask.constScanLine(y));
        for (int x = inside.left(); x <= inside.right(); ++x) {
            if (qRed(line[x]) < 128)
                return true;
        }
    }
    return false;
}

} // namespace

namespace {

// The arc and its dots on whole pixels, black on a white image of the
// surface's size: what a legend keeps a pixel away from.
QImage dotsOnWhite(
    const GaugeDial &dial, MeterModel model, const GaugeScale &scale, QSize surfaceSize)
{
    QImage image(surfaceSize, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    drawDotsOnPixels(p, dial, scale.Step, largeDotEvery(model, scale.DialKey));
    return image;
}

// layOutDialLegends over a given picture of the dots (dotsOnWhite).
QList<PlacedLegend> layOutLegendsAround(const GaugeDial &dial, MeterModel model,
    const GaugeScale &scale, QSize surfaceSize, const QFontMetrics &metrics, const QImage &mask)
{
    QList<PlacedLegend> placed;
    const int step = scale.Step;
    const QList<DialLegendEntry> legend = dialLegend(model, scale.DialKey);
    if (step <= 0 || legend.isEmpty())
        return placed;
    const QRect surface(QPoint(0, 0), surfaceSize);
    const QPointF centre = dial.exactPointAt(0, 0.5);
    const auto fits = [&](const QRect &box) {
        if (!surface.contains(box) || hasInk(mask, box.adjusted(-1, -1, 1, 1)))
            return false;
        for (const PlacedLegend &other : placed) {
            if (other.box.adjusted(-1, -1, 1, 1).intersects(box))
                return false;
        }
        return true;
    };
    const auto clamped = [&surface](QRect box) {
        box.moveLeft(qBound(surface.left(), box.left(), surface.right() + 1 - box.width()));
        box.moveTop(qBound(surface.top(), box.top(), surface.bottom() + 1 - box.height()));
        return box;
    };
    for (const DialLegendEntry &e : legend) {
        if (e.step < 0 || e.step > step)
            continue;
        const double t = double(e.step) / step;
        const QPoint anchor = dial.legendAnchor(t);
        const QRect designed(QPoint(anchor.x() - e.dx, anchor.y() - e.dy), metrics.size(0, e.text));
        QRect chosen = clamped(designed);
        if (!fits(designed)) {
            // Along the line from the dial's centre through the anchor: the
            // nearest place outwards where the text fits, else inwards.
            const QPointF out = QPointF(anchor) - centre;
            const QPointF unit = out / std::hypot(out.x(), out.y());
            bool found = false;
            for (const int sign : { 1, -1 }) {
                for (int k = 1; k <= 60 && !found; ++k) {
                    const QRect box = clamped(designed.translated((unit * (sign * k)).toPoint()));
                    if (fits(box)) {
                        chosen = box;
                        found = true;
                    }
                }
            }
        }
        placed.append({ e.text, chosen });
    }
    return placed;
}

} // namespace

QList<PlacedLegend> layOutDialLegends(const GaugeDial &dial, MeterModel model,
    const GaugeScale &scale, QSize surfaceSize, const QFontMetrics &metrics)
{
    if (scale.Step <= 0 || dialLegend(model, scale.DialKey).isEmpty())
        return {};
    return layOutLegendsAround(
        dial, model, scale, surfaceSize, metrics, dotsOnWhite(dial, model, scale, surfaceSize));
}

QImage drawDial(const GaugeDial &dial, MeterModel model, const GaugeScale &scale, QSize surfaceSize,
    qreal devicePixelRatio)
{
    const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : 1;
    const int step = scale.Step;
    if (step <= 0) {
        QImage image(surfaceSize * ratio, QImage::Format_RGB32);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::white);
        return image;
    }
    const QFont font = surfaceFont();
    const QFontMetrics metrics(font);
    const int dotEvery = largeDotEvery(model, scale.DialKey);
    // On whole pixels the picture of the dots the legends are laid out around
    // is the dial's own start: the legends keep clear of every dot, so writing
    // them afterwards gives the pixels of writing them first and the dots over
    // them. Only a legend that found no clear place is written before the dots
    // (they are drawn again over it).
    QImage dots = dotsOnWhite(dial, model, scale, surfaceSize);
    const QList<PlacedLegend> legends
        = layOutLegendsAround(dial, model, scale, surfaceSize, metrics, dots);
    const bool dotsFirst = ratio == 1
        && std::none_of(legends.begin(), legends.end(),
            [&dots](const PlacedLegend &legend) { return hasInk(dots, legend.box); });
    QImage image;
    if (dotsFirst) {
        image = std::move(dots);
    } else {
        image = QImage(surfaceSize * ratio, QImage::Format_RGB32);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::white);
    }
    QPainter p(&image);
    p.setFont(font);
    p.setPen(Qt::black);
    for (const PlacedLegend &legend : legends) {
        p.fillRect(legend.box, Qt::white);
        p.drawText(legend.box, Qt::AlignLeft | Qt::AlignTop, legend.text);
    }
    if (!dotsFirst) {
        if (ratio == 1)
            drawDotsOnPixels(p, dial, step, dotEvery);
        else
            drawDotsSmooth(p, dial, step, dotEvery);
    }
    p.end();
    return image;
}

void drawNeedle(QPainter &painter, const GaugeDial::Needle &needle)
{
    painter.save();
    // Smooth where the surface has finer pixels than the needle's points.
    painter.setRenderHint(QPainter::Antialiasing, painter.device()->devicePixelRatio() > 1);
    painter.setPen(QPen(Qt::black, 3));
    painter.drawLine(needle.tip, needle.base);
    painter.restore();
}

void drawNeedle(QImage &image, const GaugeDial::Needle &needle)
{
    QPainter p(&image);
    drawNeedle(p, needle);
}
