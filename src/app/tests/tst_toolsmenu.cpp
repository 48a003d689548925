// SPDX-License-Identifier: MIT
#include "analysis/TableStatistics.h"
#include "app/KmApplication.h"
#include "app/StatisticsWindow.h"
#include "app/ToolsMenu.h"
#include "app/Unit1.h"
#include "chart/ChartMouse.h"
#include "chart/ChartPanel.h"
#include "chart/ChartZoom.h"
#include "chart/Chtshow.h"
#include "dialogs/RecordingUserDialogs.h"
#include "hid/FakeHidBackend.h"
#include "recording/ReadingTable.h"
#include "sim/CableReports.h"
#include "sim/MeterFrames.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMenuBar>
#include <QStandardPaths>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

Q_DECLARE_METATYPE(MeterModel)

namespace {

const QString kCablePath = QStringLiteral("/dev/hidraw-cable");

struct Rig
{
    explicit Rig(MeterModel model)
    {
        auto cable = FakeHidBackend::makeInterface("cable", "USB to Serial");
        cable.path = kCablePath;
        backend->plug(cable);
        TFrmTest::Options options;
        options.localeDecimal = QStringLiteral(".");
        window = std::make_unique<TFrmTest>(
            model, backend, backend->createNotifier(), dialogs, options);
        window->Panel2Click();
    }
    // Frames with these main digits, and waits until the table has them.
    void read(const QStringList &mainDigits)
    {
        const int rows = window->cds1().rowCount();
        for (const QString &digits : mainDigits) {
            QByteArray frame;
            if (window->model().model == MeterModel::Km90) {
                Km90Frame f;
                f.mainDigits = digits;
                frame = f.bytes();
            } else {
                Km50Frame f;
                f.mainDigits = digits;
                frame = f.bytes();
            }
            for (const QByteArray &r : CableReports::frameReports(frame))
                backend->queueReport(kCablePath, r);
        }
        QTRY_COMPARE(window->cds1().rowCount(), rows + int(mainDigits.size()));
    }

    std::shared_ptr<FakeHidBackend> backend = std::make_shared<FakeHidBackend>();
    RecordingUserDialogs dialogs;
    std::unique_ptr<TFrmTest> window;
};

} // namespace

class TestToolsMenu : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true); // the alarm settings stay out of the user's
        qunsetenv("QT_STYLE_OVERRIDE");
        KmApplication::useProgramStyle();
    }
    void toolsMenuComesAfterRecord_data();
    void toolsMenuComesAfterRecord();
    void statisticsFollowTheRecording();
    void ctrlCCopiesSelectedOrAllRows();
    void alarmFiresOncePerCrossing();
    void chartMouseZoomsAndDoubleClickResets();
};

void TestToolsMenu::toolsMenuComesAfterRecord_data()
{
    QTest::addColumn<MeterModel>("model");
    QTest::newRow("km90") << MeterModel::Km90;
    QTest::newRow("km50_60") << MeterModel::Km50_60;
}

void TestToolsMenu::toolsMenuComesAfterRecord()
{
    QFETCH(MeterModel, model);
    Rig rig(model);
    const QList<QAction *> menus = rig.window->menuBar()->actions();
    QCOMPARE(menus.size(), 2);
    QCOMPARE(menus[0]->text(), QStringLiteral("Record"));
    QCOMPARE(menus[0]->menu()->actions().size(), 1); // " RecordSet" and nothing new
    QCOMPARE(menus[1]->text(), QStringLiteral("Tools"));
    QStringList items;
    for (QAction *a : menus[1]->menu()->actions())
        items << a->text();
    QCOMPARE(items, (QStringList { "Statistics", "Alarms..." }));
}

void TestToolsMenu::statisticsFollowTheRecording()
{
    Rig rig(MeterModel::Km90);
    TFrmTest &w = *rig.window;
    rig.read({ "0100", "0250" });
    w.tools().showStatistics();
    StatisticsWindow *s = w.tools().statisticsWindow();
    QVERIFY(s && s->isVisible());
    QTableWidget &lines = s->lines();
    QVERIFY(lines.rowCount() >= 1);
    QCOMPARE(lines.item(0, 0)->text(), QStringLiteral("Value"));
    QCOMPARE(lines.item(0, 2)->text(), QStringLiteral("2"));
    QCOMPARE(lines.item(0, 4)->text(), QStringLiteral("100"));
    QCOMPARE(lines.item(0, 5)->text(), QStringLiteral("250"));

    // New rows are shown after the coalescing delay, in one redraw.
    rig.read({ "0400", "0050", "0070" });
    QCOMPARE(s->statistics().statistics().rowsSeen(), 5);
    QVERIFY(s->refreshPending());
    QTRY_COMPARE(lines.item(0, 2)->text(), QStringLiteral("5"));
    QCOMPARE(lines.item(0, 4)->text(), QStringLiteral("50"));
    QCOMPARE(lines.item(0, 5)->text(), QStringLiteral("400"));

    // After clear it starts again.
    w.cds1().clear();
    QTRY_COMPARE(lines.rowCount(), 0);
}

void TestToolsMenu::ctrlCCopiesSelectedOrAllRows()
{
    Rig rig(MeterModel::Km50_60);
    TFrmTest &w = *rig.window;
    rig.read({ "0100", "0250", "0300" });
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTableView &grid = w.DBGrid1();
    grid.setFocus();
    QTRY_VERIFY(grid.hasFocus());

    grid.selectionModel()->clearSelection();
    QTest::keyClick(&grid, Qt::Key_C, Qt::ControlModifier);
    QStringList lines = QApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[0], QStringLiteral("No\ttime\tValue\tUnit"));
    QVERIFY(lines[3].startsWith(QStringLiteral("3\t")));
    QCOMPARE(lines[3].split('\t').value(2), w.cds1().fieldText(2, 2));

    grid.selectionModel()->select(
        w.cds1().index(1, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QTest::keyClick(&grid, Qt::Key_C, Qt::ControlModifier);
    lines = QApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QVERIFY(lines[1].startsWith(QStringLiteral("2\t")));

    // Two separate ranges, chosen last row first: copied in the table's order.
    grid.selectionModel()->select(w.cds1().index(2, 1),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    grid.selectionModel()->select(
        w.cds1().index(0, 2), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTest::keyClick(&grid, Qt::Key_C, Qt::ControlModifier);
    lines = QApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines[1].startsWith(QStringLiteral("1\t")));
    QVERIFY(lines[2].startsWith(QStringLiteral("3\t")));
}

void TestToolsMenu::alarmFiresOncePerCrossing()
{
    Rig rig(MeterModel::Km90);
    TFrmTest &w = *rig.window;
    rig.read({ "0100" });
    QStringList commands;
    int beeps = 0;
    w.tools().alarmActions().beep = [&] { ++beeps; };
    w.tools().alarmActions().startCommand = [&](const QString &program, const QStringList &args) {
        commands << program + " " + args.join(' ');
        return true;
    };
    AlarmSettings s;
    s.enabled = true;
    s.upper = 200;
    s.unit = w.cds1().fieldText(0, 3); // the frames' unit
    s.hysteresis = 20;
    s.runCommand = true;
    s.program = QStringLiteral("/bin/alarm");
    w.tools().alarm().setSettings(s);

    rig.read({ "0250", "0300", "0190", "0210" }); // 190 is within the hysteresis
    QCOMPARE(beeps, 1);
    QCOMPARE(commands, QStringList { "/bin/alarm 0250 " + s.unit + " above" });
    QCOMPARE(w.link().history().filter(QStringLiteral("Alarm:")).size(), 1);
    QVERIFY(w.tools().alarmFrameShown());

    rig.read({ "0100", "0300" }); // back inside, then out again
    QCOMPARE(beeps, 2);
    rig.read({ "0100" });
    QVERIFY(!w.tools().alarmFrameShown());
}

void TestToolsMenu::chartMouseZoomsAndDoubleClickResets()
{
    Rig rig(MeterModel::Km50_60);
    TFrmTest &w = *rig.window;
    rig.read({ "0100", "0250", "0300", "0150" });
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    Chtshow &chart = *w.chartPanel().chart();
    ChartZoom &zoom = w.chartPanel().chartZoom();
    const ChartZoom::Axes home = zoom.home();
    QWidget *viewport = chart.viewport();
    const QPoint middle = viewport->rect().center();
    QWheelEvent wheel(middle, viewport->mapToGlobal(middle), QPoint(), QPoint(0, 240), Qt::NoButton,
        Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewport, &wheel);
    QVERIFY(zoom.zoomed());
    QVERIFY(zoom.view().bottomMax - zoom.view().bottomMin < home.bottomMax - home.bottomMin);
    QCOMPARE(chart.bottomAxisMinimum(), zoom.view().bottomMin);

    QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, middle);
    QVERIFY(!zoom.zoomed());
    QCOMPARE(chart.bottomAxisMinimum(), home.bottomMin);
    QCOMPARE(chart.bottomAxisMaximum(), home.bottomMax);

    // The cross-hair names the nearest stored point, and nothing off the points.
    ChartMouse &mouse = w.chartPanel().chartMouse();
    QCOMPARE(mouse.pointText(2.4), QStringLiteral("No. 2: 250"));
    QCOMPARE(mouse.pointText(3.6), QStringLiteral("No. 4: 150"));
    QCOMPARE(mouse.pointText(-0.6), QString());
    QCOMPARE(mouse.pointText(4.6), QString());
    QCOMPARE(mouse.pointText(qQNaN()), QString());
}

QTEST_MAIN(TestToolsMenu)
#include "tst_toolsmenu.moc"
