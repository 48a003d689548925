// SPDX-License-Identifier: MIT
#include "chart/ChartMouse.h"

#include "chart/ChartZoom.h"
#include "chart/Chtshow.h"

#include <QChart>
#include <QGraphicsLineItem>
#include <QGraphicsSimpleTextItem>
#include <QMouseEvent>
#include <QPen>
#include <QWheelEvent>

#include <cmath>

namespace {

// One notch of a wheel zooms in or out by this much.
constexpr double NotchFactor = 0.8;

} // namespace

ChartMouse::ChartMouse(Chtshow &chart, ChartZoom &zoom, QObject *parent)
    : QObject(parent)
    , m_chart(chart)
    , m_zoom(zoom)
{
    QChart *qchart = chart.chart();
    const QPen pen(QColor(0x40, 0x40, 0x40), 0, Qt::DashLine);
    m_vertical = new QGraphicsLineItem(qchart);
    m_horizontal = new QGraphicsLineItem(qchart);
    m_vertical->setPen(pen);
    m_horizontal->setPen(pen);
    m_label = new QGraphicsSimpleTextItem(qchart);
    m_label->setBrush(Qt::black);
    for (QGraphicsItem *item : { static_cast<QGraphicsItem *>(m_vertical),
             static_cast<QGraphicsItem *>(m_horizontal), static_cast<QGraphicsItem *>(m_label) }) {
        item->setZValue(20);
        item->setVisible(false);
    }
    chart.setMouseTracking(true);
    chart.viewport()->setMouseTracking(true);
    chart.viewport()->installEventFilter(this);
}

QString ChartMouse::pointText(double x) const
{
    if (!std::isfinite(x))
        return QString();
    const qint64 n = qint64(std::llround(x));
    constexpr int series = 1; // the red line: every reading
    if (n < 0 || n >= m_chart.pointCount(series))
        return QString();
    // The chart keeps its values in single precision: 7 digits are all it holds.
    return QStringLiteral("No. %1: %2")
        .arg(n)
        .arg(QString::number(m_chart.valueAt(series, n), 'g', 7));
}

bool ChartMouse::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_chart.viewport())
        return false;
    QChart *qchart = m_chart.chart();
    switch (event->type()) {
    case QEvent::Wheel: {
        auto *wheel = static_cast<QWheelEvent *>(event);
        const double notches = wheel->angleDelta().y() / 120.0;
        if (notches == 0)
            return true;
        const QPointF at = qchart->mapToValue(m_chart.mapToScene(wheel->position().toPoint()));
        const bool timeOnly = wheel->modifiers() & Qt::ShiftModifier;
        const bool valueOnly = wheel->modifiers() & Qt::ControlModifier;
        m_zoom.zoom(std::pow(NotchFactor, notches), at.x(), at.y(), !valueOnly, !timeOnly);
        moveCrossHair(wheel->position());
        return true;
    }
    case QEvent::MouseButtonPress: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        m_dragging = true;
        m_dragFrom = qchart->mapToValue(m_chart.mapToScene(mouse->position().toPoint()));
        return true;
    }
    case QEvent::MouseMove: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (m_dragging) {
            const QPointF now = qchart->mapToValue(m_chart.mapToScene(mouse->position().toPoint()));
            // The point under the pointer stays under it.
            m_zoom.pan(m_dragFrom.x() - now.x(), m_dragFrom.y() - now.y());
        }
        moveCrossHair(mouse->position());
        return true;
    }
    case QEvent::MouseButtonRelease:
        m_dragging = false;
        return false;
    case QEvent::MouseButtonDblClick:
        m_zoom.resetZoom();
        return true;
    case QEvent::Leave:
        m_dragging = false;
        hideCrossHair();
        return false;
    default:
        return false;
    }
}

void ChartMouse::moveCrossHair(const QPointF &position)
{
    QChart *qchart = m_chart.chart();
    const QPointF scene = m_chart.mapToScene(position.toPoint());
    const QPointF inChart = qchart->mapFromScene(scene);
    const QRectF plot = qchart->plotArea();
    if (!plot.contains(inChart)) {
        hideCrossHair();
        return;
    }
    m_vertical->setLine(inChart.x(), plot.top(), inChart.x(), plot.bottom());
    m_horizontal->setLine(plot.left(), inChart.y(), plot.right(), inChart.y());
    const QString text = pointText(qchart->mapToValue(scene).x());
    m_label->setText(text);
    // Beside the pointer, turned to the inside of the plot.
    QPointF at = inChart + QPointF(8, -18);
    const QRectF box = m_label->boundingRect();
    if (at.x() + box.width() > plot.right())
        at.setX(inChart.x() - 8 - box.width());
    if (at.y() < plot.top())
        at.setY(inChart.y() + 6);
    m_label->setPos(at);
    m_vertical->setVisible(true);
    m_horizontal->setVisible(true);
    m_label->setVisible(!text.isEmpty());
}

void ChartMouse::hideCrossHair()
{
    m_vertical->setVisible(false);
    m_horizontal->setVisible(false);
    m_label->setVisible(false);
}
