// SPDX-License-Identifier: MIT
#include "journal/JournalKeeper.h"
#include "journal/JournalReader.h"
#include "journal/RecordingJournal.h"
#include "recording/ReadingTable.h"
#include "recording/Recorder.h"

#include <QDir>
#include <QFile>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <csignal>

#include <sys/resource.h>

namespace {

// The rows of a table as text, one line per row, for comparisons.
QStringList rowsOf(const ReadingTable &table)
{
    QStringList out;
    for (int r = 0; r < table.rowCount(); ++r) {
        QStringList fields;
        for (int c = 0; c < table.columnCount(); ++c)
            fields << (table.isNull(r, c) ? QStringLiteral("<null>") : table.fieldText(r, c));
        out << fields.join(u'|');
    }
    return out;
}

void addRow(ReadingTable &table, int no, const QString &value, const QString &unit = "KW")
{
    table.appendRow(no,
        QStringList {
            "12:00:0" + QString::number(no % 10), value, unit, "230.1", "V", QString(), "A" });
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

RecordingJournal::Options quietOptions()
{
    RecordingJournal::Options o;
    o.program = QStringLiteral("KM90");
    o.sync = [](int) { return true; }; // no real flushes: the tests run fast
    o.syncDelayMs = 1;
    o.retryMs = 20;
    return o;
}

// A small journal with every kind of record, and the table after each record.
struct Sample
{
    QByteArray bytes;
    QList<qsizetype> recordEnds; // file size after each record (the header first)
    QList<QStringList> tableAfter; // the table's rows after each record
};

Sample writeSample(const QString &path)
{
    Sample s;
    ReadingTable table(MeterModel::Km90);
    RecordingJournal journal(table, path, quietOptions());
    const auto mark = [&] {
        journal.handOver();
        s.recordEnds << QFileInfo(path).size();
        s.tableAfter << rowsOf(table);
    };
    journal.start();
    mark();
    addRow(table, 1, "1.234");
    mark();
    addRow(table, 2, "OL", QString(QChar(0x2103))); // a text beyond ASCII
    mark();
    table.clear();
    mark();
    addRow(table, 3, "-0.5");
    mark();
    ReadingTable opened(MeterModel::Km90);
    addRow(opened, 7, "7.0");
    addRow(opened, 8, "8.0");
    table.takeRowsFrom(opened); // an opened file: Replace, two rows, ReplaceEnd
    mark();
    addRow(table, 9, "9.9");
    mark();
    s.bytes = fileBytes(path);
    return s;
}

// The start of a journal of a KM90 table: the file's first bytes and a header.
QByteArray journalStart(quint16 version)
{
    QByteArray bytes(JournalFormat::Magic, JournalFormat::MagicSize);
    JournalFormat::Header h;
    h.version = version;
    h.program = "KM90";
    h.columns = ReadingTable(MeterModel::Km90).columnNames();
    JournalFormat::appendRecord(
        bytes, JournalFormat::Type::Header, JournalFormat::headerPayload(h));
    return bytes;
}

// A row's time, offset and No as every row record holds them.
QByteArray rowHead(qint32 no)
{
    QByteArray p;
    JournalFormat::putI64(p, 1760000000000 + no);
    JournalFormat::putI16(p, 60);
    p.append(char(1));
    JournalFormat::putU32(p, quint32(no));
    return p;
}

QByteArray varint(quint32 v)
{
    char b[JournalFormat::MaxVarintSize];
    return QByteArray(b, JournalFormat::putVarint(b, v) - b);
}

} // namespace

class TestJournal : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void givesBackEveryChange();
    void tornTailAtEveryLength();
    void flippedByteAtEveryPosition();
    void newerVersionIsLeftAlone();
    void twoInstancesKeepTheirOwn();
    void cleanExitKeepsOnlyUnsavedRows();
    void restoreGoesOnInTheLeftJournal();
    void damagedAndUnreadableJournalsAtStart();
    void fullDiskStopsAndResumes();
    void vanishedFolderStopsAndResumes();
    void slowDiskDoesNotHoldUpHandOver();
    void handedOverRowsAreFlushed();
    void versionOneJournalsAreStillRead();
    void wellSealedNonsenseIsDamage_data();
    void wellSealedNonsenseIsDamage();
    void manyTextsGoOnAfterRestore();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString path(const QString &name) const { return m_dir->filePath(name); }
};

void TestJournal::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestJournal::givesBackEveryChange()
{
    const Sample s = writeSample(path("a.kmj"));
    const JournalContents c = readJournal(path("a.kmj"), MeterModel::Km90);
    QCOMPARE(c.status, JournalContents::Status::Complete);
    QCOMPARE(c.header.program, QStringLiteral("KM90"));
    QCOMPARE(rowsOf(*c.table), s.tableAfter.last());
    QCOMPARE(c.validBytes, s.bytes.size());
    QCOMPARE(c.unreadableRecords, 0);
    // The recording times cover the rows in the table: the replacement's and the last one.
    QVERIFY(c.firstMs > 0 && c.lastMs >= c.firstMs);
    // Another program's journal is not taken for this one's.
    QCOMPARE(readJournal(path("a.kmj"), MeterModel::Km50_60).status,
        JournalContents::Status::Unreadable);
}

void TestJournal::tornTailAtEveryLength()
{
    const Sample s = writeSample(path("a.kmj"));
    for (qsizetype length = 0; length <= s.bytes.size(); ++length) {
        const JournalContents c = readJournalBytes(s.bytes.first(length), MeterModel::Km90);
        // The table after the last record that is whole within the length.
        int whole = -1;
        while (whole + 1 < s.recordEnds.size() && s.recordEnds[whole + 1] <= length)
            ++whole;
        const QStringList expected = whole < 0 ? QStringList() : s.tableAfter[whole];
        if (whole < 0 && length > JournalFormat::MagicSize) {
            // A header cut short is put aside as unreadable, never taken for empty.
            QVERIFY2(!c.usable(), qPrintable(QString::number(length)));
            continue;
        }
        QVERIFY2(c.usable(), qPrintable(QString::number(length)));
        QVERIFY2(rowsOf(*c.table) == expected, qPrintable(QString::number(length)));
        const bool onABoundary
            = length == s.bytes.size() || (whole >= 0 && s.recordEnds[whole] == length);
        if (whole >= 0 && !onABoundary)
            QVERIFY2(c.unreadableRecords >= 1, qPrintable(QString::number(length)));
        if (whole >= 0)
            QVERIFY(c.validBytes <= length);
    }
}

void TestJournal::flippedByteAtEveryPosition()
{
    const Sample s = writeSample(path("a.kmj"));
    const qsizetype headerEnd = s.recordEnds.first();
    for (qsizetype pos = 0; pos < s.bytes.size(); ++pos) {
        QByteArray bytes = s.bytes;
        bytes[pos] = char(bytes[pos] ^ 0x5A);
        const JournalContents c = readJournalBytes(bytes, MeterModel::Km90);
        if (pos < headerEnd) {
            QVERIFY2(!c.usable(), qPrintable(QString::number(pos)));
            continue;
        }
        // Every change before the damaged record comes back, nothing after it.
        int before = 0;
        while (s.recordEnds[before + 1] <= pos)
            ++before;
        QVERIFY2(c.status == JournalContents::Status::Damaged, qPrintable(QString::number(pos)));
        QVERIFY2(rowsOf(*c.table) == s.tableAfter[before], qPrintable(QString::number(pos)));
        QVERIFY2(c.unreadableRecords >= 1, qPrintable(QString::number(pos)));
    }
}

void TestJournal::newerVersionIsLeftAlone()
{
    QByteArray bytes(JournalFormat::Magic, JournalFormat::MagicSize);
    JournalFormat::Header h;
    h.version = JournalFormat::Version + 1;
    h.program = "KM90";
    h.columns = ReadingTable(MeterModel::Km90).columnNames();
    JournalFormat::appendRecord(
        bytes, JournalFormat::Type::Header, JournalFormat::headerPayload(h));
    QCOMPARE(
        readJournalBytes(bytes, MeterModel::Km90).status, JournalContents::Status::NewerVersion);

    QDir().mkpath(path("journals"));
    const QString left = path("journals/KM90-20260101-000000-000-1.kmj");
    QFile f(left);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    ReadingTable table(MeterModel::Km90);
    CurrentReading reading;
    Recorder recorder(MeterModel::Km90, table, reading);
    JournalKeeper keeper(table, recorder, { path("journals"), quietOptions() });
    QVERIFY(keeper.start());
    int asked = 0, told = 0;
    keeper.offerLeftJournals(
        [&](const QString &) {
            ++asked;
            return JournalKeeper::Answer::Restore;
        },
        [&](const QString &) { ++told; });
    QCOMPARE(asked, 0);
    QCOMPARE(fileBytes(left), bytes); // untouched, for the program that wrote it
}

void TestJournal::twoInstancesKeepTheirOwn()
{
    ReadingTable t1(MeterModel::Km90), t2(MeterModel::Km90);
    CurrentReading reading;
    Recorder r1(MeterModel::Km90, t1, reading), r2(MeterModel::Km90, t2, reading);
    auto first = std::make_unique<JournalKeeper>(
        t1, r1, JournalKeeper::Options { path("j"), quietOptions() });
    QVERIFY(first->start());
    addRow(t1, 1, "1.0");
    first->handOver();
    const QString firstPath = first->journal()->path();

    JournalKeeper second(t2, r2, { path("j"), quietOptions() });
    QThread::msleep(2); // the journals' names carry their start time to the millisecond
    QVERIFY(second.start());
    QVERIFY(second.journal()->path() != firstPath);
    // A running instance's journal is not a left one, and is never offered.
    QVERIFY(second.leftJournals().isEmpty());
    int asked = 0;
    second.offerLeftJournals(
        [&](const QString &) {
            ++asked;
            return JournalKeeper::Answer::Discard;
        },
        [](const QString &) {});
    QCOMPARE(asked, 0);
    QVERIFY(QFile::exists(firstPath));

    first.reset(); // ends with an unsaved row: its journal stays, now a left one
    QCOMPARE(second.leftJournals(), QStringList { firstPath });
}

void TestJournal::cleanExitKeepsOnlyUnsavedRows()
{
    struct Case
    {
        const char *name;
        int rows;
        bool saved;
        bool kept;
    };
    for (const Case &k : { Case { "empty", 0, false, false }, Case { "saved", 2, true, false },
             Case { "unsaved", 2, false, true } }) {
        ReadingTable table(MeterModel::Km90);
        CurrentReading reading;
        Recorder recorder(MeterModel::Km90, table, reading);
        QString journalPath;
        {
            JournalKeeper keeper(table, recorder, { path(k.name), quietOptions() });
            QVERIFY(keeper.start());
            for (int i = 1; i <= k.rows; ++i)
                addRow(table, i, "1.0");
            if (k.saved)
                keeper.markSaved(path("saved.xls"));
            journalPath = keeper.journal()->path();
            keeper.finish();
        }
        QVERIFY2(QFile::exists(journalPath) == k.kept, k.name);
        QVERIFY2(!QFile::exists(journalPath + ".lock"), k.name);
    }
}

void TestJournal::restoreGoesOnInTheLeftJournal()
{
    QStringList recorded;
    QString leftPath;
    {
        ReadingTable table(MeterModel::Km90);
        CurrentReading reading;
        Recorder recorder(MeterModel::Km90, table, reading);
        JournalKeeper keeper(table, recorder, { path("j"), quietOptions() });
        QVERIFY(keeper.start());
        for (int i = 1; i <= 5; ++i)
            addRow(table, i, QString::number(i));
        keeper.handOver();
        recorded = rowsOf(table);
        leftPath = keeper.journal()->path();
    } // unsaved: the journal stays

    ReadingTable table(MeterModel::Km90);
    CurrentReading reading;
    Recorder recorder(MeterModel::Km90, table, reading);
    JournalKeeper keeper(table, recorder, { path("j"), quietOptions() });
    QThread::msleep(2);
    QVERIFY(keeper.start());
    const QString ownPath = keeper.journal()->path();
    QString question;
    keeper.offerLeftJournals(
        [&](const QString &text) {
            question = text;
            return JournalKeeper::Answer::Restore;
        },
        [](const QString &) {});
    QVERIFY(question.startsWith("The last recording of 5 readings ("));
    QVERIFY(question.endsWith(") was not saved. Restore it?"));
    QCOMPARE(rowsOf(table), recorded);
    // Numbering goes on after the restored rows.
    QCOMPARE(recorder.RecordCounter(), 6);
    // The left journal is the window's own now; the fresh one is gone.
    QCOMPARE(keeper.journal()->path(), leftPath);
    QVERIFY(!QFile::exists(ownPath));
    reading.Value = "6";
    reading.Unit = "KW";
    QVERIFY(recorder.INDataToTable(1));
    keeper.handOver();
    const JournalContents c = readJournal(leftPath, MeterModel::Km90);
    QCOMPARE(c.status, JournalContents::Status::Complete);
    QCOMPARE(rowsOf(*c.table), rowsOf(table));
    QCOMPARE(c.table->rowCount(), 6);
}

void TestJournal::damagedAndUnreadableJournalsAtStart()
{
    QDir().mkpath(path("j"));
    // A torn journal: rows before the damage are offered, and the question says
    // how many records were lost.
    const Sample s = writeSample(path("j/KM90-20260101-000000-000-1.kmj"));
    QFile torn(path("j/KM90-20260101-000000-000-1.kmj"));
    QVERIFY(torn.resize(s.recordEnds[2] + 5));
    // An unreadable one: renamed aside, never deleted, and told.
    QFile junk(path("j/KM90-20260102-000000-000-2.kmj"));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("not a journal at all");
    junk.close();

    ReadingTable table(MeterModel::Km90);
    CurrentReading reading;
    Recorder recorder(MeterModel::Km90, table, reading);
    JournalKeeper keeper(table, recorder, { path("j"), quietOptions() });
    QVERIFY(keeper.start());
    QStringList asked, told;
    keeper.offerLeftJournals(
        [&](const QString &text) {
            asked << text;
            return JournalKeeper::Answer::Later;
        },
        [&](const QString &text) { told << text; });
    QCOMPARE(told.size(), 1);
    QVERIFY(told.first().contains("could not be read"));
    QVERIFY(QFile::exists(path("j/KM90-20260102-000000-000-2.kmj.unreadable")));
    QCOMPARE(asked.size(), 1);
    QVERIFY(asked.first().startsWith("The last recording of 2 readings"));
    QVERIFY(asked.first().contains("1 records at its end could not be read"));
    // Later: kept for the next start, and the table stays empty.
    QVERIFY(QFile::exists(path("j/KM90-20260101-000000-000-1.kmj")));
    QCOMPARE(table.rowCount(), 0);
}

void TestJournal::fullDiskStopsAndResumes()
{
    // A file-size limit stands in for a full disk: writes beyond it fail.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old {};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
    ReadingTable table(MeterModel::Km90);
    RecordingJournal journal(table, path("full.kmj"), quietOptions());
    QSignalSpy stopped(&journal, &RecordingJournal::stopped);
    QSignalSpy resumed(&journal, &RecordingJournal::resumed);
    QVERIFY(journal.start());
    rlimit small = old;
    small.rlim_cur = rlim_t(QFileInfo(path("full.kmj")).size() + 300);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    for (int i = 1; i <= 40; ++i) {
        addRow(table, i, QString::number(i));
        journal.handOver(); // recording goes on in memory whatever the journal does
    }
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &old), 0);
    QCOMPARE(table.rowCount(), 40);
    QCOMPARE(stopped.count(), 1); // said once, not per frame
    QVERIFY(!journal.isWriting());
    // Space again: the journal starts afresh with the whole table.
    QTRY_COMPARE(resumed.count(), 1);
    addRow(table, 41, "41");
    journal.handOver();
    QCOMPARE(rowsOf(*readJournal(path("full.kmj"), MeterModel::Km90).table), rowsOf(table));
}

void TestJournal::vanishedFolderStopsAndResumes()
{
    ReadingTable table(MeterModel::Km90);
    RecordingJournal journal(table, path("gone/a.kmj"), quietOptions());
    QSignalSpy stopped(&journal, &RecordingJournal::stopped);
    QSignalSpy resumed(&journal, &RecordingJournal::resumed);
    QVERIFY(journal.start());
    addRow(table, 1, "1");
    journal.handOver();
    QVERIFY(QDir(path("gone")).removeRecursively());
    addRow(table, 2, "2");
    journal.handOver();
    QCOMPARE(stopped.count(), 1);
    QVERIFY(stopped.first().first().toString().contains("removed"));
    QTRY_COMPARE(resumed.count(), 1); // the folder is made again
    QCOMPARE(rowsOf(*readJournal(path("gone/a.kmj"), MeterModel::Km90).table), rowsOf(table));
}

void TestJournal::slowDiskDoesNotHoldUpHandOver()
{
    // A flush that does not come back until the test lets it: writes must go on.
    QSemaphore release;
    std::atomic<int> flushes { 0 };
    RecordingJournal::Options o = quietOptions();
    o.sync = [&](int) {
        ++flushes;
        release.acquire();
        return true;
    };
    ReadingTable table(MeterModel::Km90);
    {
        RecordingJournal journal(table, path("slow.kmj"), o);
        QVERIFY(journal.start());
        QTRY_COMPARE(flushes.load(), 1); // the first flush hangs
        for (int i = 1; i <= 50; ++i) {
            addRow(table, i, QString::number(i));
            journal.handOver();
        }
        // Every row reached the file while the flush still hangs.
        QCOMPARE(flushes.load(), 1);
        QCOMPARE(readJournal(path("slow.kmj"), MeterModel::Km90).table->rowCount(), 50);
        release.release(100);
    }
}

void TestJournal::handedOverRowsAreFlushed()
{
    std::atomic<int> flushes { 0 };
    RecordingJournal::Options o = quietOptions();
    o.sync = [&](int fd) {
        ++flushes;
        return fd >= 0;
    };
    ReadingTable table(MeterModel::Km90);
    RecordingJournal journal(table, path("f.kmj"), o);
    QVERIFY(journal.start());
    QTRY_VERIFY(!journal.flushPending());
    const int before = flushes;
    addRow(table, 1, "1");
    journal.handOver();
    QTRY_VERIFY(flushes > before);
}

void TestJournal::versionOneJournalsAreStillRead()
{
    // A journal left by the first version, rows with their texts in full.
    QByteArray bytes = journalStart(1);
    const int textColumns = ReadingTable(MeterModel::Km90).columnCount() - 1;
    for (qint32 no = 1; no <= 2; ++no) {
        QByteArray p = rowHead(no);
        for (int c = 0; c < textColumns; ++c) {
            const QByteArray text
                = c == 1 ? QString(QChar(0x2103)).toUtf8() : "v" + QByteArray::number(no);
            if (c == 2) {
                p.append(char(JournalFormat::NullField));
                continue;
            }
            p.append(char(text.size()));
            p.append(text);
        }
        JournalFormat::appendRecord(bytes, JournalFormat::Type::Row, p);
    }
    const JournalContents c = readJournalBytes(bytes, MeterModel::Km90);
    QCOMPARE(c.status, JournalContents::Status::Complete);
    QCOMPARE(c.table->rowCount(), 2);
    QCOMPARE(c.table->fieldText(1, 0), QStringLiteral("2"));
    QCOMPARE(c.table->fieldText(1, 1), QStringLiteral("v2"));
    QCOMPARE(c.table->fieldText(1, 2), QString(QChar(0x2103)));
    QVERIFY(c.table->isNull(1, 3));
    QCOMPARE(c.lastMs, 1760000000002);
}

void TestJournal::wellSealedNonsenseIsDamage_data()
{
    // Records whose check is right but whose content no program writes: the
    // rows before them come back, the journal counts as damaged.
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<QByteArray>("payload");
    const int textColumns = ReadingTable(MeterModel::Km90).columnCount() - 1;
    const auto row = [&](quint32 firstId, const QByteArray &defined) {
        QByteArray p = defined + rowHead(5);
        for (int c = 0; c < textColumns; ++c)
            p += varint(c == 0 ? firstId : 0);
        return p;
    };
    const QByteArray textRow(1, char(JournalFormat::Type::TextRow));
    const QByteArray texts(1, char(JournalFormat::Type::Texts));
    QTest::newRow("text number beyond the dictionary") << textRow << row(100, varint(0));
    QTest::newRow("text bytes beyond the record")
        << textRow << row(2, varint(1) + varint(40) + "x");
    QTest::newRow("varint longer than five bytes")
        << textRow << QByteArray(6, char(0x80)) + rowHead(5);
    QTest::newRow("trailing bytes") << textRow << row(1, varint(0)) + "x";
    QTest::newRow("texts numbered from 0") << texts << varint(0) + varint(1) + "a";
    QTest::newRow("texts after a gap") << texts << varint(100) + varint(1) + "a";
}

void TestJournal::wellSealedNonsenseIsDamage()
{
    QFETCH(QByteArray, type);
    QFETCH(QByteArray, payload);
    ReadingTable table(MeterModel::Km90);
    {
        RecordingJournal journal(table, path("n.kmj"), quietOptions());
        QVERIFY(journal.start());
        addRow(table, 1, "1.0");
        journal.handOver();
    }
    QByteArray bytes = fileBytes(path("n.kmj"));
    JournalFormat::appendRecord(bytes, JournalFormat::Type(type[0]), payload);
    const JournalContents c = readJournalBytes(bytes, MeterModel::Km90);
    QCOMPARE(c.status, JournalContents::Status::Damaged);
    QCOMPARE(rowsOf(*c.table), rowsOf(table));
    QCOMPARE(c.unreadableRecords, 1);
}

void TestJournal::manyTextsGoOnAfterRestore()
{
    // More distinct texts than one record may define: a restored table's
    // dictionary is written again in several records, and the rows recorded
    // after the restore refer to it.
    constexpr int Rows = 6000;
    {
        ReadingTable table(MeterModel::Km90);
        RecordingJournal journal(table, path("m.kmj"), quietOptions());
        QVERIFY(journal.start());
        for (int i = 1; i <= Rows; ++i)
            addRow(table, i, QString::number(i * 0.5, 'f', 1));
        journal.handOver();
    }
    JournalContents left = readJournal(path("m.kmj"), MeterModel::Km90);
    QCOMPARE(left.status, JournalContents::Status::Complete);
    QCOMPARE(left.table->rowCount(), Rows);
    QVERIFY(left.table->textCount() > 4096 + 10);

    ReadingTable table(MeterModel::Km90);
    RecordingJournal journal(table, path("own.kmj"), quietOptions());
    journal.setMuted(true);
    table.takeRowsFrom(*left.table);
    journal.setMuted(false);
    QVERIFY(journal.adopt(path("m.kmj"), left.validBytes));
    addRow(table, Rows + 1, "7.5"); // a text the restored rows hold
    addRow(table, Rows + 2, "new");
    table.appendRow(
        Rows + 3, QStringList { "12:00:03", "1.0", QString(QChar(0x2103)), "230.1", "V", "", "A" });
    journal.handOver();
    const JournalContents c = readJournal(path("m.kmj"), MeterModel::Km90);
    QCOMPARE(c.status, JournalContents::Status::Complete);
    QCOMPARE(rowsOf(*c.table), rowsOf(table));
}

QTEST_GUILESS_MAIN(TestJournal)
#include "tst_journal.moc"
