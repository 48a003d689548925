// SPDX-License-Identifier: MIT
#include "chart/Chtshow.h"
#include "chart/tests/ControlScript.h"
#include "chart/tests/RecordingChartSurface.h"

#include <QApplication>
#include <QAreaSeries>
#include <QLineSeries>
#include <QSignalSpy>
#include <QTest>
#include <QValueAxis>

namespace {

bool isRed(QRgb p)
{
    return qRed(p) > 200 && qGreen(p) < 80 && qBlue(p) < 80;
}

bool isAreaYellow(QRgb p)
{
    return qRed(p) == 255 && qGreen(p) == 255 && qBlue(p) == 128;
}

int countPixels(const QImage &image, bool (*match)(QRgb))
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            n += match(image.pixel(x, y)) ? 1 : 0;
    }
    return n;
}

} // namespace

class TestChtshow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void pagesLikeTheSimpleChart_data();
    void pagesLikeTheSimpleChart();
    void qtChartsHoldsOnlyThePageOnView();
    void burstOfReadingsIsOneUpdate();
    void firstFrameShowsPendingChanges();
    void widePageIsReducedKeepingExtremes();
    void hiddenAreaIsBroughtUpToDateWhenShown();
    void valueAxisKeepsLastGoodRange();
    void pictureShowsTheLineAtTheChartSize();
};

void TestChtshow::initTestCase()
{
    QApplication::setFont(QFont(QStringLiteral("Liberation Sans"), 8));
}

void TestChtshow::pagesLikeTheSimpleChart_data()
{
    QTest::addColumn<QString>("script");
    QTest::newRow("following") << "a1234";
    QTest::newRow("exact multiple, back and forth") << "a300 p p n f l";
    QTest::newRow("browsing while values arrive") << "a250 p a500 n n l a7";
    QTest::newRow("page sizes") << "a777 s50 f s1 l s333 p";
    QTest::newRow("clear and go on") << "a250 c n a150 f";
}

void TestChtshow::pagesLikeTheSimpleChart()
{
    QFETCH(QString, script);
    RecordingChartSurface simple;
    TChartControl simpleControl(simple, 100);
    Chtshow chart;
    TChartControl control(chart, 100);

    QCOMPARE(runScript(control, script), runScript(simpleControl, script));
    QCOMPARE(control.currentPage(), simpleControl.currentPage());
    QCOMPARE(control.pageCount(), simpleControl.pageCount());
    QCOMPARE(chart.bottomAxisMinimum(), simple.bottomMin);
    QCOMPARE(chart.bottomAxisMaximum(), simple.bottomMax);
    for (int series = 0; series < 2; ++series) {
        QCOMPARE(chart.pointCount(series), qint64(simple.points(series).size()));
        QCOMPARE(chart.valueAt(series, chart.pointCount(series) - 1), simple.points(series).last());
    }
    chart.refreshNow();
    QCOMPARE(chart.bottomAxis()->min(), simple.bottomMin);
    QCOMPARE(chart.bottomAxis()->max(), simple.bottomMax);
}

void TestChtshow::qtChartsHoldsOnlyThePageOnView()
{
    Chtshow chart;
    TChartControl control(chart, 100);
    for (int i = 1; i <= 50'000; ++i)
        control.AddValue(i % 17);
    control.PreviousPage(); // view 49801 .. 49900
    chart.refreshNow();

    const QList<QPointF> shown = chart.lineSeries()->points();
    QCOMPARE(shown.size(), 102); // one point beyond each end, so the line reaches the edges
    QCOMPARE(shown.first().x(), 49800.0);
    QCOMPARE(shown.last().x(), 49901.0);
    for (const QPointF &p : shown)
        QCOMPARE(p.y(), double(qint64(p.x()) % 17));
    QCOMPARE(chart.areaSeries()->upperSeries()->points(), shown);

    control.FirstPage();
    chart.refreshNow();
    QCOMPARE(chart.lineSeries()->points().first(), QPointF(0, 0)); // the point at x 0
    QCOMPARE(chart.lineSeries()->points().last().x(), 101.0);
}

void TestChtshow::burstOfReadingsIsOneUpdate()
{
    Chtshow chart;
    TChartControl control(chart, 1000);
    chart.refreshNow();
    QSignalSpy lineUpdates(chart.lineSeries(), &QXYSeries::pointsReplaced);
    QSignalSpy areaUpdates(chart.areaSeries()->upperSeries(), &QXYSeries::pointsReplaced);
    for (int i = 1; i <= 900; ++i)
        control.AddValue(i);
    control.SetValueMinimum(-1000);
    control.SetValueMaximum(1000);
    QCOMPARE(lineUpdates.size(), 0);
    QVERIFY(chart.refreshPending());

    QTRY_VERIFY(!chart.refreshPending());
    QCOMPARE(lineUpdates.size(), 1);
    QCOMPARE(areaUpdates.size(), 1);
    QCOMPARE(chart.lineSeries()->count(), 901);
    QCOMPARE(chart.leftAxis()->min(), -1000.0);
    QCOMPARE(chart.leftAxis()->max(), 1000.0);

    // Values beyond the page on view change nothing on screen.
    runScript(control, "a2000 p"); // view 1001 .. 2000, browsing
    chart.refreshNow();
    lineUpdates.clear();
    for (int i = 0; i < 5000; ++i)
        control.AddValue(i);
    QVERIFY(!chart.refreshPending());
    QCOMPARE(lineUpdates.size(), 0);
}

void TestChtshow::firstFrameShowsPendingChanges()
{
    // Changes made while the chart is being set up wait for the coalescing
    // timer; the chart's first frame must not show the state before them.
    Chtshow chart;
    chart.resize(400, 300);
    chart.setLeftAxisMinimum(-50);
    chart.setLeftAxisMaximum(250);
    chart.setBottomAxisRange(100, 200);
    chart.addValue(1, 75);
    QVERIFY(chart.refreshPending());
    chart.show(); // no event is handled between the changes and the show
    QVERIFY(!chart.refreshPending());
    QCOMPARE(chart.leftAxis()->min(), -50.0);
    QCOMPARE(chart.leftAxis()->max(), 250.0);
    QCOMPARE(chart.bottomAxis()->min(), 100.0);
    QCOMPARE(chart.bottomAxis()->max(), 200.0);
}

void TestChtshow::widePageIsReducedKeepingExtremes()
{
    Chtshow chart;
    TChartControl control(chart, 1'000'000);
    for (int i = 1; i <= 200'000; ++i)
        control.AddValue(i == 123'457 ? 5000 : (i == 7 ? -5000 : i % 100));
    chart.refreshNow();

    const QList<QPointF> shown = chart.lineSeries()->points();
    QVERIFY(shown.size() <= Chtshow::MaxPointsShown);
    QVERIFY(shown.size() > Chtshow::MaxPointsShown / 2);
    QVERIFY(shown.contains(QPointF(123'457, 5000)));
    QVERIFY(shown.contains(QPointF(7, -5000)));
    QCOMPARE(shown.first().x(), 0.0);
    QCOMPARE(shown.last().x(), 200'000.0);
    for (qsizetype i = 1; i < shown.size(); ++i)
        QVERIFY(shown[i].x() > shown[i - 1].x());
}

void TestChtshow::hiddenAreaIsBroughtUpToDateWhenShown()
{
    Chtshow chart;
    TChartControl control(chart, 100);
    runScript(control, "a50");
    control.SetFillVisible(false);
    chart.refreshNow();
    QVERIFY(!chart.areaSeries()->isVisible());
    QVERIFY(chart.lineSeries()->isVisible());

    runScript(control, "a120"); // the view moves on while the area is hidden
    control.SetFillVisible(true);
    chart.refreshNow();
    QVERIFY(chart.areaSeries()->isVisible());
    QCOMPARE(chart.areaSeries()->upperSeries()->points(), chart.lineSeries()->points());
    QCOMPARE(chart.lineSeries()->points().last().x(), 170.0);
}

void TestChtshow::valueAxisKeepsLastGoodRange()
{
    Chtshow chart;
    TChartControl control(chart, 100);
    control.SetValueMinimum(-1000);
    control.SetValueMaximum(1000);
    chart.refreshNow();
    control.SetValueMinimum(2000); // for a moment above the maximum
    chart.refreshNow();
    QCOMPARE(chart.leftAxis()->min(), -1000.0);
    QCOMPARE(chart.leftAxis()->max(), 1000.0);
    control.SetValueMaximum(3000);
    chart.refreshNow();
    QCOMPARE(chart.leftAxis()->min(), 2000.0);
    QCOMPARE(chart.leftAxis()->max(), 3000.0);
}

void TestChtshow::pictureShowsTheLineAtTheChartSize()
{
    Chtshow chart; // never shown
    chart.resize(371, 265);
    TChartControl control(chart, 100);
    control.SetValueMinimum(-100);
    control.SetValueMaximum(100);
    for (int i = 1; i <= 80; ++i)
        control.AddValue(i % 2 ? 50 : -50);
    const QImage withFill = chart.picture();
    QCOMPARE(withFill.size(), QSize(371, 265));
    QVERIFY(countPixels(withFill, isRed) > 300);
    QVERIFY(countPixels(withFill, isAreaYellow) > 1000);

    control.SetFillVisible(false);
    const QImage withoutFill = chart.picture();
    QVERIFY(countPixels(withoutFill, isRed) > 300);
    QCOMPARE(countPixels(withoutFill, isAreaYellow), 0);
}

QTEST_MAIN(TestChtshow)
#include "tst_chtshow.moc"
