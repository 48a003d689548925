// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QPointF>

class ChartZoom;
class Chtshow;
class QGraphicsLineItem;
class QGraphicsSimpleTextItem;

// The mouse on the trend chart: the wheel zooms both axes of the page on view
// around the pointer (Shift: the time axis only, Ctrl: the value axis only),
// a drag with the left button pans, a double-click shows the page's own view
// again. A cross-hair follows the pointer over the plot and names the point
// under it: its number and value. The paging commands are not touched.
class ChartMouse : public QObject
{
    Q_OBJECT
public:
    ChartMouse(Chtshow &chart, ChartZoom &zoom, QObject *parent = nullptr);

    // The cross-hair's text for the pointer at x (points) on the chart:
    // "No. 12: 3.25", or empty when no stored point is there.
    QString pointText(double x) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void moveCrossHair(const QPointF &position);
    void hideCrossHair();

    Chtshow &m_chart;
    ChartZoom &m_zoom;
    bool m_dragging = false;
    QPointF m_dragFrom; // in axis units
    QGraphicsLineItem *m_vertical = nullptr;
    QGraphicsLineItem *m_horizontal = nullptr;
    QGraphicsSimpleTextItem *m_label = nullptr;
};
