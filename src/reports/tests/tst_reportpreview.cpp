// SPDX-License-Identifier: MIT
#include "dialogs/RecordingUserDialogs.h"
#include "recording/ReadingTable.h"
#include "reports/MajPrint.h"
#include "reports/ReportFiles.h"
#include "reports/ReportPainter.h"
#include "reports/ReportPreview.h"
#include "reports/ReportPrinters.h"
#include "reports/tests/PdfTools.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPrinter>
#include <QScrollBar>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <memory>

namespace {

// Printers for tests: a list of names, and a print dialog that sends the job to
// a PDF file with a scripted page range.
class FakePrinters : public ReportPrinters
{
public:
    QStringList printerNames() override { return names; }
    QString defaultPrinterName() override { return names.value(0); }
    bool setUpPrinter(QPrinter &, QWidget *) override
    {
        ++setups;
        return true;
    }
    bool choosePrintOptions(QPrinter &printer, int pages, QWidget *) override
    {
        ++dialogs;
        pageCountShown = pages;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(outputFile);
        printer.setPrintRange(range);
        printer.setFromTo(from, to);
        return accept;
    }

    QStringList names;
    QString outputFile;
    QPrinter::PrintRange range = QPrinter::AllPages;
    int from = 0;
    int to = 0;
    bool accept = true;
    int setups = 0;
    int dialogs = 0;
    int pageCountShown = 0;
};

std::unique_ptr<ReadingTable> tableOf(MeterModel model, int rows)
{
    auto table = std::make_unique<ReadingTable>(model);
    for (int i = 1; i <= rows; ++i)
        table->appendRow(i, QStringList { "10:00:00", QString::number(i), "V" });
    return table;
}

struct Fixture
{
    explicit Fixture(int rows, MeterModel model = MeterModel::Km50_60)
        : table(tableOf(model, rows))
    {
        preview = MajPrintClick(*table, dialogs, printers, &window,
            { [this] { log.append(QStringLiteral("stop")); },
                [this] { log.append(QStringLiteral("follow")); } },
            QStringLiteral("3/4/25"));
    }
    ~Fixture() { delete preview.data(); }

    void trigger(const char *action) { preview->action(action)->trigger(); }

    QWidget window;
    std::unique_ptr<ReadingTable> table;
    RecordingUserDialogs dialogs;
    FakePrinters printers;
    QStringList log;
    QPointer<ReportPreview> preview;
};

} // namespace

class TestReportPreview : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void previewOpensOverTheTableAsItIs();
    void pagesAreBrowsedByTheCommands();
    void zoomFitsThePageOrItsWidthOrShowsItsRealSize();
    void printingWithoutAPrinterSaysSo();
    void printingSendsTheChosenPages();
    void toolRowKeepsItsPlaces();
    void toolsWorkFromTheKeyboard();
    void saveWritesTheFormatOfTheName_data();
    void saveWritesTheFormatOfTheName();
    void longJobsKeepServingTimers();
    void cancelledJobLeavesNoFileAndSaysNothing_data();
    void cancelledJobLeavesNoFileAndSaysNothing();
    void rowsRecordedDuringAJobAreLeftOut();
    void savedReportLoadsBackIntoAPreview();
    void failedSaveOrLoadIsShown_data();
    void failedSaveOrLoadIsShown();

private:
    QTemporaryDir m_dir;
};

void TestReportPreview::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QApplication::setFont(QFont(reportFontFamily(), 9));
}

void TestReportPreview::previewOpensOverTheTableAsItIs()
{
    Fixture f(75);
    QVERIFY(f.preview);
    QCOMPARE(f.log, QStringList { "stop" });
    QCOMPARE(f.preview->windowTitle(), QStringLiteral("Print Preview"));
    QVERIFY(f.preview->isVisible());
    QCOMPARE(f.preview->windowModality(), Qt::ApplicationModal);
    QCOMPARE(f.preview->parentWidget(), &f.window);
    QCOMPARE(f.preview->pageCount(), 3);
    QCOMPARE(f.preview->report().stamp().allPage, QStringLiteral("3"));
    QCOMPARE(f.preview->currentPage(), 1);

    // Rows recorded while the preview is open wait for the next report.
    for (int i = 0; i < 40; ++i)
        f.table->appendRow(76 + i, QStringList { "10:00:01", "OL" });
    QCOMPARE(f.preview->pageCount(), 3);

    f.trigger("closePreview");
    QCOMPARE(f.log, (QStringList { "stop", "follow" }));
    QTRY_VERIFY(!f.preview); // deleted once closed

    // KM90 has no page count in its footer.
    Fixture km90(1, MeterModel::Km90);
    QCOMPARE(km90.preview->report().stamp().allPage, QString());
    QCOMPARE(km90.preview->report().title(), QStringLiteral("KM90 Data Report"));
    km90.preview->reject();
    QCOMPARE(km90.log, (QStringList { "stop", "follow" }));
}

void TestReportPreview::pagesAreBrowsedByTheCommands()
{
    Fixture f(75);
    auto *pageBox = f.preview->findChild<QSpinBox *>(QStringLiteral("pageBox"));
    QVERIFY(pageBox);
    struct Step
    {
        const char *action; // nullptr: type the page into the page box
        int typed;
        int page;
    };
    const Step steps[] = {
        { "nextPage", 0, 2 },
        { "lastPage", 0, 3 },
        { "nextPage", 0, 3 },
        { "priorPage", 0, 2 },
        { "firstPage", 0, 1 },
        { "priorPage", 0, 1 },
        { nullptr, 3, 3 },
        { nullptr, 2, 2 },
    };
    for (const Step &step : steps) {
        if (step.action)
            f.trigger(step.action);
        else
            pageBox->setValue(step.typed);
        const QByteArray where
            = step.action ? QByteArray(step.action) : QByteArray::number(step.typed);
        QVERIFY2(f.preview->currentPage() == step.page, where.constData());
        QCOMPARE(f.preview->pageView()->page(), step.page);
        QCOMPARE(pageBox->value(), step.page);
        QCOMPARE(f.preview->action("firstPage")->isEnabled(), step.page > 1);
        QCOMPARE(f.preview->action("lastPage")->isEnabled(), step.page < 3);
    }
}

void TestReportPreview::zoomFitsThePageOrItsWidthOrShowsItsRealSize()
{
    Fixture f(10);
    f.preview->resize(700, 820);
    QVERIFY(QTest::qWaitForWindowExposed(f.preview));
    ReportPageView *view = f.preview->pageView();
    const QRect viewport = view->viewport()->rect();

    f.trigger("fitPage");
    QRectF page = view->pageRect();
    QVERIFY(QRectF(viewport).contains(page));
    QVERIFY(qAbs(page.height() - (viewport.height() - 24)) < 1.5
        || qAbs(page.width() - (viewport.width() - 24)) < 1.5);
    QVERIFY(!view->verticalScrollBar()->isVisible());

    f.trigger("zoom100");
    QCOMPARE(view->zoomFactor(), 1.0);
    QVERIFY(qAbs(view->pageRect().width() - 210 / 25.4 * view->logicalDpiX()) < 0.5);
    QTRY_VERIFY(view->verticalScrollBar()->isVisible());

    f.trigger("pageWidth");
    QTRY_VERIFY(view->verticalScrollBar()->isVisible());
    page = view->pageRect();
    QVERIFY2(qAbs(page.width() - (view->viewport()->width() - 24)) < 1.5,
        qPrintable(QString::number(page.width())));
    // Scrolling down moves the page up.
    const double top = page.top();
    view->verticalScrollBar()->setValue(100);
    QCOMPARE(view->pageRect().top(), top - 100);
}

void TestReportPreview::printingWithoutAPrinterSaysSo()
{
    Fixture f(5);
    for (const char *command : { "print", "printerSetup" }) {
        f.dialogs.clear();
        f.trigger(command);
        const auto messages = f.dialogs.messages();
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages[0].text.contains(QStringLiteral("No printer is installed")));
        QCOMPARE(messages[0].caption, QStringLiteral("Print Preview"));
    }
    QCOMPARE(f.printers.dialogs, 0);
    QCOMPARE(f.printers.setups, 0);
}

void TestReportPreview::printingSendsTheChosenPages()
{
    REQUIRE_POPPLER();
    Fixture f(75);
    f.printers.names = QStringList { "Office" };
    f.printers.outputFile = m_dir.filePath(QStringLiteral("printed.pdf"));

    QVERIFY(f.preview->printerSetup());
    QCOMPARE(f.printers.setups, 1);

    f.printers.range = QPrinter::CurrentPage;
    f.preview->lastPage();
    QVERIFY(f.preview->printReport());
    QCOMPARE(f.printers.pageCountShown, 3);
    QCOMPARE(PdfTools::pageCount(f.printers.outputFile), 1);
    QVERIFY(PdfTools::pageText(f.printers.outputFile, 1)
                .simplified()
                .endsWith(QStringLiteral("The Page 3 Of 3")));

    f.printers.range = QPrinter::PageRange;
    f.printers.from = 1;
    f.printers.to = 2;
    QVERIFY(f.preview->printReport());
    QCOMPARE(PdfTools::pageCount(f.printers.outputFile), 2);

    // A cancelled print dialog prints nothing and says nothing.
    QFile::remove(f.printers.outputFile);
    f.printers.accept = false;
    QVERIFY(!f.preview->printReport());
    QVERIFY(!QFile::exists(f.printers.outputFile));
    QVERIFY(f.dialogs.messages().isEmpty());
}

void TestReportPreview::toolRowKeepsItsPlaces()
{
    // One page, then a report of 2706 pages: the tools after the page box stay put.
    Fixture shortReport(1);
    Fixture longReport(2706 * 37);
    QCOMPARE(longReport.preview->pageCount(), 2706);
    QList<QRect> places[2];
    Fixture *fixtures[] = { &shortReport, &longReport };
    for (int i = 0; i < 2; ++i) {
        ReportPreview &preview = *fixtures[i]->preview;
        preview.resize(760, 600);
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        auto *tools = preview.findChild<QToolBar *>(QStringLiteral("previewTools"));
        QVERIFY(tools);
        for (const char *name : { "nextPage", "lastPage", "printerSetup", "print", "closePreview" })
            places[i] << tools->widgetForAction(preview.action(name))->geometry();
        const QLabel *of = preview.findChild<QLabel *>(QStringLiteral("pageOf"));
        QVERIFY(of->width() >= of->sizeHint().width()); // " of 2706 " is whole
    }
    QCOMPARE(places[1], places[0]);
}

void TestReportPreview::toolsWorkFromTheKeyboard()
{
    Fixture f(75);
    ReportPreview &preview = *f.preview;
    preview.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&preview));
    auto *tools = preview.findChild<QToolBar *>(QStringLiteral("previewTools"));
    QWidget *next = tools->widgetForAction(preview.action("nextPage"));
    QWidget *pageWidth = tools->widgetForAction(preview.action("pageWidth"));
    // Tab from the page box reaches the next-page tool, Space presses it.
    preview.findChild<QSpinBox *>(QStringLiteral("pageBox"))->setFocus(Qt::TabFocusReason);
    for (int i = 0; i < 3 && QApplication::focusWidget() != next; ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), next);
    QTest::keyClick(next, Qt::Key_Space);
    QCOMPARE(preview.currentPage(), 2);
    // The zoom tools, which have no keys of their own, too.
    pageWidth->setFocus(Qt::TabFocusReason);
    QCOMPARE(QApplication::focusWidget(), pageWidth);
    QTest::keyClick(pageWidth, Qt::Key_Space);
    QCOMPARE(preview.pageView()->zoom(), ReportPageView::Zoom::PageWidth);
}

void TestReportPreview::saveWritesTheFormatOfTheName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("filter"); // chosen in the dialog, -1 not known
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QByteArray>("start");
    QTest::newRow("report file") << "r.kmr" << 0 << "r.kmr"
                                 << "report file" << QByteArray("KMRP");
    QTest::newRow("pdf by its name") << "r.PDF" << -1 << "r.PDF"
                                     << "PDF document" << QByteArray("%PDF");
    QTest::newRow("pdf chosen, no extension") << "r" << 1 << "r.pdf"
                                              << "PDF document" << QByteArray("%PDF");
    QTest::newRow("text chosen") << "r" << 2 << "r.txt"
                                 << "text file" << QByteArray(" ");
    QTest::newRow("csv name against the pdf filter")
        << "r.csv" << 1 << "r.csv"
        << "CSV file" << QByteArray("No,Time,Value,Unit\r\n");
    QTest::newRow("html chosen") << "r" << 4 << "r.html"
                                 << "HTML document" << QByteArray("<!DOCTYPE html>");
    QTest::newRow("htm by its name") << "r.htm" << 0 << "r.htm"
                                     << "HTML document" << QByteArray("<!DOCTYPE html>");
    QTest::newRow("filter not known") << "r" << -1 << "r.kmr"
                                      << "report file" << QByteArray("KMRP");
    QTest::newRow("name ending in a dot") << "r." << 1 << "r.pdf"
                                          << "PDF document" << QByteArray("%PDF");
}

void TestReportPreview::saveWritesTheFormatOfTheName()
{
    QFETCH(QString, name);
    QFETCH(int, filter);
    QFETCH(QString, written);
    QFETCH(QString, format);
    QFETCH(QByteArray, start);
    Fixture f(3);
    const QString path = m_dir.filePath(written);
    QFile::remove(path);
    f.dialogs.queueFileName(m_dir.filePath(name), filter);
    f.trigger("saveReport");
    // A PDF is written as a job with its progress; it reached its end.
    QList<RecordingUserDialogs::Call> calls;
    for (const auto &call : f.dialogs.calls()) {
        if (call.kind != RecordingUserDialogs::Kind::Job) {
            calls.append(call);
            continue;
        }
        QCOMPARE(format, QStringLiteral("PDF document"));
        QVERIFY(!call.jobCanceled);
        QCOMPARE(call.jobTotal, f.preview->pageCount());
        QCOMPARE(call.jobDone, call.jobTotal);
    }
    QCOMPARE(calls.size(), 2);
    QCOMPARE(calls[0].file.filter, ReportPreview::saveFilter());
    QCOMPARE(calls[0].file.defaultSuffix, QStringLiteral("kmr"));
    QVERIFY(calls[0].file.suffixFollowsFilter);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().startsWith(start));
    // It says what it wrote where.
    QCOMPARE(calls[1].kind, RecordingUserDialogs::Kind::Message);
    QCOMPARE(calls[1].icon, UserDialogs::Icon::Information);
    QCOMPARE(calls[1].caption, QStringLiteral("Information"));
    QVERIFY2(
        calls[1].text.contains(format) && calls[1].text.contains(path), qPrintable(calls[1].text));

    // A cancelled dialog writes and says nothing.
    f.dialogs.clear();
    f.dialogs.queueFileName(QString());
    QVERIFY(!f.preview->saveReport());
    QVERIFY(f.dialogs.messages().isEmpty());
}

void TestReportPreview::longJobsKeepServingTimers()
{
    // Meter frames and timers reach the main thread as events: they must be
    // served while a long report is written or printed.
    Fixture f(20 * 37);
    f.printers.names = QStringList { "Office" };
    f.printers.outputFile = m_dir.filePath(QStringLiteral("long-print.pdf"));
    int ticks = 0;
    QTimer timer;
    timer.setInterval(0);
    QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start();

    QVERIFY(f.preview->saveReportTo(m_dir.filePath(QStringLiteral("long.pdf"))));
    QVERIFY(ticks > 0);
    ticks = 0;
    QVERIFY(f.preview->printReport());
    QVERIFY(ticks > 0);
}

void TestReportPreview::cancelledJobLeavesNoFileAndSaysNothing_data()
{
    QTest::addColumn<bool>("print");
    QTest::addColumn<bool>("existing");
    QTest::addColumn<double>("cancelAt");
    QTest::newRow("pdf, half-way") << false << false << 0.5;
    QTest::newRow("pdf over an old file, half-way") << false << true << 0.5;
    QTest::newRow("pdf, at once") << false << true << 0.0;
    QTest::newRow("print to a file, half-way") << true << false << 0.5;
    QTest::newRow("print over an old file, half-way") << true << true << 0.5;
}

void TestReportPreview::cancelledJobLeavesNoFileAndSaysNothing()
{
    QFETCH(bool, print);
    QFETCH(bool, existing);
    QFETCH(double, cancelAt);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("report.pdf"));
    const QByteArray old("the old file");
    if (existing) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(old);
    }
    Fixture f(10 * 37);
    f.printers.names = QStringList { "Office" };
    f.printers.outputFile = path;
    f.dialogs.queueJobCancel(cancelAt);
    QVERIFY(!(print ? f.preview->printReport() : f.preview->saveReportTo(path)));

    const auto calls = f.dialogs.calls();
    QCOMPARE(calls.size(), 1); // the job, and no message after it
    QCOMPARE(calls[0].kind, RecordingUserDialogs::Kind::Job);
    QVERIFY(calls[0].jobCanceled);
    QVERIFY(calls[0].jobDone < calls[0].jobTotal); // stopped before the end
    if (existing) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), old);
    }
    // Nothing else is left in the folder: no partial file, no temporary one.
    const QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(left, existing ? QStringList { QStringLiteral("report.pdf") } : QStringList {});
}

void TestReportPreview::rowsRecordedDuringAJobAreLeftOut()
{
    // Frames go on adding rows while the PDF is written from another thread;
    // the PDF holds the rows of the report on view.
    REQUIRE_POPPLER();
    Fixture f(40 * 37, MeterModel::Km90);
    QTimer recorder;
    int added = 0;
    connect(&recorder, &QTimer::timeout, [&] {
        for (int i = 0; i < 200; ++i) // crosses the table's storage blocks
            f.table->appendRow(100000 + added++, QStringList { "late" });
    });
    recorder.start(0);
    const QString path = m_dir.filePath(QStringLiteral("during.pdf"));
    QVERIFY(f.preview->saveReportTo(path));
    recorder.stop();
    QVERIFY(added > 0);
    QCOMPARE(PdfTools::pageCount(path), 40);
    QVERIFY(!PdfTools::pageText(path, 40).contains(QStringLiteral("late")));
}

void TestReportPreview::savedReportLoadsBackIntoAPreview()
{
    Fixture f(75);
    const QString path = m_dir.filePath(QStringLiteral("saved.kmr"));
    QVERIFY(f.preview->saveReportTo(path));
    const auto saved = f.preview->report().pageTexts(2);

    Fixture other(1, MeterModel::Km90);
    other.preview->lastPage();
    other.dialogs.queueFileName(path);
    other.trigger("loadReport");
    QCOMPARE(other.dialogs.calls().at(0).file.filter, ReportPreview::loadFilter());
    QCOMPARE(other.preview->pageCount(), 3);
    QCOMPARE(other.preview->currentPage(), 1);
    QCOMPARE(other.preview->findChild<QSpinBox *>(QStringLiteral("pageBox"))->maximum(), 3);
    QCOMPARE(other.preview->report().pageTexts(2), saved);
    QCOMPARE(other.preview->report().title(), QStringLiteral("Test Data"));
}

void TestReportPreview::failedSaveOrLoadIsShown_data()
{
    QTest::addColumn<bool>("save");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");
    QTest::newRow("unknown extension") << true << "r.doc"
                                       << "cannot be saved as";
    QTest::newRow("missing folder") << true << "no-such-folder/r.csv"
                                    << "was not saved";
    QTest::newRow("pdf into a missing folder") << true << "no-such-folder/r.pdf"
                                               << "was not saved";
    QTest::newRow("not a report file") << false << "r.kmr"
                                       << "could not be loaded";
    QTest::newRow("no such file") << false << "none.kmr"
                                  << "could not be loaded";
}

void TestReportPreview::failedSaveOrLoadIsShown()
{
    QFETCH(bool, save);
    QFETCH(QString, name);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    {
        QFile notAReport(dir.filePath(QStringLiteral("r.kmr")));
        QVERIFY(notAReport.open(QIODevice::WriteOnly));
        notAReport.write("No\tTime\tValue\tUnit\r\n");
    }
    Fixture f(38);
    f.preview->lastPage();
    QVERIFY(!(save ? f.preview->saveReportTo(path) : f.preview->loadReportFrom(path)));
    const auto messages = f.dialogs.messages();
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages[0].text.contains(message), qPrintable(messages[0].text));
    QCOMPARE(messages[0].icon, UserDialogs::Icon::Warning);
    if (save)
        QVERIFY(!QFile::exists(path));
    // The report on view stays as it was.
    QCOMPARE(f.preview->pageCount(), 2);
    QCOMPARE(f.preview->currentPage(), 2);
}

QTEST_MAIN(TestReportPreview)
#include "tst_reportpreview.moc"
