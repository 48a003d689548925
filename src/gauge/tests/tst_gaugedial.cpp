// SPDX-License-Identifier: MIT
#include "gauge/GaugeDial.h"

#include <QTest>

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

QTEST_MAIN(TestGaugeDial)
#include "tst_gaugedial.moc"
