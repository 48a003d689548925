// SPDX-License-Identifier: MIT
#include "chart/Chtshow.h"

#include <QAreaSeries>
#include <QGraphicsLayout>
#include <QGraphicsRectItem>
#include <QGuiApplication>
#include <QLineSeries>
#include <QScreen>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace {

const QColor silver(192, 192, 192);
const QColor areaFill(255, 255, 128);
const QColor areaEdge(0, 128, 255);
const QColor wallYellow(255, 255, 0);
// About how many label steps each axis is cut into.
constexpr int BottomAxisParts = 6;
constexpr int LeftAxisParts = 5;

// A step of 1, 2 or 5 times a power of ten that cuts `span` into at most about
// `parts` intervals.
double niceStep(double span, int parts)
{
    if (!(span > 0))
        return 1;
    const double raw = span / parts;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double factor : { 1.0, 2.0, 5.0, 10.0 }) {
        if (factor * power >= raw)
            return factor * power;
    }
    return 10 * power;
}

// Sets an axis to run from minimum to maximum with ticks at a nice step. The step
// is changed on the side that keeps the number of ticks small at every moment:
// Qt Charts builds one item per tick at once, so a wide range under a narrow step
// would cost one item per point number.
void applyRange(QValueAxis *axis, double minimum, double maximum, int parts, double smallestStep)
{
    const double step = std::max(niceStep(maximum - minimum, parts), smallestStep);
    // Whole steps get whole labels; a fractional step shows as many decimals as it needs.
    const int decimals = step >= 1 ? 0 : int(std::ceil(-std::log10(step) - 1e-9));
    axis->setLabelFormat(QStringLiteral("%.%1f").arg(decimals));
    if (step >= axis->tickInterval()) {
        axis->setTickInterval(step);
        axis->setRange(minimum, maximum);
    } else {
        axis->setRange(minimum, maximum);
        axis->setTickInterval(step);
    }
}

// The range Qt Charts is given for a hand-set minimum and maximum: equal ends are
// widened by half a unit each way so the one value on view still shows. false:
// the ends are crossed (for a moment, between setting one end and the other);
// the axis keeps its last range.
bool drawableRange(double &minimum, double &maximum)
{
    if (minimum == maximum) {
        minimum -= 0.5;
        maximum += 0.5;
    }
    return minimum < maximum;
}

int frameIntervalMs()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const double rate = screen ? screen->refreshRate() : 60.0;
    return std::max(1, int(1000.0 / std::clamp(rate, 1.0, 1000.0)));
}

} // namespace

Chtshow::Chtshow(QWidget *parent)
    // Given here, the chart belongs to the view; setChart() would orphan a default one.
    : QChartView(new QChart, parent)
    , m_chart(chart())
{
    setObjectName(QStringLiteral("Chtshow"));
    m_chart->legend()->hide();
    m_chart->setTitle(QString());
    m_chart->setBackgroundRoundness(0);
    m_chart->setDropShadowEnabled(false);
    m_chart->layout()->setContentsMargins(0, 0, 0, 0);
    // The tool row lies over the top of the chart; the plot area starts below it.
    m_chart->setMargins(QMargins(2, 28, 10, 2));
    QLinearGradient background(0, 0, 0, 1);
    background.setCoordinateMode(QGradient::ObjectBoundingMode);
    background.setColorAt(0, silver);
    background.setColorAt(1, Qt::white);
    m_chart->setBackgroundBrush(background);
    m_chart->setBackgroundPen(Qt::NoPen);
    m_chart->setPlotAreaBackgroundVisible(true);
    m_chart->setPlotAreaBackgroundBrush(Qt::white);
    m_chart->setPlotAreaBackgroundPen(QPen(silver, 1));
    m_chart->setAnimationOptions(QChart::NoAnimation);

    QFont labelFont = font();
    labelFont.setPixelSize(10);
    const auto setUpAxis = [&](QValueAxis *axis) {
        axis->setTickType(QValueAxis::TicksDynamic);
        axis->setLabelsFont(labelFont);
        axis->setLinePen(QPen(Qt::black, 1));
        axis->setGridLinePen(QPen(silver, 1, Qt::DotLine));
        axis->setMinorGridLineVisible(false);
        axis->setTitleVisible(false);
    };
    m_axisX = new QValueAxis(m_chart);
    setUpAxis(m_axisX);
    m_axisX->setTickAnchor(0);
    applyRange(m_axisX, m_bottomMin, m_bottomMax, BottomAxisParts, 1);
    m_axisY = new QValueAxis(m_chart);
    setUpAxis(m_axisY);
    m_axisY->setMinorTickCount(4);
    m_axisY->setTickAnchor(0);
    applyRange(m_axisY, m_leftMin, m_leftMax, LeftAxisParts, 0);
    m_chart->addAxis(m_axisX, Qt::AlignBottom);
    m_chart->addAxis(m_axisY, Qt::AlignLeft);

    m_areaEdge = new QLineSeries(m_chart);
    m_area = new QAreaSeries(m_areaEdge);
    m_area->setObjectName(QStringLiteral("Series2"));
    m_area->setName(QStringLiteral("Series2"));
    m_area->setBrush(areaFill);
    m_area->setPen(QPen(areaEdge, 1));
    m_area->setPointsVisible(false);
    m_area->setPointLabelsVisible(false);
    m_line = new QLineSeries;
    m_line->setObjectName(QStringLiteral("Series1"));
    m_line->setName(QStringLiteral("Series1"));
    m_line->setPen(QPen(Qt::red, 1));
    m_line->setPointsVisible(false);
    m_line->setPointLabelsVisible(false);
    // Added in series order, so the line is drawn over the area.
    for (QAbstractSeries *series :
        { static_cast<QAbstractSeries *>(m_area), static_cast<QAbstractSeries *>(m_line) }) {
        m_chart->addSeries(series);
        series->attachAxis(m_axisX);
        series->attachAxis(m_axisY);
    }

    // The yellow left wall: a narrow band along the plot area's left edge, under the series.
    m_leftWall = new QGraphicsRectItem(m_chart);
    m_leftWall->setBrush(wallYellow);
    m_leftWall->setPen(Qt::NoPen);
    m_leftWall->setZValue(0.5);
    connect(m_chart, &QChart::plotAreaChanged, this, [this] { placeLeftWall(); });

    setFrameShape(QFrame::NoFrame);
    setRubberBand(QChartView::NoRubberBand);
    setDragMode(QGraphicsView::NoDrag);
    setInteractive(false);
    setRenderHint(QPainter::Antialiasing, false);

    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setInterval(frameIntervalMs());
    connect(&m_refreshTimer, &QTimer::timeout, this, &Chtshow::refreshNow);
}

Chtshow::~Chtshow() = default;

void Chtshow::addValue(int series, double y)
{
    ValueColumn &values = m_values[std::size_t(series)];
    const qint64 x = values.size();
    values.append(y);
    // A point left of the view never shows; one up to one past the right end is drawn.
    if (double(x) <= std::floor(m_bottomMax) + 1 && double(x) >= std::ceil(m_bottomMin) - 1)
        scheduleRefresh();
}

void Chtshow::clearSeries(int series)
{
    m_values[std::size_t(series)].clear();
    scheduleRefresh();
}

qint64 Chtshow::pointCount(int series) const
{
    return m_values[std::size_t(series)].size();
}

qint64 Chtshow::storedValueBytes() const
{
    qint64 bytes = 0;
    for (const ValueColumn &values : m_values)
        bytes += values.storageBytes();
    return bytes;
}

bool Chtshow::isSeriesVisible(int series) const
{
    return m_visible[std::size_t(series)];
}

void Chtshow::setSeriesVisible(int series, bool visible)
{
    if (m_visible[std::size_t(series)] == visible)
        return;
    m_visible[std::size_t(series)] = visible;
    scheduleRefresh();
}

void Chtshow::setBottomAxisRange(double minimum, double maximum)
{
    m_bottomMin = minimum;
    m_bottomMax = maximum;
    scheduleRefresh();
}

void Chtshow::setLeftAxisMinimum(double minimum)
{
    m_leftMin = minimum;
    scheduleRefresh();
}

void Chtshow::setLeftAxisMaximum(double maximum)
{
    m_leftMax = maximum;
    scheduleRefresh();
}

qint64 Chtshow::scrollBottomAxis(double offset, qint64 times)
{
    qint64 largest = -1;
    for (const ValueColumn &values : m_values)
        largest = std::max(largest, values.size() - 1);
    const qint64 steps = limitedScrollSteps(
        m_bottomMin, m_bottomMax, largest >= 0, 0, double(largest), offset, times);
    if (steps > 0) {
        m_bottomMin += double(steps) * offset;
        m_bottomMax += double(steps) * offset;
        scheduleRefresh();
    }
    return steps;
}

void Chtshow::scheduleRefresh()
{
    if (!m_refreshTimer.isActive())
        m_refreshTimer.start();
}

void Chtshow::refreshNow()
{
    m_refreshTimer.stop();
    double bottomMin = m_bottomMin, bottomMax = m_bottomMax;
    if (drawableRange(bottomMin, bottomMax)
        && (m_axisX->min() != bottomMin || m_axisX->max() != bottomMax))
        applyRange(m_axisX, bottomMin, bottomMax, BottomAxisParts, 1);
    double leftMin = m_leftMin, leftMax = m_leftMax;
    if (drawableRange(leftMin, leftMax) && (m_axisY->min() != leftMin || m_axisY->max() != leftMax))
        applyRange(m_axisY, leftMin, leftMax, LeftAxisParts, 0);
    for (int series = 0; series < SeriesCount; ++series) {
        // A hidden series keeps whatever it had; it is brought up to date when shown.
        if (m_visible[std::size_t(series)])
            qtSeries(series)->replace(shownPoints(m_values[std::size_t(series)]));
    }
    m_area->setVisible(m_visible[0]);
    m_line->setVisible(m_visible[1]);
}

void Chtshow::resizeEvent(QResizeEvent *event)
{
    if (refreshPending())
        refreshNow();
    QChartView::resizeEvent(event);
}

void Chtshow::showEvent(QShowEvent *event)
{
    if (refreshPending())
        refreshNow();
    QChartView::showEvent(event);
}

QImage Chtshow::picture()
{
    refreshNow();
    QImage image = grab().toImage();
    if (image.size() != size())
        image = image.scaled(size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}

void Chtshow::placeLeftWall()
{
    const QRectF plot = m_chart->plotArea();
    m_leftWall->setRect(QRectF(plot.left(), plot.top(), 4, plot.height()));
}

QList<QPointF> Chtshow::shownPoints(const ValueColumn &values) const
{
    QList<QPointF> points;
    if (values.size() == 0)
        return points;
    const qint64 first = std::max<qint64>(0, qint64(std::ceil(m_bottomMin)) - 1);
    const qint64 last = std::min<qint64>(values.size() - 1, qint64(std::floor(m_bottomMax)) + 1);
    if (last < first)
        return points;
    const qint64 count = last - first + 1;
    if (count <= MaxPointsShown) {
        points.reserve(count);
        for (qint64 x = first; x <= last; ++x)
            points.append(QPointF(double(x), values.at(x)));
        return points;
    }
    // The first and the last point stay, so the line still reaches both ends.
    const qint64 slices = (MaxPointsShown - 2) / 2;
    points.reserve(MaxPointsShown);
    points.append(QPointF(double(first), values.at(first)));
    for (qint64 slice = 0; slice < slices; ++slice) {
        const qint64 begin = first + 1 + (count - 2) * slice / slices;
        const qint64 end = first + 1 + (count - 2) * (slice + 1) / slices;
        if (begin == end)
            continue;
        qint64 low = begin;
        qint64 high = begin;
        for (qint64 x = begin + 1; x < end; ++x) {
            const double y = values.at(x);
            if (y < values.at(low))
                low = x;
            if (y > values.at(high))
                high = x;
        }
        const qint64 a = std::min(low, high);
        const qint64 b = std::max(low, high);
        points.append(QPointF(double(a), values.at(a)));
        if (b != a)
            points.append(QPointF(double(b), values.at(b)));
    }
    points.append(QPointF(double(last), values.at(last)));
    return points;
}

QXYSeries *Chtshow::qtSeries(int series) const
{
    return series == 0 ? static_cast<QXYSeries *>(m_areaEdge) : static_cast<QXYSeries *>(m_line);
}
