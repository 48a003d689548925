// SPDX-License-Identifier: MIT
#include "gauge/GaugeDial.h"
#include "models/ModelDescription.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QTest>

namespace {

const QSize kSurface(365, 149);

// The rows of the arc's inner edge, seen from below, across the middle of
// the dial: per device column the lowest dark pixel above the chord.
QList<int> innerEdge(const QImage &image)
{
    QList<int> edge;
    const int from = image.width() / 4;
    const int to = image.width() * 3 / 4;
    for (int x = from; x < to; ++x) {
        int y = image.height() * 2 / 3; // under the arc, above the needle's reach
        while (y > 0 && qGray(image.pixel(x, y)) > 128)
            --y;
        edge << y;
    }
    return edge;
}

// How much of an edge steps in whole pairs of device pixels, as an image
// enlarged from one device pixel per surface pixel does everywhere: the share
// of column pairs with the same row and of rows on one parity.
struct Stairs
{
    double pairedColumns;
    double oneParity;
};

Stairs stairsOf(const QList<int> &edge)
{
    int paired = 0;
    int odd = 0;
    for (int i = 0; i + 1 < edge.size(); i += 2)
        paired += edge[i] == edge[i + 1] ? 1 : 0;
    for (int y : edge)
        odd += y % 2;
    const double pairs = edge.size() / 2;
    return { paired / pairs, std::max(odd, int(edge.size()) - odd) / double(edge.size()) };
}

} // namespace

Q_DECLARE_METATYPE(MeterModel)

class TestGaugeDial : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void shape();
    void needle_data();
    void needle();
    void dialPoints_data();
    void dialPoints();
    void legends_data();
    void legends();
    void renderedPixels();
    void legendsWholeAndClear_data();
    void legendsWholeAndClear();
    void legendsUnderTheDots_data() { legendsWholeAndClear_data(); }
    void legendsUnderTheDots();
    void smoothAtHigherDensity_data();
    void smoothAtHigherDensity();
    void dotsOnPixelsAsEachDotDrawn_data();
    void dotsOnPixelsAsEachDotDrawn();
};

void TestGaugeDial::shape()
{
    const GaugeDial dial;
    QCOMPARE(dial.width(), 329.0);
    QCOMPARE(dial.height(), 93.0);
    QVERIFY(qAbs(dial.radius() - 191.985) < 0.001);
    QVERIFY(qAbs(dial.arcAngle() - 117.93) < 0.01);
    QVERIFY(qAbs(dial.startAngle() - 31.035) < 0.01);
}

void TestGaugeDial::needle_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("step");
    QTest::addColumn<QPoint>("tip");
    QTest::addColumn<QPoint>("base");

    QTest::newRow("left end") << 0 << 120 << QPoint(20, 127) << QPoint(485, 403);
    QTest::newRow("right end") << 1200 << 120 << QPoint(349, 127) << QPoint(-116, 403);
    QTest::newRow("middle") << 600 << 120 << QPoint(185, 34) << QPoint(184, 403);
    QTest::newRow("723 of 1200") << 723 << 120 << QPoint(225, 38) << QPoint(146, 403);
    QTest::newRow("quarter of power factor") << 500 << 200 << QPoint(90, 59) << QPoint(-1, -1);
    QTest::newRow("past the right end") << 1599 << 120 << QPoint(375, 253) << QPoint(-1, -1);
}

void TestGaugeDial::needle()
{
    QFETCH(int, position);
    QFETCH(int, step);
    QFETCH(QPoint, tip);
    QFETCH(QPoint, base);
    const GaugeDial::Needle n = GaugeDial().needle(position, step);
    QCOMPARE(n.tip, tip);
    if (base != QPoint(-1, -1))
        QCOMPARE(n.base, base);
    QCOMPARE(n.base.y(), 403);
}

void TestGaugeDial::dialPoints_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<double>("t");
    QTest::addColumn<QPoint>("expected");

    QTest::newRow("dot first") << "dot" << 0.0 << QPoint(15, 120);
    QTest::newRow("dot middle") << "dot" << 0.5 << QPoint(185, 24);
    QTest::newRow("dot last") << "dot" << 1.0 << QPoint(354, 120);
    QTest::newRow("anchor first") << "anchor" << 0.0 << QPoint(5, 114);
    QTest::newRow("anchor middle") << "anchor" << 0.5 << QPoint(185, 12);
    QTest::newRow("anchor last") << "anchor" << 1.0 << QPoint(364, 114);
    QTest::newRow("arc first") << "arc" << 0.0 << QPoint(17, 121);
    QTest::newRow("arc middle") << "arc" << 0.5 << QPoint(185, 27);
    QTest::newRow("arc last") << "arc" << 1.0 << QPoint(352, 121);
}

void TestGaugeDial::dialPoints()
{
    QFETCH(QString, kind);
    QFETCH(double, t);
    QFETCH(QPoint, expected);
    const GaugeDial dial;
    const QPoint p = kind == u"dot" ? dial.dotPoint(t)
        : kind == u"anchor"         ? dial.legendAnchor(t)
                                    : dial.arcPoint(t);
    QCOMPARE(p, expected);
}

void TestGaugeDial::legends_data()
{
    QTest::addColumn<MeterModel>("model");
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("entries");
    QTest::addColumn<int>("lastStep");
    QTest::addColumn<QString>("seventh");
    QTest::addColumn<QPoint>("lastOffset");
    QTest::addColumn<int>("dotEvery");

    QTest::newRow("6 km90") << MeterModel::Km90 << "6" << 9 << 120 << "300" << QPoint(15, 7) << 15;
    QTest::newRow("10 km90") << MeterModel::Km90 << "10" << 9 << 72 << "180" << QPoint(15, 8) << 9;
    QTest::newRow("10 km50") << MeterModel::Km50_60 << "10" << 9 << 200 << "50" << QPoint(15, 8)
                             << 25;
    QTest::newRow("7 km90") << MeterModel::Km90 << "7" << 9 << 200 << "0.50" << QPoint(10, 2) << 0;
    QTest::newRow("7 km50") << MeterModel::Km50_60 << "7" << 9 << 200 << "0.5" << QPoint(10, 8)
                            << 0;
    QTest::newRow("4 km50") << MeterModel::Km50_60 << "4" << 9 << 80 << "650" << QPoint(21, 14)
                            << 10;
    QTest::newRow("4 km90 has none") << MeterModel::Km90 << "4" << 0 << 0 << "" << QPoint() << 10;
}

void TestGaugeDial::legends()
{
    QFETCH(MeterModel, model);
    QFETCH(QString, key);
    QFETCH(int, entries);
    QFETCH(int, lastStep);
    QFETCH(QString, seventh);
    QFETCH(QPoint, lastOffset);
    QFETCH(int, dotEvery);
    const QList<DialLegendEntry> legend = dialLegend(model, key);
    QCOMPARE(legend.size(), entries);
    QCOMPARE(largeDotEvery(model, key), dotEvery);
    if (entries == 0)
        return;
    QCOMPARE(legend.first().step, 0);
    QCOMPARE(legend.last().step, lastStep);
    QCOMPARE(legend.at(6).text, seventh);
    QCOMPARE(QPoint(legend.last().dx, legend.last().dy), lastOffset);
}

void TestGaugeDial::renderedPixels()
{
    const GaugeDial dial;
    const GaugeScale scale; // start-up scale "6"
    QImage image = drawDial(dial, MeterModel::Km90, scale, QSize(365, 149));
    QCOMPARE(image.size(), QSize(365, 149));
    // The thick arc covers its own dots; the area under it stays white.
    QCOMPARE(QColor(image.pixel(185, 28)), QColor(Qt::black));
    QCOMPARE(QColor(image.pixel(18, 122)), QColor(Qt::black));
    QCOMPARE(QColor(image.pixel(185, 90)), QColor(Qt::white));
    QCOMPARE(QColor(image.pixel(1, 1)), QColor(Qt::white));

    drawNeedle(image, dial.needle(600, 120));
    QCOMPARE(QColor(image.pixel(185, 60)), QColor(Qt::black));
    QCOMPARE(QColor(image.pixel(185, 145)), QColor(Qt::black));
    QCOMPARE(QColor(image.pixel(150, 90)), QColor(Qt::white));
}

void TestGaugeDial::legendsWholeAndClear_data()
{
    QTest::addColumn<MeterModel>("model");
    QTest::addColumn<int>("scaleIndex");
    for (const ModelDescription *m : meterModels()) {
        for (int i = 0; i < 4; ++i) {
            QTest::addRow("%s scale %d", qPrintable(m->name), i) << m->model << i;
        }
    }
}

void TestGaugeDial::legendsWholeAndClear()
{
    QFETCH(MeterModel, model);
    QFETCH(int, scaleIndex);
    GaugeScale scale;
    SelectGaugeScale(scale, *modelDescription(model).gaugeScales, scaleIndex);
    QFont font = QGuiApplication::font();
    font.setPointSize(8);
    const QFontMetrics metrics(font);
    const GaugeDial dial;
    const QList<PlacedLegend> placed = layOutDialLegends(dial, model, scale, kSurface, metrics);
    const QList<DialLegendEntry> designed = dialLegend(model, scale.DialKey);
    QCOMPARE(placed.size(), designed.size());
    if (designed.isEmpty())
        return; // KM90 writes no legend on dial "4"

    // What the arc and the large dots cover: each dot's 2 x 2 box with half
    // its pen around it.
    QList<QRect> ink;
    for (int j = 0; j <= 10 * scale.Step; ++j)
        ink << QRect(dial.arcPoint(double(j) / (10 * scale.Step)), QSize(2, 2))
                   .adjusted(-2, -2, 2, 2);
    const int dotEvery = largeDotEvery(model, scale.DialKey);
    for (int i = 0; dotEvery > 0 && i <= scale.Step; i += dotEvery)
        ink << QRect(dial.dotPoint(double(i) / scale.Step), QSize(2, 2)).adjusted(-1, -1, 1, 1);

    for (int n = 0; n < placed.size(); ++n) {
        const PlacedLegend &legend = placed[n];
        QCOMPARE(legend.text, designed[n].text);
        // Whole: inside the gauge's surface and as large as its text.
        QVERIFY2(QRect(QPoint(0, 0), kSurface).contains(legend.box), qPrintable(legend.text));
        QVERIFY(legend.box.width() >= metrics.horizontalAdvance(legend.text));
        for (const QRect &dot : ink)
            QVERIFY2(!dot.intersects(legend.box), qPrintable(legend.text));
        for (int m = 0; m < n; ++m)
            QVERIFY2(!placed[m].box.intersects(legend.box), qPrintable(legend.text));
    }
    // The legend in the middle keeps its designed place.
    const DialLegendEntry &middle = designed[designed.size() / 2];
    const QPoint anchor = dial.legendAnchor(double(middle.step) / scale.Step);
    QCOMPARE(placed[designed.size() / 2].box.topLeft(), anchor - QPoint(middle.dx, middle.dy));
}

void TestGaugeDial::legendsUnderTheDots()
{
    // The dial as its parts are meant to stack: the legends' white boxes and
    // texts on the white surface, the arc and its dots over them. drawDial
    // may draw in another order only where that gives the same pixels.
    QFETCH(MeterModel, model);
    QFETCH(int, scaleIndex);
    GaugeScale scale;
    SelectGaugeScale(scale, *modelDescription(model).gaugeScales, scaleIndex);
    QFont font = QGuiApplication::font();
    font.setPointSize(8);
    const GaugeDial dial;
    QImage expected(kSurface, QImage::Format_RGB32);
    expected.fill(Qt::white);
    {
        QPainter p(&expected);
        p.setFont(font);
        p.setPen(Qt::black);
        for (const PlacedLegend &legend :
            layOutDialLegends(dial, model, scale, kSurface, QFontMetrics(font))) {
            p.fillRect(legend.box, Qt::white);
            p.drawText(legend.box, Qt::AlignLeft | Qt::AlignTop, legend.text);
        }
        drawDotsOnPixels(p, dial, scale.Step, largeDotEvery(model, scale.DialKey));
    }
    QCOMPARE(drawDial(dial, model, scale, kSurface), expected);
}

void TestGaugeDial::smoothAtHigherDensity_data()
{
    QTest::addColumn<qreal>("ratio");
    QTest::newRow("1.5") << 1.5;
    QTest::newRow("2") << 2.0;
}

void TestGaugeDial::smoothAtHigherDensity()
{
    QFETCH(qreal, ratio);
    const GaugeDial dial;
    const GaugeScale scale;
    const QImage fine = drawDial(dial, MeterModel::Km90, scale, kSurface, ratio);
    QCOMPARE(fine.devicePixelRatio(), ratio);
    QCOMPARE(fine.size(), kSurface * ratio);
    QCOMPARE(fine.deviceIndependentSize().toSize(), kSurface);

    // The arc's edge steps like a curve drawn at this density ...
    const Stairs smooth = stairsOf(innerEdge(fine));
    QVERIFY2(smooth.pairedColumns < 0.9, qPrintable(QString::number(smooth.pairedColumns)));
    QVERIFY2(smooth.oneParity < 0.9, qPrintable(QString::number(smooth.oneParity)));
    // ... where the dial of one pixel per surface pixel, enlarged, steps in
    // whole pairs (the measure sees it).
    if (ratio == 2) {
        const QImage coarse
            = drawDial(dial, MeterModel::Km90, scale, kSurface)
                  .scaled(fine.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
        const Stairs stairs = stairsOf(innerEdge(coarse));
        QCOMPARE(stairs.pairedColumns, 1.0);
        QCOMPARE(stairs.oneParity, 1.0);
    }
    // The arc lies where it lies at one pixel per surface pixel.
    QCOMPARE(QColor(fine.pixel(QPointF(185.5 * ratio, 29 * ratio).toPoint())), QColor(Qt::black));
    QCOMPARE(QColor(fine.pixel(QPointF(185.5 * ratio, 90 * ratio).toPoint())), QColor(Qt::white));
}

void TestGaugeDial::dotsOnPixelsAsEachDotDrawn_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("dotEvery");
    QTest::addColumn<QPointF>("shift");
    QTest::newRow("120 steps, large dot every 10") << 120 << 10 << QPointF();
    QTest::newRow("60 steps, every 5") << 60 << 5 << QPointF();
    QTest::newRow("50 steps, no large dots") << 50 << 0 << QPointF();
    QTest::newRow("7 steps, every 3") << 7 << 3 << QPointF();
    QTest::newRow("shifted by whole pixels") << 120 << 10 << QPointF(3, -2);
    QTest::newRow("shifted by half a pixel") << 120 << 10 << QPointF(0.5, 0.5);
}

void TestGaugeDial::dotsOnPixelsAsEachDotDrawn()
{
    QFETCH(int, step);
    QFETCH(int, dotEvery);
    QFETCH(QPointF, shift);
    const GaugeDial dial;
    QImage expected(365, 149, QImage::Format_RGB32);
    expected.fill(Qt::white);
    const QImage blank = expected;
    QImage drawn = expected;
    {
        // Every dot drawn as an ellipse of its own.
        QPainter p(&expected);
        p.translate(shift);
        if (dotEvery > 0) {
            p.setPen(QPen(Qt::black, 2));
            for (int i = 0; i <= step; i += dotEvery)
                p.drawEllipse(QRect(dial.dotPoint(double(i) / step), QSize(2, 2)));
        }
        p.setPen(QPen(Qt::black, 4));
        for (int j = 0; j <= 10 * step; ++j)
            p.drawEllipse(QRect(dial.arcPoint(double(j) / (10 * step)), QSize(2, 2)));
    }
    {
        QPainter p(&drawn);
        p.translate(shift);
        drawDotsOnPixels(p, dial, step, dotEvery);
    }
    QVERIFY(drawn != blank);
    QCOMPARE(drawn, expected);
}

QTEST_MAIN(TestGaugeDial)
#include "tst_gaugedial.moc"
