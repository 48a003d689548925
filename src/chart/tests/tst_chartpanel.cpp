// SPDX-License-Identifier: MIT
#include "chart/ChartPanel.h"
#include "chart/ChartPicture.h"
#include "chart/Chtshow.h"
#include "dialogs/RecordingUserDialogs.h"
#include "models/ModelDescription.h"

#include <QApplication>
#include <QAreaSeries>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <memory>

Q_DECLARE_METATYPE(MeterModel)

namespace {

struct Fixture
{
    explicit Fixture(MeterModel model = MeterModel::Km90)
        : panel(modelDescription(model).chart, dialogs)
    {
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
    }

    template<class W = QWidget>
    W *control(const char *name)
    {
        return panel.findChild<W *>(QString::fromLatin1(name));
    }

    void addValues(int n)
    {
        for (int i = 1; i <= n; ++i)
            panel.chartControl().AddValue(i % 2 ? 600 : -600);
    }

    RecordingUserDialogs dialogs;
    ChartPanel panel;
};

int countPixels(const QImage &image, const QRect &area, bool (*match)(QRgb))
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            n += match(image.pixel(x, y)) ? 1 : 0;
    }
    return n;
}

bool isRed(QRgb p)
{
    return qRed(p) > 200 && qGreen(p) < 80 && qBlue(p) < 80;
}

bool isAreaYellow(QRgb p)
{
    return qRed(p) == 255 && qGreen(p) == 255 && qBlue(p) == 128;
}

bool isBluish(QRgb p)
{
    return qBlue(p) > qRed(p) + 60;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestChartPanel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void controlsSitAtTheirPlaces_data();
    void controlsSitAtTheirPlaces();
    void pageButtonsShowThePage_data();
    void pageButtonsShowThePage();
    void pageSizeEntry_data();
    void pageSizeEntry();
    void pageSizeFieldEditsLikeAnyField();
    void keyboardReachesEveryCommand_data();
    void keyboardReachesEveryCommand();
    void fillHidesTheAreaAndKeepsTheLine();
    void savePicture_data();
    void savePicture();
    void failedWriteKeepsTheExistingFile();
    void ownerIsAskedForClearEnlargeRestore();
};

void TestChartPanel::initTestCase()
{
    QApplication::setFont(QFont(QStringLiteral("Liberation Sans"), 8));
}

void TestChartPanel::controlsSitAtTheirPlaces_data()
{
    QTest::addColumn<MeterModel>("model");
    QTest::newRow("km90") << MeterModel::Km90;
    QTest::newRow("km50_60") << MeterModel::Km50_60;
}

void TestChartPanel::controlsSitAtTheirPlaces()
{
    QFETCH(MeterModel, model);
    Fixture f(model);
    const ChartPanelLayout layout = modelDescription(model).chart;
    QCOMPARE(f.panel.size(), layout.chartSize);
    QCOMPARE(f.panel.chart()->geometry(), QRect(QPoint(0, 0), layout.chartSize));
    for (const ChartControlPlace &place : layout.controls) {
        QWidget *widget = f.panel.findChild<QWidget *>(place.name);
        QVERIFY2(widget != nullptr, qPrintable(place.name));
        QCOMPARE(widget->geometry(), place.rect);
        QCOMPARE(widget->toolTip(), place.hint);
    }
    QCOMPARE(f.control<QToolButton>("Bt10")->text(), QStringLiteral("1"));
    QCOMPARE(
        f.control<QToolButton>("Bt10")->palette().color(QPalette::ButtonText), QColor(Qt::blue));
    QCOMPARE(f.control<QLineEdit>("Maxrecord")->text(), QStringLiteral("100"));
    QVERIFY(f.control<QCheckBox>("BtFill")->isChecked());
    QVERIFY(f.control("TbFd")->isVisible());
    QVERIFY(!f.control("TbSx")->isVisible());
    auto *timer = f.panel.findChild<QTimer *>(layout.pageSizeTimerName);
    QVERIFY(timer != nullptr);
    QCOMPARE(timer->interval(), model == MeterModel::Km90 ? 1000 : 500);
    QVERIFY(!timer->isActive());
    QCOMPARE(f.panel.chartControl().pageSize(), 100);
}

void TestChartPanel::pageButtonsShowThePage_data()
{
    QTest::addColumn<int>("values");
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<QString>("pageBox");
    QTest::addColumn<double>("viewFrom");

    QTest::newRow("first on page one leaves 1") << 0 << QStringList { "BtFirst" } << "1" << 1.0;
    QTest::newRow("previous from the newest page")
        << 250 << QStringList { "BTPrevious" } << "2" << 101.0;
    QTest::newRow("first then next") << 250 << QStringList { "BtFirst", "BtNext" } << "2" << 101.0;
    QTest::newRow("first then last") << 250 << QStringList { "BtFirst", "BTlast" } << "3" << 201.0;
    QTest::newRow("next on the newest page") << 250 << QStringList { "BtNext" } << "3" << 201.0;
}

void TestChartPanel::pageButtonsShowThePage()
{
    QFETCH(int, values);
    QFETCH(QStringList, clicks);
    QFETCH(QString, pageBox);
    QFETCH(double, viewFrom);

    Fixture f;
    f.addValues(values);
    for (const QString &name : clicks)
        QTest::mouseClick(f.panel.findChild<QToolButton *>(name), Qt::LeftButton);
    QCOMPARE(f.control<QToolButton>("Bt10")->text(), pageBox);
    QCOMPARE(f.panel.chart()->bottomAxisMinimum(), viewFrom);
}

void TestChartPanel::pageSizeEntry_data()
{
    QTest::addColumn<MeterModel>("model");
    QTest::addColumn<QString>("typed"); // typed after erasing "100" with Backspace
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("pageSize");

    QTest::newRow("km90 250 typed digit by digit") << MeterModel::Km90 << "250"
                                                   << "250" << 250;
    QTest::newRow("km50_60 250 typed digit by digit") << MeterModel::Km50_60 << "250"
                                                      << "250" << 250;
    QTest::newRow("km90 empty falls back") << MeterModel::Km90 << ""
                                           << "100" << 100;
    QTest::newRow("km50_60 zero falls back") << MeterModel::Km50_60 << "0"
                                             << "100" << 100;
    QTest::newRow("km90 rewrites leading zeros") << MeterModel::Km90 << "0050"
                                                 << "50" << 50;
    QTest::newRow("km50_60 keeps leading zeros") << MeterModel::Km50_60 << "0050"
                                                 << "0050" << 50;
    QTest::newRow("only digits reach the field") << MeterModel::Km50_60 << "2x5- "
                                                 << "25" << 25;
}

void TestChartPanel::pageSizeEntry()
{
    QFETCH(MeterModel, model);
    QFETCH(QString, typed);
    QFETCH(QString, text);
    QFETCH(int, pageSize);

    Fixture f(model);
    f.addValues(120);
    auto *field = f.control<QLineEdit>("Maxrecord");
    auto *timer = f.panel.findChild<QTimer *>(f.panel.layout().pageSizeTimerName);
    QSignalSpy applied(&f.panel, &ChartPanel::pageSizeApplied);
    const int gap = timer->interval() / 10; // well inside the delay between keys
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(field, Qt::Key_Backspace, Qt::NoModifier, gap);
    QTest::keyClicks(field, typed, Qt::NoModifier, gap);
    QVERIFY(timer->isActive());
    QCOMPARE(applied.size(), 0);

    QTRY_COMPARE_WITH_TIMEOUT(applied.size(), 1, 3 * timer->interval());
    QCOMPARE(applied.takeFirst().at(0).toInt(), pageSize);
    QCOMPARE(field->text(), text);
    QCOMPARE(f.panel.chartControl().pageSize(), pageSize);
    QVERIFY(!timer->isActive());
    QTest::qWait(timer->interval() + 100);
    QCOMPARE(applied.size(), 0); // applied once, not once per key
}

void TestChartPanel::pageSizeFieldEditsLikeAnyField()
{
    Fixture f;
    auto *field = f.control<QLineEdit>("Maxrecord");
    field->setFocus();
    QTest::keyClick(field, Qt::Key_Home);
    // Delete as X11 sends it, with the DEL character as its text.
    QTest::sendKeyEvent(QTest::Click, field, Qt::Key_Delete, QString(QChar(0x7f)), Qt::NoModifier);
    QCOMPARE(field->text(), QStringLiteral("00"));
    QTest::keySequence(field, QKeySequence::SelectAll);
    QCOMPARE(field->selectedText(), QStringLiteral("00"));
    QTest::keyClicks(field, QStringLiteral("250"));
    QCOMPARE(field->text(), QStringLiteral("250"));
    // A pasted text keeps its digits only, like typed text.
    QApplication::clipboard()->setText(QStringLiteral("1,500 points"));
    QTest::keySequence(field, QKeySequence::SelectAll);
    QTest::keySequence(field, QKeySequence::Paste);
    QCOMPARE(field->text(), QStringLiteral("1500"));
}

void TestChartPanel::keyboardReachesEveryCommand_data()
{
    QTest::addColumn<MeterModel>("model");
    QTest::addColumn<QStringList>("order");
    QTest::newRow("km90") << MeterModel::Km90
                          << QStringList { "BtFill", "Maxrecord", "BtNew", "BtSave", "BtFirst",
                                 "BTPrevious", "BtNext", "BTlast", "TbFd" };
    // The save button stands left of the clear button here.
    QTest::newRow("km50_60") << MeterModel::Km50_60
                             << QStringList { "BtFill", "Maxrecord", "BtSave", "BtNew", "BtFirst",
                                    "BTPrevious", "BtNext", "BTlast", "TbFd" };
}

void TestChartPanel::keyboardReachesEveryCommand()
{
    QFETCH(MeterModel, model);
    QFETCH(QStringList, order);
    Fixture f(model);
    f.panel.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&f.panel));
    f.control("BtFill")->setFocus(Qt::TabFocusReason);
    QStringList seen;
    for (int i = 0; i < order.size(); ++i) {
        seen << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(seen, order);

    // Space presses what has the focus.
    f.addValues(350);
    f.control("BtFirst")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(f.control("BtFirst"), Qt::Key_Space);
    QCOMPARE(f.control<QToolButton>("Bt10")->text(), QStringLiteral("1"));
    f.control("BtNext")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(f.control("BtNext"), Qt::Key_Space);
    QCOMPARE(f.control<QToolButton>("Bt10")->text(), QStringLiteral("2"));
    QSignalSpy clear(&f.panel, &ChartPanel::clearRequested);
    f.control("BtNew")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(f.control("BtNew"), Qt::Key_Space);
    QCOMPARE(clear.size(), 1);
    QSignalSpy enlarge(&f.panel, &ChartPanel::enlargeRequested);
    QSignalSpy restore(&f.panel, &ChartPanel::restoreRequested);
    f.control("TbFd")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(f.control("TbFd"), Qt::Key_Return);
    QCOMPARE(enlarge.size(), 1);
    f.panel.showEnlarged(true);
    // The restore image takes over the focus and Enter restores.
    QCOMPARE(QApplication::focusWidget(), f.control("TbSx"));
    QTest::keyClick(f.control("TbSx"), Qt::Key_Enter);
    QCOMPARE(restore.size(), 1);
}

void TestChartPanel::fillHidesTheAreaAndKeepsTheLine()
{
    Fixture f;
    f.panel.chartControl().SetValueMinimum(-1000);
    f.panel.chartControl().SetValueMaximum(1000);
    f.addValues(80);
    auto *fill = f.control<QCheckBox>("BtFill");
    const QRect all(QPoint(0, 0), f.panel.size());

    QTest::mouseClick(fill, Qt::LeftButton);
    QVERIFY(!fill->isChecked());
    QVERIFY(!f.panel.chartControl().fillVisible());
    QImage picture = f.panel.chart()->picture();
    QVERIFY(!f.panel.chart()->areaSeries()->isVisible());
    QCOMPARE(countPixels(picture, all, isAreaYellow), 0);
    QVERIFY(countPixels(picture, all, isRed) > 300);

    QTest::mouseClick(fill, Qt::LeftButton);
    picture = f.panel.chart()->picture();
    QVERIFY(countPixels(picture, all, isAreaYellow) > 1000);
    QVERIFY(countPixels(picture, all, isRed) > 300);
}

void TestChartPanel::savePicture_data()
{
    QTest::addColumn<QString>("reply"); // relative to a fresh folder; empty: cancelled
    QTest::addColumn<bool>("existing"); // a file of that name is there before
    QTest::addColumn<bool>("written");

    QTest::newRow("new file") << "chart.bmp" << false << true;
    QTest::newRow("existing file replaced without asking") << "chart.bmp" << true << true;
    QTest::newRow("cancelled") << "" << false << false;
    QTest::newRow("folder missing: general error, no success message")
        << "missing/chart.bmp" << false << false;
    QTest::newRow("name is a folder: general error, folder kept") << "taken" << false << false;
}

void TestChartPanel::savePicture()
{
    QFETCH(QString, reply);
    QFETCH(bool, existing);
    QFETCH(bool, written);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("taken")));
    const QString path = reply.isEmpty() ? QString() : dir.filePath(reply);
    const QByteArray before("not a picture");
    if (existing) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(before);
    }
    Fixture f;
    f.panel.chartControl().SetValueMinimum(-1000);
    f.panel.chartControl().SetValueMaximum(1000);
    f.addValues(150); // page 2 on view, half full
    f.dialogs.queueFileName(path);
    QSignalSpy errors(&f.panel, &ChartPanel::errorRaised);

    QCOMPARE(f.panel.BtSaveClick(), written);

    const RecordingUserDialogs::Call request = f.dialogs.calls().at(0);
    QCOMPARE(request.kind, RecordingUserDialogs::Kind::Save);
    QCOMPARE(request.file.filter, QStringLiteral("Bitmaps (*.bmp)|*.bmp"));
    QCOMPARE(request.file.defaultSuffix, QStringLiteral("bmp"));
    QCOMPARE(request.file.confirmOverwrite, false);
    const QList<RecordingUserDialogs::Call> messages = f.dialogs.messages();
    if (!written) {
        QCOMPARE(messages.size(), 0);
        QCOMPARE(errors.size(), reply.isEmpty() ? 0 : 1);
        if (!reply.isEmpty()) {
            QVERIFY(errors.at(0).at(0).toString().contains(path));
            QVERIFY(!QFileInfo(path).isFile());
        }
        return;
    }
    QCOMPARE(errors.size(), 0);
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].icon, UserDialogs::Icon::Information);
    QCOMPARE(messages[0].caption, QStringLiteral("Information"));
    QCOMPARE(messages[0].text, QStringLiteral("Graphic has saved on ") + path);
    QCOMPARE(messages[0].parent.data(), &f.panel);

    const QByteArray bytes = fileBytes(path);
    QVERIFY(bytes.startsWith("BM"));
    QImage picture;
    QVERIFY(picture.loadFromData(bytes, "BMP"));
    QCOMPARE(picture.size(), f.panel.chart()->size());
    const QRect all(QPoint(0, 0), picture.size());
    QVERIFY(countPixels(picture, all, isRed) > 300);
    QVERIFY(countPixels(picture, all, isAreaYellow) > 1000);
    // The tool row is not part of the picture: no blue glyph where the buttons lie.
    for (const char *button : { "BtSave", "BtFirst", "BtNext" }) {
        const QRect place = f.panel.layout().place(QString::fromLatin1(button)).rect;
        QCOMPARE(countPixels(picture, place, isBluish), 0);
    }
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList { QStringLiteral("chart.bmp") });
}

void TestChartPanel::failedWriteKeepsTheExistingFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("old.bmp"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("earlier picture");
    file.close();

    // An empty image cannot be encoded: the write fails after the file was opened.
    const QString failure = writeBitmapFile(QImage(), path);
    QVERIFY(!failure.isEmpty());
    QVERIFY(failure.contains(path));
    QCOMPARE(fileBytes(path), QByteArray("earlier picture"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
        QStringList { QStringLiteral("old.bmp") });
}

void TestChartPanel::ownerIsAskedForClearEnlargeRestore()
{
    Fixture f;
    QSignalSpy clear(&f.panel, &ChartPanel::clearRequested);
    QSignalSpy enlarge(&f.panel, &ChartPanel::enlargeRequested);
    QSignalSpy restore(&f.panel, &ChartPanel::restoreRequested);

    QTest::mouseClick(f.control("BtNew"), Qt::LeftButton);
    QTest::mouseClick(f.control("TbFd"), Qt::LeftButton, {}, QPoint(12, 12));
    QCOMPARE(clear.size(), 1);
    QCOMPARE(enlarge.size(), 1);
    QCOMPARE(restore.size(), 0);

    // The owner enlarges the panel; the chart fills it and the tool row keeps its places.
    const QRect fillPlace = f.control("BtFill")->geometry();
    f.panel.resize(735, 458);
    f.panel.showEnlarged(true);
    QCOMPARE(f.panel.chart()->geometry(), QRect(0, 0, 735, 458));
    QCOMPARE(f.control("BtFill")->geometry(), fillPlace);
    QCOMPARE(f.panel.chart()->picture().size(), QSize(735, 458));
    QVERIFY(!f.control("TbFd")->isVisible());
    QVERIFY(f.control("TbSx")->isVisible());
    QTest::mouseClick(f.control("TbSx"), Qt::LeftButton, {}, QPoint(12, 12));
    QCOMPARE(restore.size(), 1);
    f.panel.showEnlarged(false);
    QVERIFY(f.control("TbFd")->isVisible());
    QVERIFY(!f.control("TbSx")->isVisible());
}

QTEST_MAIN(TestChartPanel)
#include "tst_chartpanel.moc"
