// SPDX-License-Identifier: MIT
#include "chart/ChartZoom.h"
#include "chart/tests/RecordingChartSurface.h"
#include "chart/uCharControl.h"

#include <QRandomGenerator>
#include <QTest>

// Axes print as "bottom min..max, left min..max" in a failure.
char *toString(const ChartZoom::Axes &a)
{
    return qstrdup(QStringLiteral("bottom %1..%2, left %3..%4")
                       .arg(a.bottomMin)
                       .arg(a.bottomMax)
                       .arg(a.leftMin)
                       .arg(a.leftMax)
                       .toUtf8()
                       .constData());
}

namespace {

ChartZoom::Axes shown(const RecordingChartSurface &chart)
{
    return { chart.bottomMin, chart.bottomMax, chart.leftMin, chart.leftMax };
}

bool within(const ChartZoom::Axes &view, const ChartZoom::Axes &home)
{
    return view.bottomMin >= home.bottomMin && view.bottomMax <= home.bottomMax
        && view.bottomMin < view.bottomMax && view.leftMin >= home.leftMin
        && view.leftMax <= home.leftMax && view.leftMin < view.leftMax;
}

} // namespace

class TestChartZoom : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void zoomAndPanStayWithinThePage();
    void resetRestoresThePageExactly();
    void pagingWorksAsWithoutZoom_data();
    void pagingWorksAsWithoutZoom();
    void newValueRangeKeepsTheViewInside();
};

void TestChartZoom::zoomAndPanStayWithinThePage()
{
    RecordingChartSurface chart;
    ChartZoom zoom(chart, -11000, 11000);
    TChartControl control(zoom, 100);
    control.SetValueMinimum(-50);
    control.SetValueMaximum(250);
    for (int i = 0; i < 250; ++i)
        control.AddValue(i);
    const ChartZoom::Axes home = zoom.home();
    QCOMPARE(home, (ChartZoom::Axes { 201, 300, -50, 250 }));

    QRandomGenerator random(11);
    for (int step = 0; step < 2000; ++step) {
        switch (random.bounded(3)) {
        case 0:
            zoom.zoom(0.5 + random.generateDouble(), 150 + random.bounded(200),
                -100 + random.bounded(400));
            break;
        case 1:
            zoom.pan(random.bounded(201) - 100, random.bounded(601) - 300);
            break;
        default:
            zoom.zoom(0.8, 250, 100, random.bounded(2) == 0, random.bounded(2) == 0);
        }
        QVERIFY2(within(zoom.view(), home), qPrintable(QString::number(step)));
        QCOMPARE(shown(chart), zoom.view());
        QCOMPARE(zoom.home(), home); // the page's own view never changes by zooming
        QVERIFY(zoom.view().bottomMax - zoom.view().bottomMin >= ChartZoom::MinimumPoints);
    }

    // Zooming out as far as it goes ends up on the page itself, unzoomed.
    zoom.zoom(0.25, 220, 0);
    QVERIFY(zoom.zoomed());
    for (int i = 0; i < 40; ++i) // from the smallest value share, 2^40 is more than enough
        zoom.zoom(2, 290, 240);
    QVERIFY(!zoom.zoomed());
    QCOMPARE(shown(chart), home);

    // Bad input from the mouse changes nothing.
    zoom.zoom(0.5, 250, 100);
    const ChartZoom::Axes before = zoom.view();
    zoom.zoom(0, 250, 100);
    zoom.zoom(qQNaN(), 250, 100);
    zoom.pan(qInf(), 0);
    QCOMPARE(zoom.view(), before);
}

void TestChartZoom::resetRestoresThePageExactly()
{
    // The same readings on a chart without zoom give the axes to come back to.
    RecordingChartSurface plain;
    TChartControl plainControl(plain, 37);
    RecordingChartSurface chart;
    ChartZoom zoom(chart, -11000, 11000);
    TChartControl control(zoom, 37);
    for (TChartControl *c : { &plainControl, &control }) {
        c->SetValueMinimum(-0.25);
        c->SetValueMaximum(1.75);
        for (int i = 0; i < 90; ++i)
            c->AddValue(std::sin(i / 7.0));
    }
    zoom.zoom(0.3, 80, 0.5);
    zoom.pan(-3.5, 0.125);
    zoom.zoom(0.7, 77.7, 0.1);
    QVERIFY(zoom.zoomed());
    QVERIFY(!(shown(chart) == shown(plain)));
    zoom.resetZoom();
    QVERIFY(!zoom.zoomed());
    QCOMPARE(shown(chart), shown(plain)); // exactly, not approximately

    // Clearing the chart on its first page (no page move) shows that page whole.
    RecordingChartSurface small;
    ChartZoom smallZoom(small, -11000, 11000);
    TChartControl smallControl(smallZoom, 100);
    smallControl.SetValueMaximum(50);
    for (int i = 0; i < 30; ++i)
        smallControl.AddValue(i);
    smallZoom.zoom(0.5, 20, 10);
    QVERIFY(smallZoom.zoomed());
    smallControl.ClearChart();
    QVERIFY(!smallZoom.zoomed());
    QCOMPARE(shown(small), (ChartZoom::Axes { 1, 100, -11000, 50 }));
}

void TestChartZoom::pagingWorksAsWithoutZoom_data()
{
    QTest::addColumn<QString>("commands");
    // F first, P previous, N next, L last, A add a value, S page size 30
    QTest::newRow("previous") << "P";
    QTest::newRow("first then next") << "FN";
    QTest::newRow("last while on the last page") << "L";
    QTest::newRow("next while on the last page") << "N";
    QTest::newRow("values arriving onto a new page") << "AAAAAAAAAAAAAAAAAAAA";
    QTest::newRow("page size") << "S";
    QTest::newRow("browse back, values arrive") << "PPAAAN";
}

void TestChartZoom::pagingWorksAsWithoutZoom()
{
    QFETCH(QString, commands);
    RecordingChartSurface plain;
    TChartControl plainControl(plain, 20);
    RecordingChartSurface chart;
    ChartZoom zoom(chart, -11000, 11000);
    TChartControl control(zoom, 20);
    for (TChartControl *c : { &plainControl, &control }) {
        c->SetValueMinimum(-10);
        c->SetValueMaximum(100);
        for (int i = 0; i < 75; ++i)
            c->AddValue(i % 100);
    }
    for (const QChar command : commands) {
        zoom.zoom(0.5, zoom.view().bottomMin + 3, 40); // zoomed before every command
        const ChartZoom::Axes before = zoom.home();
        for (TChartControl *c : { &plainControl, &control }) {
            switch (command.toLatin1()) {
            case 'F':
                c->FirstPage();
                break;
            case 'P':
                c->PreviousPage();
                break;
            case 'N':
                c->NextPage();
                break;
            case 'L':
                c->LastPage();
                break;
            case 'A':
                c->AddValue(50);
                break;
            case 'S':
                c->SetPageSize(30);
                break;
            }
        }
        QCOMPARE(control.currentPage(), plainControl.currentPage());
        QCOMPARE(control.browsing(), plainControl.browsing());
        QCOMPARE(zoom.home(), shown(plain));
        if (zoom.home() == before) {
            // No page move: the zoom stays, within the page.
            QVERIFY(zoom.zoomed());
            QVERIFY(within(shown(chart), zoom.home()));
        } else {
            // A page move shows the new page unzoomed.
            QVERIFY(!zoom.zoomed());
            QCOMPARE(shown(chart), shown(plain));
        }
    }
}

void TestChartZoom::newValueRangeKeepsTheViewInside()
{
    RecordingChartSurface chart;
    ChartZoom zoom(chart, -11000, 11000);
    TChartControl control(zoom, 100);
    control.SetValueMinimum(-10);
    control.SetValueMaximum(1000);
    for (int i = 0; i < 50; ++i)
        control.AddValue(i);
    zoom.zoom(0.5, 50, 900); // the upper half of the values
    QVERIFY(zoom.view().leftMax > 500);
    control.SetValueMaximum(400); // the meter's range changed
    QCOMPARE(zoom.home().leftMax, 400.0);
    QVERIFY(within(zoom.view(), zoom.home()));
    QCOMPARE(shown(chart), zoom.view());
    zoom.resetZoom();
    QCOMPARE(shown(chart), (ChartZoom::Axes { 1, 100, -10, 400 }));
}

QTEST_GUILESS_MAIN(TestChartZoom)
#include "tst_chartzoom.moc"
