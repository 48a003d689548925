// SPDX-License-Identifier: MIT
#include "gauge/GaugeDial.h"

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
    const bool km90 = model == MeterModel::Km90;
    struct Offsets
    {
        int dx, dy;
    };
    static constexpr Offsets common[8]
        = { { 5, 7 }, { 8, 6 }, { 10, 5 }, { 10, 4 }, { 3, 4 }, { 5, 5 }, { 8, 5 }, { 10, 6 } };
    auto build = [](int every, const QStringList &texts, Offsets first, Offsets last) {
        QList<DialLegendEntry> out;
        for (int k = 0; k < 9; ++k) {
            const Offsets o = k == 0 ? first : (k == 8 ? last : common[k]);
            out.append({ k * every, texts[k], o.dx, o.dy });
        }
        return out;
    };
    if (dialKey == u"6")
        return build(15, { "-600", "-450", "-300", "-150", "0", "150", "300", "450", "600" },
            { 5, 7 }, { 15, 7 });
    if (dialKey == u"10") {
        if (km90)
            return build(9, { "-360", "-270", "-180", "-90", "0", "90", "180", "270", "360" },
                { 5, 7 }, { 15, 8 });
        return build(
            25, { "-100", "-75", "-50", "-25", "0", "25", "50", "75", "100" }, { 5, 7 }, { 15, 8 });
    }
    if (dialKey == u"7")
        return build(25,
            { "-1", "-0.75", "-0.50", "-0.25", "0", "0.25", km90 ? "0.50" : "0.5", "0.75", "1" },
            { 1, 7 }, km90 ? Offsets { 10, 2 } : Offsets { 10, 8 });
    if (dialKey == u"4" && !km90) {
        // Unequal steps below zero: the legend marks -50, -30, -20, -10.
        return build(10, { "-50", "-30", "-20", "-10", "0", "325", "650", "975", "1300" }, { 5, 7 },
            { 21, 14 });
    }
    return {};
}

int largeDotEvery(MeterModel model, const QString &dialKey)
{
    if (dialKey == u"6")
        return 15;
    if (dialKey == u"10")
        return model == MeterModel::Km90 ? 9 : 25;
    if (dialKey == u"4")
        return 10;
    return 0;
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
