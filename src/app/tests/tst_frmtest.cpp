// SPDX-License-Identifier: MIT
#include "app/ErrorReport.h"
#include "app/GaugeWidget.h"
#include "app/HelpWindow.h"
#include "app/KmApplication.h"
#include "app/Unit1.h"
#include "chart/ChartPanel.h"
#include "chart/Chtshow.h"
#include "chart/uCharControl.h"
#include "dialogs/RecordingUserDialogs.h"
#include "hid/FakeHidBackend.h"
#include "hid/HidControllerClass.h"
#include "link/FrameAssembler.h"
#include "models/common/lcd/LcdPanel.h"
#include "recording/ReadingTable.h"
#include "recording/Recorder.h"
#include "session/LinkControl.h"
#include "sim/CableReports.h"
#include "sim/MeterFrames.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

Q_DECLARE_METATYPE(MeterModel)

namespace {

const QString kCablePath = QStringLiteral("/dev/hidraw-cable");

struct Rig
{
    explicit Rig(MeterModel model, bool withCable = true, const QString &exeFolder = {},
        const QString &journalFolder = {})
    {
        if (withCable) {
            auto cable = FakeHidBackend::makeInterface("cable", "USB to Serial");
            cable.path = kCablePath;
            backend->plug(cable);
        }
        TFrmTest::Options options;
        options.localeDecimal = QStringLiteral(".");
        options.exeFolder = exeFolder;
        options.keepJournal = !journalFolder.isEmpty();
        options.journalFolder = journalFolder;
        options.journalSync = [](int) { return true; };
        window = std::make_unique<TFrmTest>(
            model, backend, backend->createNotifier(), dialogs, options);
    }
    void queueFrames(const QList<QByteArray> &frames)
    {
        for (const QByteArray &f : frames) {
            for (const QByteArray &r : CableReports::frameReports(f))
                backend->queueReport(kCablePath, r);
        }
    }
    qint64 chartPoints() { return window->chartPanel().chart()->pointCount(0); }

    std::shared_ptr<FakeHidBackend> backend = std::make_shared<FakeHidBackend>();
    RecordingUserDialogs dialogs;
    std::unique_ptr<TFrmTest> window;
};

QList<QByteArray> readings(MeterModel model, const QStringList &mainDigits)
{
    QList<QByteArray> out;
    for (const QString &digits : mainDigits) {
        if (model == MeterModel::Km90) {
            Km90Frame f;
            f.mainDigits = digits;
            out.append(f.bytes());
        } else {
            Km50Frame f;
            f.mainDigits = digits;
            out.append(f.bytes());
        }
    }
    return out;
}

} // namespace

class TestFrmTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // The windows are tested in the style the programs use.
    void initTestCase()
    {
        qunsetenv("QT_STYLE_OVERRIDE");
        QCOMPARE(KmApplication::useProgramStyle(), QStringLiteral("windows"));
    }
    void startUp_data();
    void startUp();
    void framesReachEveryView_data();
    void framesReachEveryView();
    void clearCommand_data();
    void clearCommand();
    void recordLimitMenu();
    void intervalField();
    void helpOpensFileBesideProgram();
    void errorReportText_data();
    void errorReportText();
    void exitClosesWithoutQuestion();
    void chartEnlargesAndRestores_data();
    void chartEnlargesAndRestores();
    void printDataOpensThePreviewAndReadingGoesOn();
    void unsavedRecordingComesBackAtTheNextStart();
    void gridColumnsFitTheirTexts_data();
    void gridColumnsFitTheirTexts();
    void openShowsTheLastRowWhole_data();
    void openShowsTheLastRowWhole();
    void keyboardReachesEveryCommand_data();
    void keyboardReachesEveryCommand();
    void tableCommandShortcuts();
    void recordLimitStopIsShown();
};

void TestFrmTest::startUp_data()
{
    QTest::addColumn<MeterModel>("model");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QSize>("client");
    QTest::addColumn<int>("firstColumnWidth");
    QTest::newRow("km90") << MeterModel::Km90 << "KM90  Interface Program Ver:3.01"
                          << QSize(739, 479) << 35;
    QTest::newRow("km50_60") << MeterModel::Km50_60 << "KM50/60 Interface Program Ver2.01"
                             << QSize(718, 454) << 50;
}

void TestFrmTest::startUp()
{
    QFETCH(MeterModel, model);
    QFETCH(QString, caption);
    QFETCH(QSize, client);
    QFETCH(int, firstColumnWidth);
    Rig rig(model);
    TFrmTest &w = *rig.window;
    QCOMPARE(w.windowTitle(), caption);
    QCOMPARE(w.client().size(), client);
    QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(w.recorder().RecordLimit(), 10000);
    QVERIFY(w.findChild<QAction *>("set10k")->isChecked());
    QVERIFY(!w.findChild<QAction *>("set1k")->isChecked());
    QVERIFY(w.findChild<QCheckBox *>("RepeatSet")->isChecked());
    QVERIFY(!w.findChild<QCheckBox *>("RecordSI")->isChecked());
    QCOMPARE(w.findChild<QLineEdit *>("RecordSITime")->text(), QStringLiteral("10"));
    QCOMPARE(w.cds1().rowCount(), 0);
    QCOMPARE(w.gauge().position(), 600);
    QCOMPARE(w.gauge().needle().tip, QPoint(185, 34));
    QVERIFY(!w.linkIndicatorOn());
    QCOMPARE(w.PBar2().maximum(), 60);
    QCOMPARE(w.PBar2().value(), 20);
    // The designed width is the least; the column grows to its widest number.
    QVERIFY(w.DBGrid1().columnWidth(0) >= firstColumnWidth);
    // The emulated LCD at its place: Panel40 (KM90) or Panel4 (KM50_60).
    QCOMPARE(w.lcdPanel()->objectName(),
        model == MeterModel::Km90 ? QStringLiteral("Panel40") : QStringLiteral("Panel4"));
    QCOMPARE(w.lcdPanel()->geometry(),
        model == MeterModel::Km90 ? QRect(4, 36, 357, 275) : QRect(4, 32, 337, 229));
    QCOMPARE(w.link().selectedLine(), 0);
    QVERIFY(!w.link().USBCon());
    QCOMPARE(w.ConTimer().interval(), 100);
    QCOMPARE(w.SampInterTime().interval(), 1000);
    QVERIFY(rig.dialogs.calls().isEmpty());
}

void TestFrmTest::framesReachEveryView_data()
{
    QTest::addColumn<MeterModel>("model");
    QTest::newRow("km90") << MeterModel::Km90;
    QTest::newRow("km50_60") << MeterModel::Km50_60;
}

void TestFrmTest::framesReachEveryView()
{
    QFETCH(MeterModel, model);
    Rig rig(model);
    TFrmTest &w = *rig.window;
    w.Panel2Click();
    QVERIFY(w.link().USBCon());
    rig.queueFrames(readings(model, { "0100", "0250", "0300" }));
    QTRY_COMPARE(w.cds1().rowCount(), 3);
    QCOMPARE(w.cds1().fieldText(2, 2), QStringLiteral("0300"));
    QCOMPARE(rig.chartPoints(), 1 + 3); // the chart starts with one zero point
    QCOMPARE(w.chartPanel().chart()->valueAt(0, 3), 300.0);
    QVERIFY(w.linkIndicatorOn());
    QVERIFY(w.gauge().position() != 600);
    QCOMPARE(w.PBar2().maximum(), 600); // the decoder chose scale 0
    QVERIFY(w.PBar2().value() > 0);
    // The grid follows the newest row.
    QCOMPARE(w.DBGrid1().currentIndex().row(), 2);
    // The link history shows the cable's data reports.
    const QByteArray report
        = CableReports::frameReports(readings(model, { "0100" }).first()).first();
    QVERIFY(w.link().history().contains(
        FrameAssembler::reportText(quint8(report[0]), QByteArrayView(report).sliced(1))));

    // Three watchdog ticks switch the indicator off again.
    w.ConTimer().stop();
    for (int i = 0; i < 3; ++i)
        w.link().ConTimerTimer();
    QVERIFY(!w.linkIndicatorOn());
    w.Panel2Click();
    QVERIFY(!w.link().USBCon());
}

void TestFrmTest::clearCommand_data()
{
    QTest::addColumn<MeterModel>("model");
    QTest::addColumn<bool>("withRows");
    QTest::addColumn<bool>("chartCleared");
    QTest::newRow("km90 rows") << MeterModel::Km90 << true << true;
    QTest::newRow("km90 empty table keeps chart") << MeterModel::Km90 << false << false;
    QTest::newRow("km50_60 rows") << MeterModel::Km50_60 << true << true;
    QTest::newRow("km50_60 empty table clears chart") << MeterModel::Km50_60 << false << true;
}

void TestFrmTest::clearCommand()
{
    QFETCH(MeterModel, model);
    QFETCH(bool, withRows);
    QFETCH(bool, chartCleared);
    Rig rig(model);
    TFrmTest &w = *rig.window;
    if (withRows) {
        w.Panel2Click();
        rig.queueFrames(readings(model, { "0100", "0200" }));
        QTRY_COMPARE(w.cds1().rowCount(), 2);
        w.Panel2Click();
    } else {
        w.chartPanel().chartControl().AddValue(5);
        w.chartPanel().chart()->refreshNow();
    }
    rig.dialogs.clear();
    w.ClearRClick();
    QCOMPARE(rig.dialogs.messages().size(), 1);
    QCOMPARE(rig.dialogs.messages().first().caption, QStringLiteral("Information"));
    QCOMPARE(rig.dialogs.messages().first().text,
        QStringLiteral(" Warning:all Records will be deleted! "));
    QCOMPARE(w.cds1().rowCount(), 0);
    QCOMPARE(w.recorder().RecordCounter(), 1);
    // A cleared chart holds its single zero point again.
    QCOMPARE(rig.chartPoints() == 1, chartCleared);
}

void TestFrmTest::recordLimitMenu()
{
    Rig rig(MeterModel::Km90);
    TFrmTest &w = *rig.window;
    w.findChild<QAction *>("setlimit")->trigger();
    QCOMPARE(w.recorder().RecordLimit(), 10000000);
    int checked = 0;
    for (const char *name : { "set1k", "set5k", "set10k", "set50k", "set100k", "setlimit" })
        checked += w.findChild<QAction *>(name)->isChecked() ? 1 : 0;
    QCOMPARE(checked, 1);
    QVERIFY(w.findChild<QAction *>("setlimit")->isChecked());
}

void TestFrmTest::intervalField()
{
    Rig rig(MeterModel::Km50_60);
    auto *field = rig.window->findChild<QLineEdit *>("RecordSITime");
    field->clear();
    QTest::keyClicks(field, "3x-4");
    QCOMPARE(field->text(), QStringLiteral("34"));
    QCOMPARE(rig.window->recorder().SampleCountdown(), 34);
    QTest::keyClick(field, Qt::Key_Backspace);
    QCOMPARE(field->text(), QStringLiteral("3"));
    field->setText(QStringLiteral("99999999999")); // beyond 32 bits: refused
    QCOMPARE(field->text(), QStringLiteral("3"));
    QCOMPARE(rig.window->recorder().SampleCountdown(), 3);
}

void TestFrmTest::helpOpensFileBesideProgram()
{
    QTemporaryDir dir;
    QFile file(dir.filePath("km50.hlp"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<html><body><h1>Contents</h1><p>Connecting the cable</p></body></html>");
    file.close();

    Rig rig(MeterModel::Km90, true, dir.path());
    TFrmTest &w = *rig.window;
    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(&w, Qt::Key_F1);
    QVERIFY(w.helpWindow());
    QCOMPARE(w.helpWindow()->fileName(), dir.filePath("km50.hlp"));
    QVERIFY(w.helpWindow()->text().contains("Connecting the cable"));
    w.helpWindow()->close();

    QVERIFY(QFile::remove(dir.filePath("km50.hlp")));
    w.HELP1Click();
    QVERIFY(w.helpWindow()->text().contains("cannot be opened"));
    QVERIFY(rig.dialogs.calls().isEmpty());
}

void TestFrmTest::errorReportText_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter") << "Disk full"
                            << "Disk full.";
    QTest::newRow("full stop") << "Done."
                               << "Done.";
    QTest::newRow("exclamation sorts before") << "Failed!"
                                              << "Failed!";
    QTest::newRow("question mark sorts after") << "Why?"
                                               << "Why?.";
    QTest::newRow("empty") << ""
                           << "";
}

void TestFrmTest::errorReportText()
{
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(ErrorReport::boxText(message), shown);
}

void TestFrmTest::exitClosesWithoutQuestion()
{
    Rig rig(MeterModel::Km50_60);
    TFrmTest &w = *rig.window;
    w.show();
    w.Panel3Click();
    QVERIFY(!w.isVisible());
    QVERIFY(rig.dialogs.calls().isEmpty());
}

void TestFrmTest::chartEnlargesAndRestores_data()
{
    QTest::addColumn<MeterModel>("model");
    QTest::newRow("KM90") << MeterModel::Km90;
    QTest::newRow("KM50_60") << MeterModel::Km50_60;
}

void TestFrmTest::chartEnlargesAndRestores()
{
    QFETCH(MeterModel, model);
    Rig rig(model);
    TFrmTest &w = *rig.window;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    ChartPanel &chart = w.chartPanel();
    auto *enlarge = chart.findChild<QWidget *>(QStringLiteral("TbFd"));
    auto *restore = chart.findChild<QWidget *>(QStringLiteral("TbSx"));
    QVERIFY(enlarge && restore);
    const QRect normal = chart.geometry();
    const QSize client = w.client().size();
    const QRect gridInClient(w.DBGrid1().mapTo(&w.client(), QPoint(0, 0)), w.DBGrid1().size());

    QTest::mouseClick(enlarge, Qt::LeftButton);
    QCOMPARE(chart.geometry().topLeft(), QPoint(2, 30));
    QVERIFY(chart.width() > normal.width() && chart.height() > normal.height());
    // The enlarged chart lies over the grid and is what the user sees there.
    QVERIFY(chart.geometry().contains(gridInClient.center()));
    QWidget *shown = w.client().childAt(gridInClient.center());
    QVERIFY(shown == &chart || chart.isAncestorOf(shown));
    QVERIFY(!enlarge->isVisible());
    QVERIFY(restore->isVisible());

    QTest::mouseClick(restore, Qt::LeftButton);
    QCOMPARE(chart.geometry(), normal);
    QCOMPARE(w.client().size(), client);
    QVERIFY(enlarge->isVisible());
    QVERIFY(!restore->isVisible());
}

void TestFrmTest::printDataOpensThePreviewAndReadingGoesOn()
{
    Rig rig(MeterModel::Km90);
    TFrmTest &w = *rig.window;
    w.Panel2Click();
    rig.queueFrames(readings(MeterModel::Km90, { "0100", "0200" }));
    QTRY_COMPARE(w.cds1().rowCount(), 2);

    w.MajPrintClick();
    QWidget *preview = nullptr;
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (top->isVisible() && top->windowTitle() == u"Print Preview")
            preview = top;
    }
    QVERIFY(preview);
    QVERIFY(!w.DBGrid1().updatesEnabled()); // the grid stops following while the preview is open

    rig.queueFrames(readings(MeterModel::Km90, { "0300" }));
    QTRY_COMPARE(w.cds1().rowCount(), 3); // frames keep arriving meanwhile

    preview->close();
    QTRY_VERIFY(w.DBGrid1().updatesEnabled());
    w.Panel2Click();
}

void TestFrmTest::unsavedRecordingComesBackAtTheNextStart()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.filePath("journals");
    const auto journals = [&] {
        return QDir(folder).entryList({ "*.kmj" }, QDir::Files);
    };
    QStringList recorded;
    {
        Rig rig(MeterModel::Km90, true, {}, folder);
        rig.window->offerLeftJournals(); // nothing left yet: no question
        QVERIFY(rig.dialogs.calls().isEmpty());
        rig.window->Panel2Click();
        rig.queueFrames(readings(MeterModel::Km90, { "0100", "0250", "0300" }));
        QTRY_COMPARE(rig.window->cds1().rowCount(), 3);
        for (int r = 0; r < 3; ++r)
            recorded << rig.window->cds1().fieldText(r, 2);
        QCOMPARE(journals().size(), 1);
    } // a clean exit with unsaved rows: the journal stays
    QCOMPARE(journals().size(), 1);

    Rig rig(MeterModel::Km90, true, {}, folder);
    TFrmTest &w = *rig.window;
    rig.dialogs.queueChoice(0); // Restore
    w.offerLeftJournals();
    QCOMPARE(rig.dialogs.calls().size(), 1);
    const RecordingUserDialogs::Call &question = rig.dialogs.calls().first();
    QCOMPARE(question.kind, RecordingUserDialogs::Kind::Choice);
    QCOMPARE(question.buttons, QStringList({ "Restore", "Discard", "Later" }));
    QVERIFY(question.text.startsWith("The last recording of 3 readings ("));
    QCOMPARE(w.cds1().rowCount(), 3);
    for (int r = 0; r < 3; ++r)
        QCOMPARE(w.cds1().fieldText(r, 2), recorded[r]);
    QCOMPARE(w.recorder().RecordCounter(), 4); // numbering goes on after them
    QVERIFY(w.link().history().last().startsWith("JOURNAL RESTORED: 3 readings"));
    QCOMPARE(journals().size(), 1); // the left journal is this window's own now

    // Saved, then a clean exit: nothing is left to offer.
    rig.dialogs.queueFileName(dir.filePath("saved.xls"));
    w.Save_asClick();
    QVERIFY(QFile::exists(dir.filePath("saved.xls")));
    rig.window.reset();
    QCOMPARE(journals(), QStringList());
}

void TestFrmTest::gridColumnsFitTheirTexts_data()
{
    QTest::addColumn<MeterModel>("model");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("km90") << MeterModel::Km90
                          << QStringList { "23:59:59", "-88.88", "KVAr", "888.8", "v", "888.8",
                                 "A" };
    QTest::newRow("km50_60") << MeterModel::Km50_60 << QStringList { "23:59:59", "-88.88", "KWh" };
}

void TestFrmTest::gridColumnsFitTheirTexts()
{
    QFETCH(MeterModel, model);
    QFETCH(QStringList, texts);
    Rig rig(model);
    TFrmTest &w = *rig.window;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTableView &grid = w.DBGrid1();
    // A locale that groups digits: the row number still shows as in the files.
    grid.setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    QVERIFY(w.cds1().appendRow(10'000'000, texts));
    auto *delegate = qobject_cast<QStyledItemDelegate *>(grid.itemDelegate());
    QVERIFY(delegate);
    QCOMPARE(delegate->displayText(w.cds1().index(0, 0).data(), grid.locale()),
        QStringLiteral("10000000"));
    const QList<int> designed = w.model().window.gridColumnWidths;
    QAbstractItemView &view = grid;
    for (int c = 0; c < w.cds1().columnCount(); ++c) {
        const QString name = w.cds1().columnName(c);
        // Never narrower than designed, and wide enough for what the grid's
        // own delegate and header need: nothing is cut or elided.
        QVERIFY2(grid.columnWidth(c) >= designed.at(c), qPrintable(name));
        QVERIFY2(grid.columnWidth(c) >= view.sizeHintForColumn(c),
            qPrintable(QStringLiteral("%1: %2 < %3")
                           .arg(name)
                           .arg(grid.columnWidth(c))
                           .arg(view.sizeHintForColumn(c))));
        QVERIFY2(
            grid.columnWidth(c) >= grid.horizontalHeader()->sectionSizeHint(c), qPrintable(name));
    }
}

void TestFrmTest::openShowsTheLastRowWhole_data()
{
    QTest::addColumn<MeterModel>("model");
    QTest::addColumn<int>("rows");
    QTest::newRow("km90 few") << MeterModel::Km90 << 12;
    QTest::newRow("km90 many") << MeterModel::Km90 << 5000;
    QTest::newRow("km50_60 many") << MeterModel::Km50_60 << 5000;
}

void TestFrmTest::openShowsTheLastRowWhole()
{
    QFETCH(MeterModel, model);
    QFETCH(int, rows);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("table.txt"));
    {
        // A table file of the model, written by the program itself.
        Rig writer(model);
        const QStringList texts = model == MeterModel::Km90
            ? QStringList { "12:00:00", "1.234", "KW", "230.1", "v", "5.365", "A" }
            : QStringList { "12:00:00", "1.234", "V" };
        for (int i = 1; i <= rows; ++i)
            QVERIFY(writer.window->cds1().appendRow(i, texts));
        writer.dialogs.queueFileName(path);
        writer.window->Save_asClick();
        QVERIFY(QFile::exists(path));
    }
    Rig rig(model);
    TFrmTest &w = *rig.window;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    rig.dialogs.queueFileName(path);
    w.OpenClick();
    QCOMPARE(w.cds1().rowCount(), rows);
    QApplication::processEvents();
    QTableView &grid = w.DBGrid1();
    const QRect last = grid.visualRect(w.cds1().index(rows - 1, 0));
    QVERIFY(last.isValid());
    QVERIFY2(grid.viewport()->rect().contains(last),
        qPrintable(QStringLiteral("last row %1,%2 %3x%4 in a viewport %5x%6")
                       .arg(last.x())
                       .arg(last.y())
                       .arg(last.width())
                       .arg(last.height())
                       .arg(grid.viewport()->width())
                       .arg(grid.viewport()->height())));
}

void TestFrmTest::keyboardReachesEveryCommand_data()
{
    QTest::addColumn<MeterModel>("model");
    QTest::addColumn<QStringList>("order");
    QTest::newRow("km90") << MeterModel::Km90
                          << QStringList { "Panel2", "RepeatSet", "RecordSI", "RecordSITime",
                                 "SpeedButton1", "SpeedButton2", "SpeedButton3", "MajPrint",
                                 "DBGrid1", "BtFill", "Maxrecord", "BtNew", "BtSave", "BtFirst",
                                 "BTPrevious", "BtNext", "BTlast", "TbFd", "Panel3", "Panel2" };
    QTest::newRow("km50_60") << MeterModel::Km50_60
                             << QStringList { "Panel2", "RepeatSet", "RecordSI", "RecordSITime",
                                    "SpeedButton1", "SpeedButton2", "SpeedButton3", "MajPrint",
                                    "DBGrid1", "BtFill", "Maxrecord", "BtSave", "BtNew", "BtFirst",
                                    "BTPrevious", "BtNext", "BTlast", "TbFd", "Panel3", "Panel2" };
}

void TestFrmTest::keyboardReachesEveryCommand()
{
    QFETCH(MeterModel, model);
    QFETCH(QStringList, order);
    Rig rig(model);
    TFrmTest &w = *rig.window;
    QVERIFY(w.cds1().appendRow(1,
        QStringList { "12:00:00", "1.0", "KW", "", "", "", "" }.mid(
            0, w.cds1().columnCount() - 1)));
    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    // The window starts with the Connect panel, and Tab walks every command
    // (out of the grid too, which holds a row) and comes round again.
    QStringList seen;
    for (int i = 0; i < order.size(); ++i) {
        QWidget *focus = QApplication::focusWidget();
        QVERIFY(focus);
        seen << focus->objectName();
        if (i + 1 < order.size())
            QTest::keyClick(focus, Qt::Key_Tab);
    }
    QCOMPARE(seen, order);

    // Space on the Connect panel connects, Enter disconnects.
    QWidget *panel2 = w.findChild<QWidget *>(QStringLiteral("Panel2"));
    QCOMPARE(QApplication::focusWidget(), panel2);
    QTest::keyClick(panel2, Qt::Key_Space);
    QVERIFY(w.link().USBCon());
    QTest::keyClick(panel2, Qt::Key_Return);
    QVERIFY(!w.link().USBCon());
    // Space on the "Delete Data" button runs the clear command.
    auto *clear = w.findChild<QToolButton *>(QStringLiteral("SpeedButton2"));
    clear->setFocus(Qt::TabFocusReason);
    QTest::keyClick(clear, Qt::Key_Space);
    QCOMPARE(rig.dialogs.messages().size(), 1);
    // Enter on EXIT closes the window.
    QWidget *panel3 = w.findChild<QWidget *>(QStringLiteral("Panel3"));
    panel3->setFocus(Qt::TabFocusReason);
    QTest::keyClick(panel3, Qt::Key_Return);
    QVERIFY(!w.isVisible());
}

void TestFrmTest::tableCommandShortcuts()
{
    Rig rig(MeterModel::Km90);
    TFrmTest &w = *rig.window;
    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QVERIFY(w.cds1().appendRow(1, QStringList { "12:00:00", "1.0", "KW", "", "", "", "" }));
    QTemporaryDir dir;

    // Ctrl+S saves, Ctrl+O opens: each asks for a file.
    rig.dialogs.queueFileName(dir.filePath(QStringLiteral("t.xls")));
    QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(rig.dialogs.calls().size(), 3); // the save dialog, its job and its success box
    QCOMPARE(rig.dialogs.calls().at(0).kind, RecordingUserDialogs::Kind::Save);
    QCOMPARE(rig.dialogs.calls().at(1).kind, RecordingUserDialogs::Kind::Job);
    QVERIFY(QFile::exists(dir.filePath(QStringLiteral("t.xls"))));
    rig.dialogs.clear();
    QTest::keyClick(&w, Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(rig.dialogs.calls().size(), 1);
    QCOMPARE(rig.dialogs.calls().at(0).kind, RecordingUserDialogs::Kind::Open);
    rig.dialogs.clear();

    // Delete in the grid asks the clear command's question and clears.
    w.DBGrid1().setFocus(Qt::TabFocusReason);
    QTest::keyClick(&w.DBGrid1(), Qt::Key_Delete);
    QCOMPARE(rig.dialogs.messages().size(), 1);
    QCOMPARE(rig.dialogs.messages().first().text,
        QStringLiteral(" Warning:all Records will be deleted! "));
    QCOMPARE(w.cds1().rowCount(), 0);
    // Delete in the interval field deletes a character, nothing else.
    rig.dialogs.clear();
    auto *field = w.findChild<QLineEdit *>(QStringLiteral("RecordSITime"));
    field->setFocus(Qt::TabFocusReason);
    QTest::keyClick(field, Qt::Key_Home);
    QTest::keyClick(field, Qt::Key_Delete);
    QCOMPARE(field->text(), QStringLiteral("0"));
    QVERIFY(rig.dialogs.calls().isEmpty());

    // Ctrl+P opens the print preview.
    QTest::keyClick(&w, Qt::Key_P, Qt::ControlModifier);
    QWidget *preview = nullptr;
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (top->isVisible() && top->windowTitle() == u"Print Preview")
            preview = top;
    }
    QVERIFY(preview);
    preview->close();
    // The captions stay as they were.
    QCOMPARE(w.findChild<QToolButton *>(QStringLiteral("SpeedButton1"))->toolTip(),
        QStringLiteral("Save Data"));
}

void TestFrmTest::recordLimitStopIsShown()
{
    Rig rig(MeterModel::Km50_60);
    TFrmTest &w = *rig.window;
    w.setRecordLimitClick(0); // 1000
    const QByteArray frame = readings(MeterModel::Km50_60, { "0100" }).first();
    QString digits; // the frame's FrameDigits: each byte's low nibble
    for (char b : frame)
        digits += QChar(u"0123456789ABCDEF"[b & 0x0F]);
    auto *panel7 = w.findChild<QWidget *>(QStringLiteral("Panel7"));
    const auto noticeLines = [&w] {
        int n = 0;
        for (const QString &line : w.link().history())
            n += line.contains(u"record limit") ? 1 : 0;
        return n;
    };
    for (int i = 0; i < 999; ++i)
        w.session().ShowData50(digits);
    QCOMPARE(w.cds1().rowCount(), 999);
    QCOMPARE(noticeLines(), 0);
    QVERIFY(!panel7->toolTip().contains(u"record limit"));

    // The 1000th row is the last: the stop shows, without a box.
    w.session().ShowData50(digits);
    w.session().ShowData50(digits);
    QCOMPARE(w.cds1().rowCount(), 1000);
    QCOMPARE(noticeLines(), 1);
    QVERIFY(panel7->toolTip().contains(u"record limit of 1000"));
    QVERIFY(rig.dialogs.calls().isEmpty());
    w.session().ShowData50(digits);
    QCOMPARE(noticeLines(), 1); // said once

    // A larger limit resumes recording and takes the notice away.
    w.setRecordLimitClick(1); // 5000
    QVERIFY(!panel7->toolTip().contains(u"record limit"));
    QVERIFY(w.link().history().last().contains(u"resumed"));
    w.session().ShowData50(digits);
    QCOMPARE(w.cds1().rowCount(), 1001);

    // So does the clear command, which numbers from 1 again.
    w.setRecordLimitClick(0);
    QVERIFY(panel7->toolTip().contains(u"record limit"));
    w.ClearRClick();
    QVERIFY(!panel7->toolTip().contains(u"record limit"));
}

QTEST_MAIN(TestFrmTest)
#include "tst_frmtest.moc"
