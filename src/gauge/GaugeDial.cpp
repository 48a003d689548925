// SPDX-License-Identifier: MIT
#include "gauge/GaugeDial.h"

#include "models/ModelDescription.h"

#include <QFont>
#include <QPainter>

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

QImage drawDial(const GaugeDial &dial, MeterModel model, const GaugeScale &scale, QSize surfaceSize)
{
    QImage image(surfaceSize, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    QFont font = p.font();
    font.setPointSize(8);
    p.setFont(font);
    const int step = scale.Step;
    const QList<DialLegendEntry> legend = dialLegend(model, scale.DialKey);
    const int dotEvery = largeDotEvery(model, scale.DialKey);
    const QFontMetrics metrics(font);
    for (int i = 0; step > 0 && i <= step; ++i) {
        const double t = double(i) / step;
        for (const DialLegendEntry &e : legend) {
            if (e.step != i)
                continue;
            const QPoint a = dial.legendAnchor(t);
            const QRect box(QPoint(a.x() - e.dx, a.y() - e.dy), metrics.size(0, e.text));
            p.fillRect(box, Qt::white);
            p.setPen(Qt::black);
            p.drawText(box, Qt::AlignLeft | Qt::AlignTop, e.text);
        }
        if (dotEvery > 0 && i % dotEvery == 0) {
            p.setPen(QPen(Qt::black, 2));
            p.drawEllipse(QRect(dial.dotPoint(t), QSize(2, 2)));
        }
    }
    p.setPen(QPen(Qt::black, 4));
    for (int j = 0; step > 0 && j <= 10 * step; ++j)
        p.drawEllipse(QRect(dial.arcPoint(double(j) / (10 * step)), QSize(2, 2)));
    return image;
}

void drawNeedle(QImage &image, const GaugeDial::Needle &needle)
{
    QPainter p(&image);
    p.setPen(QPen(Qt::black, 3));
    p.drawLine(needle.tip, needle.base);
}
