// SPDX-License-Identifier: MIT
#include "chart/tests/ControlScript.h"
#include "chart/tests/RecordingChartSurface.h"
#include "chart/uCharControl.h"

#include <QTest>

class TestChartControl : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void createLeavesOnePointAtZero();
    void paging_data();
    void paging();
    void multiPageMovesScrollOnce_data();
    void multiPageMovesScrollOnce();
    void valueAxisTakesOnlyChanges_data();
    void valueAxisTakesOnlyChanges();
    void fillShowsAndHidesTheAreaOnly();
    void clearLeavesOnePointAtZeroInEverySeries();
};

void TestChartControl::createLeavesOnePointAtZero()
{
    RecordingChartSurface chart;
    TChartControl control(chart, 100);
    QCOMPARE(chart.points(0), QList<double> { 0 });
    QCOMPARE(chart.points(1), QList<double> { 0 });
    QCOMPARE(chart.bottomMin, 1.0);
    QCOMPARE(chart.bottomMax, 100.0);
    QCOMPARE(control.currentPage(), 1);
    QCOMPARE(control.pageCount(), 1);
    QCOMPARE(control.browsing(), false);
    QCOMPARE(control.fillVisible(), true);
    QVERIFY(chart.isSeriesVisible(0));
    QCOMPARE(control.valueMaximum(), 0.0);
    QCOMPARE(control.valueMinimum(), 0.0);
}

void TestChartControl::paging_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("returned");
    QTest::addColumn<int>("currentPage");
    QTest::addColumn<int>("pageCount");
    QTest::addColumn<bool>("browsing");
    QTest::addColumn<double>("viewFrom");

    // Page size 100 unless the script sets another; the view runs from viewFrom
    // over one page.
    QTest::newRow("99 values fill page one") << "a99" << 1 << 1 << 1 << false << 1.0;
    QTest::newRow("100th value names page two, view stays")
        << "a100" << 2 << 2 << 2 << false << 1.0;
    QTest::newRow("101st value scrolls") << "a101" << 2 << 2 << 2 << false << 101.0;
    QTest::newRow("exact multiple: previous shows the page before the one on view")
        << "a200 p" << 2 << 2 << 3 << true << 1.0;
    QTest::newRow("exact multiple on page one: previous stays on page one")
        << "a100 p" << 1 << 1 << 2 << true << 1.0;
    QTest::newRow("exact multiple on page one: first stays on page one")
        << "a100 f" << 1 << 1 << 2 << true << 1.0;
    QTest::newRow("exact multiple far away: first ends on page one")
        << "a1000 f" << 1 << 1 << 11 << true << 1.0;
    QTest::newRow("next value brings view and number together")
        << "a201" << 3 << 3 << 3 << false << 201.0;
    QTest::newRow("first on page one changes nothing") << "a50 f" << 1 << 1 << 1 << false << 1.0;
    QTest::newRow("first on page one keeps browsing") << "a150 p f" << 1 << 1 << 2 << true << 1.0;
    QTest::newRow("values while browsing leave the view")
        << "a150 p a300" << 1 << 1 << 5 << true << 1.0;
    QTest::newRow("last after browsing jumps to the newest page")
        << "a150 p a300 l" << 5 << 5 << 5 << false << 401.0;
    QTest::newRow("after last the view follows again")
        << "a150 p a300 l a60" << 6 << 6 << 6 << false << 501.0;
    QTest::newRow("next before the last page keeps browsing")
        << "a250 f n" << 2 << 2 << 3 << true << 101.0;
    QTest::newRow("next onto the last page ends browsing")
        << "a250 f n n" << 3 << 3 << 3 << false << 201.0;
    QTest::newRow("next on the last page does nothing")
        << "a250 n" << 3 << 3 << 3 << false << 201.0;
    QTest::newRow("previous on page one does nothing") << "a10 p" << 1 << 1 << 1 << false << 1.0;
    QTest::newRow("first from far away") << "a1050 f" << 1 << 1 << 11 << true << 1.0;
    QTest::newRow("last stops on the page that holds the newest point")
        << "a1000 f l" << 11 << 11 << 11 << false << 901.0;
    QTest::newRow("page size 50 after 120 values") << "a120 s50" << 2 << 3 << 3 << false << 101.0;
    QTest::newRow("same page size keeps the browsed page")
        << "a250 p s100" << 2 << 2 << 3 << true << 101.0;
    QTest::newRow("new page size ends browsing at the newest point")
        << "a250 f s40" << 1 << 7 << 7 << false << 241.0;
    QTest::newRow("page size 1") << "s1 a3" << 4 << 4 << 4 << false << 3.0;
    QTest::newRow("clear goes to page one") << "a250 c" << 1 << 1 << 3 << false << 1.0;
    QTest::newRow("clear on an exact multiple goes to page one")
        << "a300 c" << 1 << 1 << 4 << false << 1.0;
    QTest::newRow("clear then next raises the number, not the view")
        << "a250 c n" << 2 << 2 << 3 << true << 1.0;
    QTest::newRow("clear then a value counts pages again")
        << "a250 c a1" << 1 << 1 << 1 << false << 1.0;
    QTest::newRow("clear while browsing ends browsing")
        << "a250 p c" << 1 << 1 << 3 << false << 1.0;
}

void TestChartControl::paging()
{
    QFETCH(QString, script);
    QFETCH(int, returned);
    QFETCH(int, currentPage);
    QFETCH(int, pageCount);
    QFETCH(bool, browsing);
    QFETCH(double, viewFrom);

    RecordingChartSurface chart;
    TChartControl control(chart, 100);
    QCOMPARE(runScript(control, script), returned);
    QCOMPARE(control.currentPage(), currentPage);
    QCOMPARE(control.pageCount(), pageCount);
    QCOMPARE(control.browsing(), browsing);
    QCOMPARE(chart.bottomMin, viewFrom);
    QCOMPARE(chart.bottomMax, viewFrom + control.pageSize() - 1);
}

void TestChartControl::multiPageMovesScrollOnce_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("move");
    QTest::addColumn<int>("currentPage");
    QTest::addColumn<double>("viewFrom");

    QTest::newRow("first over 1000 pages") << "a100000"
                                           << "f" << 1 << 1.0;
    QTest::newRow("last over 1000 pages") << "a100000 f"
                                          << "l" << 1001 << 99901.0;
    QTest::newRow("page size 10 over 10000 pages") << "a100000"
                                                   << "s10" << 10001 << 99991.0;
}

void TestChartControl::multiPageMovesScrollOnce()
{
    QFETCH(QString, setup);
    QFETCH(QString, move);
    QFETCH(int, currentPage);
    QFETCH(double, viewFrom);

    RecordingChartSurface chart;
    TChartControl control(chart, 100);
    runScript(control, setup);
    chart.scrollCalls = 0;
    chart.redraws = 0;
    runScript(control, move);
    QCOMPARE(chart.scrollCalls, 1);
    QCOMPARE(chart.redraws, 1);
    QCOMPARE(control.currentPage(), currentPage);
    QCOMPARE(chart.bottomMin, viewFrom);
}

void TestChartControl::valueAxisTakesOnlyChanges_data()
{
    QTest::addColumn<QList<double>>("minimums"); // applied in turn with the maximums
    QTest::addColumn<QList<double>>("maximums");
    QTest::addColumn<QStringList>("log");

    QTest::newRow("pair given twice sets the axis once")
        << QList<double> { -1000, -1000 } << QList<double> { 1000, 1000 }
        << QStringList { "left min -1000", "left max 1000" };
    QTest::newRow("zero before any other value does nothing")
        << QList<double> { 0 } << QList<double> { 0 } << QStringList {};
    QTest::newRow("a new quantity's range is passed on")
        << QList<double> { -1000, -1 } << QList<double> { 1000, 1 }
        << QStringList { "left min -1000", "left max 1000", "left min -1", "left max 1" };
    QTest::newRow("only the end that changed")
        << QList<double> { -600, -600 } << QList<double> { 600, 1300 }
        << QStringList { "left min -600", "left max 600", "left max 1300" };
}

void TestChartControl::valueAxisTakesOnlyChanges()
{
    QFETCH(QList<double>, minimums);
    QFETCH(QList<double>, maximums);
    QFETCH(QStringList, log);

    RecordingChartSurface chart;
    TChartControl control(chart, 100);
    chart.log.clear();
    for (qsizetype i = 0; i < minimums.size(); ++i) {
        control.SetValueMinimum(minimums[i]);
        control.SetValueMaximum(maximums[i]);
    }
    QCOMPARE(chart.log, log);
}

void TestChartControl::fillShowsAndHidesTheAreaOnly()
{
    RecordingChartSurface chart;
    TChartControl control(chart, 100);
    chart.log.clear();
    control.SetFillVisible(true);
    QCOMPARE(chart.log, QStringList {});
    control.SetFillVisible(false);
    control.SetFillVisible(false);
    control.SetFillVisible(true);
    QCOMPARE(chart.log, (QStringList { "hide 0", "show 0" }));
    QVERIFY(chart.isSeriesVisible(1));
}

void TestChartControl::clearLeavesOnePointAtZeroInEverySeries()
{
    RecordingChartSurface chart(3);
    TChartControl control(chart, 100);
    runScript(control, "a250");
    chart.log.clear();
    QCOMPARE(chart.points(2).size(), 251);
    QCOMPARE(chart.points(1).last(), 250.0);
    control.ClearChart();
    for (int series = 0; series < 3; ++series)
        QCOMPARE(chart.points(series), QList<double> { 0 });
    QCOMPARE(chart.log, (QStringList { "clear 0", "clear 1", "clear 2" }));
}

QTEST_GUILESS_MAIN(TestChartControl)
#include "tst_chartcontrol.moc"
