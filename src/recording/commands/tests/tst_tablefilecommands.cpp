// SPDX-License-Identifier: MIT
#include "recording/commands/TableFileCommands.h"

#include "dialogs/RecordingUserDialogs.h"
#include "recording/ReadingTable.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

namespace {

MeterModel modelOf(bool km90)
{
    return km90 ? MeterModel::Km90 : MeterModel::Km50_60;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString rowsOf(const ReadingTable &table)
{
    QStringList rows;
    for (int r = 0; r < table.rowCount(); ++r) {
        QStringList fields;
        for (int c = 0; c < table.columnCount(); ++c)
            fields << table.fieldText(r, c);
        rows << fields.join(u'|');
    }
    return rows.join(u'\n');
}

// A command with its table, recording dialogs and window, logging the window's
// part (grid, repaint, general error report) in order.
struct Fixture
{
    explicit Fixture(bool km90)
        : table(modelOf(km90))
        , commands(table, dialogs, &window)
    {
        QObject::connect(
            &commands, &TableFileCommands::detachGridRequested, [this] { log << "detach"; });
        QObject::connect(
            &commands, &TableFileCommands::attachGridRequested, [this] { log << "attach"; });
        QObject::connect(
            &commands, &TableFileCommands::repaintRequested, [this] { log << "repaint"; });
        QObject::connect(&commands, &TableFileCommands::errorRaised,
            [this](const QString &message) { log << "error " + message; });
        if (km90) {
            table.appendRow(1, QStringList { "10:00:00", "1.5", "KW", "230.0", "v", "6.5", "A" });
            table.appendRow(2, QStringList { "10:00:01", "OL", QStringLiteral("\u2103") });
        } else {
            table.appendRow(1, QStringList { "10:00:00", "1.5", "V" });
            table.appendRow(2, QStringList { "10:00:01", "OL", QStringLiteral("\u2211") });
        }
    }

    QString messages() const
    {
        QStringList lines;
        for (const auto &call : dialogs.messages()) {
            lines << QStringLiteral("%1|%2|%3|%4")
                         .arg(call.icon == UserDialogs::Icon::Error ? "error" : "information",
                             call.caption, call.text,
                             call.parent == &window ? "window"
                                 : call.hadParent   ? "other"
                                                    : "none");
        }
        return lines.join(u'\n');
    }

    QTemporaryDir dir;
    QWidget window;
    RecordingUserDialogs dialogs;
    ReadingTable table;
    TableFileCommands commands;
    QStringList log;
};

// Rows for a file of more than a mebibyte, which is written and read in
// several pieces.
void fillRows(ReadingTable &table, int rows)
{
    QStringList texts { QString(), QString(), "KW", QString(), "V", QString(), "A" };
    texts.resize(table.columnCount() - 1);
    for (int i = 0; i < rows; ++i) {
        texts[0] = QStringLiteral("11:%1:%2").arg(i / 60 % 60).arg(i % 60);
        texts[1] = QString::number(i);
        if (texts.size() > 3)
            texts[3] = QString::number(i % 977);
        QVERIFY(table.appendRow(100 + i, texts));
    }
}

// What the window is asked to do while a command visits the rows.
QStringList windowLog(bool repainted)
{
    if (repainted)
        return { "detach", "repaint", "attach" };
    return { "detach", "attach" };
}

} // namespace

class TestTableFileCommands : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void saveDialogRequest_data();
    void saveDialogRequest();
    void saveByExtension_data();
    void saveByExtension();
    void saveFailure_data();
    void saveFailure();
    void cancelDoesNothing();
    void openRoundTrip_data();
    void openRoundTrip();
    void openFailure_data();
    void openFailure();
    void cancelledJobLeavesFileAndTableAsTheyWere_data();
    void cancelledJobLeavesFileAndTableAsTheyWere();
    void jobsReachTheirEnd_data();
    void jobsReachTheirEnd();
    void rowsRecordedDuringAJob_data();
    void rowsRecordedDuringAJob();
};

void TestTableFileCommands::saveDialogRequest_data()
{
    QTest::addColumn<bool>("km90");
    QTest::addColumn<QString>("secondStartName"); // the name the second save offers
    QTest::newRow("km90 always starts empty") << true << "";
    QTest::newRow("km50 offers the last name") << false << "t.xls";
}

void TestTableFileCommands::saveDialogRequest()
{
    QFETCH(bool, km90);
    QFETCH(QString, secondStartName);
    Fixture f(km90);
    const QString path = f.dir.filePath(QStringLiteral("t.xls"));
    f.dialogs.queueFileName(path);
    f.dialogs.queueFileName(QString()); // the second time the user cancels
    QVERIFY(f.commands.Save_asClick());
    QVERIFY(!f.commands.Save_asClick());

    QList<RecordingUserDialogs::Call> calls;
    for (const auto &call : f.dialogs.calls()) {
        if (call.kind != RecordingUserDialogs::Kind::Job) // the save's job: see the job tests
            calls.append(call);
    }
    QCOMPARE(calls.size(), 3); // save dialog, success box, save dialog
    for (int i : { 0, 2 }) {
        QCOMPARE(calls[i].kind, RecordingUserDialogs::Kind::Save);
        QCOMPARE(calls[i].parent.data(), &f.window);
        QCOMPARE(calls[i].file.filter,
            QStringLiteral("Excel File(*.xls)|*.xls|XML(*.xml)|*.xml|Txt File(*.txt)|*.txt"));
        QCOMPARE(calls[i].file.defaultSuffix, QStringLiteral("xls"));
        QVERIFY(calls[i].file.confirmOverwrite);
    }
    QCOMPARE(calls[0].file.fileName, QString());
    QCOMPARE(calls[2].file.fileName,
        secondStartName.isEmpty() ? QString() : f.dir.filePath(secondStartName));
}

void TestTableFileCommands::saveByExtension_data()
{
    QTest::addColumn<bool>("km90");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("written"); // the file that appears
    QTest::addColumn<bool>("xml");
    QTest::addColumn<bool>("told"); // success box shown
    QTest::addColumn<bool>("repainted");
    QTest::newRow("km90 xls") << true << "t.xls"
                              << "t.xls" << false << true << true;
    QTest::newRow("km90 txt") << true << "t.txt"
                              << "t.txt" << false << true << true;
    QTest::newRow("km90 no extension gets xls") << true << "t"
                                                << "t.xls" << false << true << true;
    QTest::newRow("km90 xml, silently") << true << "t.xml"
                                        << "t.xml" << true << false << false;
    QTest::newRow("km90 XML is text") << true << "t.XML"
                                      << "t.XML" << false << true << true;
    QTest::newRow("km50 xls") << false << "t.xls"
                              << "t.xls" << false << true << true;
    QTest::newRow("km50 no extension gets xls") << false << "t"
                                                << "t.xls" << false << true << true;
    QTest::newRow("km50 xml") << false << "t.xml"
                              << "t.xml" << true << true << true;
    QTest::newRow("km50 XML is xml too") << false << "t.XML"
                                         << "t.XML" << true << true << true;
}

void TestTableFileCommands::saveByExtension()
{
    QFETCH(bool, km90);
    QFETCH(QString, chosen);
    QFETCH(QString, written);
    QFETCH(bool, xml);
    QFETCH(bool, told);
    QFETCH(bool, repainted);
    Fixture f(km90);
    const QString path = f.dir.filePath(written);
    f.dialogs.queueFileName(f.dir.filePath(chosen));
    QVERIFY(f.commands.Save_asClick());

    QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files), QStringList { written });
    const QByteArray bytes = readAll(path);
    QCOMPARE(bytes.startsWith("<?xml"), xml);
    if (!xml)
        QVERIFY(bytes.startsWith(km90 ? "No\tTime\tValue\t" : "No\ttime\tValue\tUnit\r\n1\t"));
    QCOMPARE(f.messages(),
        told ? "information|Information|Save table to specified file: " + path + " Scuss!|window"
             : QString());
    QCOMPARE(f.log, windowLog(repainted));
}

void TestTableFileCommands::saveFailure_data()
{
    QTest::addColumn<bool>("km90");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<bool>("box"); // the save command's own error box, else the general report
    QTest::newRow("km90 text") << true << "missing/t.txt" << true;
    QTest::newRow("km90 xml") << true << "missing/t.xml" << false;
    QTest::newRow("km50 text") << false << "missing/t.xls" << true;
    QTest::newRow("km50 xml") << false << "missing/t.XML" << false;
}

void TestTableFileCommands::saveFailure()
{
    QFETCH(bool, km90);
    QFETCH(QString, chosen);
    QFETCH(bool, box);
    Fixture f(km90);
    const QString path = f.dir.filePath(chosen);
    f.dialogs.queueFileName(path);
    QVERIFY(!f.commands.Save_asClick());
    QVERIFY(!QFile::exists(path));
    QCOMPARE(f.table.rowCount(), 2);
    if (box) {
        QCOMPARE(f.messages(),
            "error|Error|Could not save table to specified file: " + path + "|window");
        QCOMPARE(f.log, (QStringList { "detach", "repaint", "attach" }));
    } else {
        QCOMPARE(f.messages(), QString());
        // The error reaches the general report once the grid is back.
        QCOMPARE(f.log.size(), 3);
        QCOMPARE(f.log.mid(0, 2), (QStringList { "detach", "attach" }));
        QVERIFY(f.log[2].startsWith("error "));
        QVERIFY(f.log[2].contains(path));
    }
}

void TestTableFileCommands::cancelDoesNothing()
{
    for (bool km90 : { true, false }) {
        Fixture f(km90);
        QVERIFY(!f.commands.Save_asClick());
        QVERIFY(!f.commands.OpenClick());
        QCOMPARE(f.log, QStringList());
        QCOMPARE(f.dialogs.messages().size(), 0);
        QCOMPARE(f.table.rowCount(), 2);
        QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files), QStringList());
    }
}

void TestTableFileCommands::openRoundTrip_data()
{
    QTest::addColumn<bool>("km90");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("outcome"); // text appends, XML replaces
    QTest::newRow("km90 xls") << true << "t.xls"
                              << "append";
    QTest::newRow("km90 XML saved and opened as text") << true << "t.XML"
                                                       << "append";
    QTest::newRow("km90 xml") << true << "t.xml"
                              << "replace";
    QTest::newRow("km50 txt") << false << "t.txt"
                              << "append";
    QTest::newRow("km50 xml") << false << "t.xml"
                              << "replace";
    QTest::newRow("km50 XML saved as xml, opened as text") << false << "t.XML"
                                                           << "fail";
}

void TestTableFileCommands::openRoundTrip()
{
    QFETCH(bool, km90);
    QFETCH(QString, name);
    QFETCH(QString, outcome);
    Fixture f(km90);
    const QString path = f.dir.filePath(name);
    const QString saved = rowsOf(f.table);
    f.dialogs.queueFileName(path);
    QVERIFY(f.commands.Save_asClick());
    f.table.appendRow(3, QStringList { "10:00:02" });
    const QString before = rowsOf(f.table);
    f.dialogs.clear();
    f.log.clear();

    f.dialogs.queueFileName(path);
    QCOMPARE(f.commands.OpenClick(), outcome != "fail");
    const auto open = f.dialogs.calls().first();
    QCOMPARE(open.kind, RecordingUserDialogs::Kind::Open);
    QCOMPARE(open.file.filter, TableFileCommands::fileFilter());
    QCOMPARE(open.file.defaultSuffix, QString());
    QCOMPARE(open.parent.data(), &f.window);
    // Empty fields come back from a text file as the text NULL.
    const QString reread = km90 ? QStringLiteral("1|10:00:00|1.5|KW|230.0|v|6.5|A\n"
                                                 "2|10:00:01|OL|\u2103|NULL|NULL|NULL|NULL")
                                : QStringLiteral("1|10:00:00|1.5|V\n2|10:00:01|OL|\u2211");
    if (outcome == "append")
        QCOMPARE(rowsOf(f.table), before + "\n" + reread);
    else if (outcome == "replace")
        QCOMPARE(rowsOf(f.table), saved);
    else
        QCOMPARE(rowsOf(f.table), before);
    QCOMPARE(f.messages(), outcome == "fail" ? "error|Error|Failed to Load File!|none" : QString());
    QCOMPARE(f.log, windowLog(!km90)); // only KM50_60 repaints after an open
}

void TestTableFileCommands::openFailure_data()
{
    QTest::addColumn<bool>("km90");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // empty: the file is not there
    QTest::addColumn<int>("rowsAdded");
    QTest::newRow("km90 missing file") << true << "none.xls" << QByteArray() << 0;
    QTest::newRow("km90 too many tokens after a row")
        << true << "t.txt" << QByteArray("h\r\n5\ta\r\n6\ta b c d e f g h\r\n7\tb\r\n") << 1;
    QTest::newRow("km90 bad xml") << true << "t.xml" << QByteArray("<DATAPACKET>") << 0;
    QTest::newRow("km50 missing file") << false << "none.txt" << QByteArray() << 0;
    QTest::newRow("km50 No not a number") << false << "t.txt" << QByteArray("h\r\nx\r\n") << 0;
    QTest::newRow("km50 xml of the other program")
        << false << "t.xml"
        << QByteArray("<DATAPACKET><METADATA><FIELDS><FIELD attrname=\"No\" fieldtype=\"i4\"/>"
                      "</FIELDS></METADATA><ROWDATA/></DATAPACKET>")
        << 0;
}

void TestTableFileCommands::openFailure()
{
    QFETCH(bool, km90);
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(int, rowsAdded);
    Fixture f(km90);
    const QString path = f.dir.filePath(name);
    if (!content.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    f.dialogs.queueFileName(path);
    QVERIFY(!f.commands.OpenClick());
    QCOMPARE(f.table.rowCount(), 2 + rowsAdded);
    QCOMPARE(f.messages(),
        QStringLiteral("error|Error|Failed to Load File!|") + (km90 ? "window" : "none"));
    QCOMPARE(f.log, windowLog(!km90)); // only KM50_60 repaints after an open
}

void TestTableFileCommands::cancelledJobLeavesFileAndTableAsTheyWere_data()
{
    QTest::addColumn<bool>("km90");
    QTest::addColumn<bool>("save");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("existing");
    QTest::newRow("km90 save text, new file") << true << true << "t.xls" << false;
    QTest::newRow("km90 save text over a file") << true << true << "t.xls" << true;
    QTest::newRow("km90 save xml over a file") << true << true << "t.xml" << true;
    QTest::newRow("km50 save xml over a file") << false << true << "t.xml" << true;
    QTest::newRow("km90 open text") << true << false << "t.xls" << true;
    QTest::newRow("km90 open xml") << true << false << "t.xml" << true;
    QTest::newRow("km50 open text") << false << false << "t.txt" << true;
}

void TestTableFileCommands::cancelledJobLeavesFileAndTableAsTheyWere()
{
    QFETCH(bool, km90);
    QFETCH(bool, save);
    QFETCH(QString, name);
    QFETCH(bool, existing);
    Fixture f(km90);
    fillRows(f.table, 50000);
    const QString path = f.dir.filePath(name);
    QByteArray old = "not a table";
    if (!save) {
        // A complete file of the table to open.
        f.dialogs.queueFileName(path);
        QVERIFY(f.commands.Save_asClick());
        old = readAll(path);
        QVERIFY(old.size() > 1 << 20);
    } else if (existing) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(old);
    }
    const QString rowsBefore = rowsOf(f.table);
    f.dialogs.clear();
    f.dialogs.queueFileName(path);
    f.dialogs.queueJobCancel(0.5);
    QVERIFY(!(save ? f.commands.Save_asClick() : f.commands.OpenClick()));

    const auto calls = f.dialogs.calls();
    QCOMPARE(calls.size(), 2); // the file dialog and the job; nothing said after it
    QCOMPARE(calls[1].kind, RecordingUserDialogs::Kind::Job);
    QVERIFY(calls[1].jobCanceled);
    QVERIFY(calls[1].jobDone < calls[1].jobTotal); // stopped half-way
    QVERIFY(!f.log.contains(QStringLiteral("error"), Qt::CaseInsensitive));
    QCOMPARE(rowsOf(f.table), rowsBefore);
    if (existing)
        QCOMPARE(readAll(path), old);
    const QStringList left = QDir(f.dir.path()).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(left, existing ? QStringList { name } : QStringList {});
}

void TestTableFileCommands::jobsReachTheirEnd_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("text") << "t.xls";
    QTest::newRow("xml") << "t.xml";
}

void TestTableFileCommands::jobsReachTheirEnd()
{
    QFETCH(QString, name);
    Fixture f(true);
    fillRows(f.table, 30000);
    const QString path = f.dir.filePath(name);
    f.dialogs.queueFileName(path);
    f.dialogs.queueFileName(path);
    QVERIFY(f.commands.Save_asClick());
    QVERIFY(f.commands.OpenClick());
    int jobs = 0;
    for (const auto &call : f.dialogs.calls()) {
        if (call.kind != RecordingUserDialogs::Kind::Job)
            continue;
        ++jobs;
        QVERIFY(!call.jobCanceled);
        QVERIFY(call.jobTotal > 30000);
        QCOMPARE(call.jobDone, call.jobTotal);
    }
    QCOMPARE(jobs, 2);
}

void TestTableFileCommands::rowsRecordedDuringAJob_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("text") << "t.xls";
    QTest::newRow("xml") << "t.xml";
}

void TestTableFileCommands::rowsRecordedDuringAJob()
{
    // Frames go on adding rows while a file is saved or opened.
    QFETCH(QString, name);
    Fixture f(true);
    fillRows(f.table, 30000);
    const QString path = f.dir.filePath(name);
    QStringList saved;
    connect(
        &f.commands, &TableFileCommands::tableSaved, [&saved](const QString &p) { saved << p; });
    int added = 0;
    QTimer recorder;
    connect(&recorder, &QTimer::timeout,
        [&] { f.table.appendRow(900000 + added++, QStringList { "late" }); });

    // The file holds the rows the table had at the click; the journal is not
    // told the table was saved, since it now holds rows the file does not.
    const int rowsAtSave = f.table.rowCount();
    f.dialogs.queueFileName(path);
    recorder.start(0);
    QVERIFY(f.commands.Save_asClick());
    recorder.stop();
    QVERIFY(added > 0);
    QVERIFY(saved.isEmpty());
    ReadingTable reread(MeterModel::Km90);
    QVERIFY(TableFiles::ReadTableFile(path, reread).ok);
    QCOMPARE(reread.rowCount(), rowsAtSave);

    // A quiet save is announced.
    f.dialogs.queueFileName(path);
    QVERIFY(f.commands.Save_asClick());
    QCOMPARE(saved, QStringList { path });

    // Opening: the file's rows where a quick open puts them, then the rows
    // recorded while it was read.
    const bool appends = name.endsWith(QStringLiteral(".xls"));
    const int before = f.table.rowCount();
    added = 0;
    f.dialogs.queueFileName(path);
    recorder.start(0);
    QVERIFY(f.commands.OpenClick());
    recorder.stop();
    QVERIFY(added > 0);
    const int fileCount = before; // the second save wrote every row there was
    QCOMPARE(f.table.rowCount(), (appends ? before : 0) + fileCount + added);
    const int first = appends ? before : 0;
    QCOMPARE(f.table.fieldText(first, 0), QStringLiteral("1")); // the file's first row
    QCOMPARE(f.table.fieldText(f.table.rowCount() - 1, 1), QStringLiteral("late"));
    QCOMPARE(f.table.fieldText(first + fileCount, 0), QStringLiteral("900000"));
}

QTEST_MAIN(TestTableFileCommands)
#include "tst_tablefilecommands.moc"
