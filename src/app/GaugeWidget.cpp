// SPDX-License-Identifier: MIT
#include "app/GaugeWidget.h"

#include <QPainter>

namespace {
constexpr int kBevel = 2; // KD1 fills the panel inside its bevel
}

GaugeWidget::GaugeWidget(MeterModel model, QSize panelSize, QWidget *parent)
    : QFrame(parent)
    , m_model(model)
    , m_dial(panelSize)
{
    setObjectName(QStringLiteral("KD"));
    setFixedSize(panelSize);
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(kBevel);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
    m_dialImage = QImage(panelSize - QSize(2 * kBevel, 2 * kBevel), QImage::Format_RGB32);
    m_dialImage.fill(Qt::white);
}

void GaugeWidget::KDsetup(const GaugeScale &scale)
{
    m_scale = scale;
    drawDialImage();
    update();
}

void GaugeWidget::drawDialImage()
{
    const QSize surface = size() - QSize(2 * kBevel, 2 * kBevel);
    // A drawing under way ends first (a future of std::async waits for it).
    m_dialDrawing = std::async(std::launch::async,
        [dial = m_dial, model = m_model, scale = m_scale, surface, ratio = devicePixelRatioF()] {
            return drawDial(dial, model, scale, surface, ratio);
        });
}

const QImage &GaugeWidget::dialImage() const
{
    if (m_dialDrawing.valid())
        m_dialImage = m_dialDrawing.get();
    return m_dialImage;
}

void GaugeWidget::KDrun(int position)
{
    m_position = position;
    m_needle = m_dial.needle(position, m_scale.Step);
    m_needleDrawn = true;
    update();
}

QImage GaugeWidget::picture() const
{
    QImage image = dialImage();
    if (m_needleDrawn)
        drawNeedle(image, m_needle);
    return image;
}

void GaugeWidget::paintEvent(QPaintEvent *event)
{
    if (dialImage().devicePixelRatio() != devicePixelRatioF())
        drawDialImage();
    QFrame::paintEvent(event);
    QPainter p(this);
    const QImage &dial = dialImage();
    p.drawImage(QPoint(kBevel, kBevel), dial);
    if (m_needleDrawn) {
        p.translate(kBevel, kBevel);
        p.setClipRect(QRect(QPoint(0, 0), dial.deviceIndependentSize().toSize()));
        drawNeedle(p, m_needle);
    }
}
