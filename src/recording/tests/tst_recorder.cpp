// SPDX-License-Identifier: MIT
#include "recording/ReadingTable.h"
#include "recording/Recorder.h"

#include <QTest>

namespace {

// Runs a script of operator and meter events against a KM50_60 recorder and
// returns the rows as "No=Value". Events: "r:V" a reading with Value V,
// "t" a sampling tick, "i:T" interval text T, "s+"/"s-" sampling on/off,
// "p+"/"p-" repeat on/off, "l:N" record limit N, "c" the clear command.
struct Script
{
    CurrentReading reading;
    ReadingTable table { MeterModel::Km50_60 };
    Recorder recorder { MeterModel::Km50_60, table, reading };

    Script()
    {
        recorder.setClock([] { return QTime(12, 0, 0); });
    }

    QStringList run(const QStringList &events)
    {
        for (const QString &e : events) {
            const QString arg = e.section(u':', 1);
            if (e.startsWith(u"r:")) {
                reading.Value = arg;
                reading.Unit = QStringLiteral("V");
                recorder.INDataToTable(1);
            } else if (e == u"t") {
                recorder.SampInterTimeTimer();
            } else if (e.startsWith(u"i:")) {
                recorder.RecordSITimeChange(arg);
            } else if (e == u"s+" || e == u"s-") {
                recorder.setRecordSI(e == u"s+");
            } else if (e == u"p+" || e == u"p-") {
                recorder.setRepeatSet(e == u"p+");
            } else if (e.startsWith(u"l:")) {
                recorder.setRecordLimit(arg.toInt());
            } else if (e == u"c") {
                recorder.ClearRClick();
            } else {
                qFatal("bad script event %s", qPrintable(e));
            }
        }
        QStringList rows;
        for (int r = 0; r < table.rowCount(); ++r)
            rows << table.fieldText(r, 0) + u'=' + table.fieldText(r, 2);
        return rows;
    }
};

QStringList times(const QString &event, int n)
{
    return QStringList(n, event);
}

} // namespace

class TestRecorder : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void policy_data();
    void policy();
    void limitOfOneThousandThenFiveThousand();
    void recordingTestChangesNothing();
    void intervalTexts_data();
    void intervalTexts();
    void intervalKeys();
    void km90RowAndRepeatRuleOnValueOnly();
    void clearReportsRowsAndKeepsState();
    void limitChoices();
    void timeStamp();
    void timeSeparatorOfLocale_data();
    void timeSeparatorOfLocale();
};

void TestRecorder::policy_data()
{
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<int>("counter");

    QTest::newRow("repeat off leaves gaps")
        << QStringList { "p-", "r:1.0", "r:1.0", "r:2.0", "r:2.0", "r:1.0" }
        << QStringList { "1=1.0", "3=2.0", "5=1.0" } << 6;
    QTest::newRow("repeat on writes every reading")
        << QStringList { "r:1.0", "r:1.0", "r:1.0" } << QStringList { "1=1.0", "2=1.0", "3=1.0" }
        << 4;
    QTest::newRow("limit reached stops counting")
        << QStringList { "l:3", "r:a", "r:b", "r:c", "r:d", "r:e" }
        << QStringList { "1=a", "2=b", "3=c" } << 4;
    QTest::newRow("larger limit resumes numbering")
        << QStringList { "l:2", "r:a", "r:b", "r:c", "l:5", "r:d" }
        << QStringList { "1=a", "2=b", "3=d" } << 4;
    QTest::newRow("limit below counter stops at once") << QStringList { "r:a", "r:b", "r:c", "l:2",
        "r:d" } << QStringList { "1=a", "2=b", "3=c" } << 4;
    QTest::newRow("sampling 10 from the start") << QStringList { "s+", "r:a", "r:b" }
            + times("t", 9) + QStringList { "r:c", "t", "r:d", "r:e" }
                                                << QStringList { "1=a", "2=d" } << 3;
    QTest::newRow("rows while sampling was off load the count-down")
        << QStringList { "r:a", "s+", "r:b" } + times("t", 10) + QStringList { "r:c" }
        << QStringList { "1=a", "2=c" } << 3;
    QTest::newRow("count-down does not run while sampling is off")
        << QStringList { "r:a" } + times("t", 10) + QStringList { "s+", "r:b" }
        << QStringList { "1=a" } << 2;
    QTest::newRow("interval 0 takes every reading")
        << QStringList { "i:0", "s+", "r:a", "r:b", "r:c" } << QStringList { "1=a", "2=b", "3=c" }
        << 4;
    QTest::newRow("empty interval counts as 0")
        << QStringList { "i:", "s+", "r:a", "r:b" } << QStringList { "1=a", "2=b" } << 3;
    QTest::newRow("repeat at count-down 0 is counted, not written, no restart")
        << QStringList { "p-", "i:2", "s+", "t", "t", "r:a", "t", "t", "r:a", "r:b" }
        << QStringList { "1=a", "3=b" } << 4;
    QTest::newRow("equal value after clear is counted first")
        << QStringList { "p-", "r:a", "c", "r:a", "r:b" } << QStringList { "2=b" } << 3;
    QTest::newRow("other mode is ignored") << QStringList {} << QStringList {} << 1;
}

void TestRecorder::policy()
{
    QFETCH(QStringList, events);
    QFETCH(QStringList, rows);
    QFETCH(int, counter);

    Script s;
    QCOMPARE(s.run(events), rows);
    QCOMPARE(s.recorder.RecordCounter(), counter);
    QVERIFY(!s.recorder.INDataToTable(0));
    QVERIFY(!s.recorder.INDataToTable(2));
    QCOMPARE(s.recorder.RecordCounter(), counter);
}

void TestRecorder::limitOfOneThousandThenFiveThousand()
{
    Script s;
    QCOMPARE(s.recorder.recordLimitChoice(), 2); // "10000" is checked at start
    QVERIFY(s.recorder.setRecordLimitChoice(0)); // "1000"
    for (int i = 0; i < 1005; ++i)
        s.run({ QStringLiteral("r:%1").arg(i) });
    QCOMPARE(s.table.rowCount(), 1000);
    QCOMPARE(s.table.fieldText(999, 0), QStringLiteral("1000"));
    QCOMPARE(s.recorder.RecordCounter(), 1001);
    QVERIFY(s.recorder.setRecordLimitChoice(1)); // "5000"
    QCOMPARE(s.recorder.RecordLimit(), 5000);
    s.run({ QStringLiteral("r:x") });
    QCOMPARE(s.table.rowCount(), 1001);
    QCOMPARE(s.table.fieldText(1000, 0), QStringLiteral("1001"));
}

void TestRecorder::recordingTestChangesNothing()
{
    Script s;
    s.run({ "p-", "i:3", "s+", "t", "t", "t", "r:a" }); // setting the interval loads the count-down
    QVERIFY(!s.recorder.RecordingTest()); // count-down running
    s.run({ "t", "t", "t" });
    s.reading.Value = QStringLiteral("a");
    QVERIFY(!s.recorder.RecordingTest()); // repeat of the last value
    s.reading.Value = QStringLiteral("b");
    QVERIFY(s.recorder.RecordingTest());
    QVERIFY(s.recorder.RecordingTest());
    QCOMPARE(s.recorder.RecordCounter(), 2);
    QCOMPARE(s.recorder.SampleCountdown(), 0);
    QCOMPARE(s.table.rowCount(), 1);
}

void TestRecorder::intervalTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("countdown");

    QTest::newRow("number") << "25" << true << 25;
    QTest::newRow("leading zeros") << "007" << true << 7;
    QTest::newRow("plus sign") << "+7" << true << 7;
    QTest::newRow("lone minus") << "-" << true << 0;
    QTest::newRow("lone plus") << "+" << true << 0;
    QTest::newRow("empty") << "" << true << 0;
    QTest::newRow("largest 32-bit") << "2147483647" << true << 2147483647;
    QTest::newRow("one beyond 32 bits") << "2147483648" << false << 10;
    QTest::newRow("many digits") << "99999999999999999999" << false << 10;
    QTest::newRow("negative") << "-5" << false << 10;
    QTest::newRow("minus zero") << "-0" << true << 0;
    QTest::newRow("letters") << "1O" << false << 10;
    QTest::newRow("blank inside") << "1 0" << false << 10;
    QTest::newRow("trailing blank") << "5 " << false << 10;
    QTest::newRow("two signs") << "+-5" << false << 10;
    QTest::newRow("smallest 32-bit") << "-2147483648" << false << 10;
    QTest::newRow("fraction") << "2.5" << false << 10;
}

void TestRecorder::intervalTexts()
{
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    QFETCH(int, countdown);

    Script s;
    s.run({ "r:a" }); // count-down now holds the interval, 10
    QCOMPARE(s.recorder.SampleCountdown(), 10);
    QCOMPARE(s.recorder.RecordSITimeChange(text), accepted);
    QCOMPARE(s.recorder.SampleCountdown(), countdown);
    QCOMPARE(s.recorder.RecordSITime(), accepted ? text : QStringLiteral("10"));
}

void TestRecorder::intervalKeys()
{
    for (QChar c : QStringLiteral("0123456789\b"))
        QVERIFY(Recorder::RecordSITimeKeyPress(c));
    for (QChar c : QStringLiteral("-+. aA\t\r"))
        QVERIFY(!Recorder::RecordSITimeKeyPress(c));
}

void TestRecorder::km90RowAndRepeatRuleOnValueOnly()
{
    CurrentReading reading;
    ReadingTable table(MeterModel::Km90);
    Recorder recorder(MeterModel::Km90, table, reading);
    recorder.setClock([] { return QTime(9, 5, 7); });
    recorder.setTimeSeparator(u':');
    recorder.setRepeatSet(false);

    reading = { QStringLiteral("123.4"), QStringLiteral("KW"), QStringLiteral("230.1"),
        QStringLiteral("v"), QStringLiteral("5.360"), QStringLiteral("A") };
    QVERIFY(recorder.INDataToTable(1));
    QStringList row;
    for (int c = 0; c < table.columnCount(); ++c)
        row << table.fieldText(0, c);
    QCOMPARE(row, (QStringList { "1", "09:05:07", "123.4", "KW", "230.1", "v", "5.360", "A" }));

    reading.V_Value = QStringLiteral("231.0"); // voltage and current alone do not make a row
    reading.I_Value = QStringLiteral("6.000");
    reading.Unit = QStringLiteral("KVA");
    QVERIFY(!recorder.INDataToTable(1));
    QCOMPARE(table.rowCount(), 1);
    QCOMPARE(recorder.RecordCounter(), 3);
}

void TestRecorder::clearReportsRowsAndKeepsState()
{
    Script s;
    QVERIFY(!s.recorder.ClearRClick()); // empty table
    s.run({ "i:4", "p-", "r:a", "r:b" });
    s.recorder.setRecordLimit(5000);
    QVERIFY(s.recorder.ClearRClick());
    QCOMPARE(s.table.rowCount(), 0);
    QCOMPARE(s.recorder.RecordCounter(), 1);
    QCOMPARE(s.recorder.LastRecordedValue(), QStringLiteral("b"));
    QCOMPARE(s.recorder.SampleCountdown(), 4);
    QCOMPARE(s.recorder.RecordLimit(), 5000);
    QVERIFY(!s.recorder.RepeatSet());
}

void TestRecorder::limitChoices()
{
    QStringList captions;
    for (const RecordLimitChoice &choice : recordLimitChoices())
        captions << QStringLiteral("%1 %2 %3")
                        .arg(QLatin1String(choice.name), QLatin1String(choice.caption))
                        .arg(choice.limit);
    QCOMPARE(captions,
        (QStringList { "set1k 1000 1000", "set5k 5000 5000", "set10k 10000 10000",
            "set50k 50000 50000", "set100k 100000 100000", "setlimit Limitless 10000000" }));

    Script s;
    QVERIFY(s.recorder.setRecordLimitChoice(5));
    QCOMPARE(s.recorder.RecordLimit(), 10000000);
    QCOMPARE(s.recorder.recordLimitChoice(), 5);
    QVERIFY(!s.recorder.setRecordLimitChoice(6));
    QVERIFY(!s.recorder.setRecordLimitChoice(-1));
    QCOMPARE(s.recorder.RecordLimit(), 10000000);
    s.recorder.setRecordLimit(1234); // no menu item for it
    QCOMPARE(s.recorder.recordLimitChoice(), -1);
}

void TestRecorder::timeStamp()
{
    // The clock runs across midnight; rows of one second share a time text.
    const QList<QTime> clock { QTime(23, 59, 59, 100), QTime(23, 59, 59, 900), QTime(0, 0, 0, 0),
        QTime(7, 3, 9, 999) };
    Script s;
    qsizetype tick = 0;
    s.recorder.setClock([&] { return clock[tick++]; });
    s.recorder.setTimeSeparator(u'.');
    s.run({ "r:a", "r:b", "r:c" });
    s.recorder.setTimeSeparator(u':');
    s.run({ "r:d" });
    QStringList times;
    for (int r = 0; r < s.table.rowCount(); ++r)
        times << s.table.fieldText(r, s.table.columnIndex(u"Time"));
    QCOMPARE(times, (QStringList { "23.59.59", "23.59.59", "00.00.00", "07:03:09" }));
}

void TestRecorder::timeSeparatorOfLocale_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QChar>("separator");
    QTest::newRow("C") << "C" << QChar(u':');
    QTest::newRow("English") << "en_US" << QChar(u':');
    QTest::newRow("Finnish") << "fi_FI" << QChar(u'.');
}

void TestRecorder::timeSeparatorOfLocale()
{
    QFETCH(QString, locale);
    QFETCH(QChar, separator);
    QCOMPARE(Recorder::timeSeparatorOf(QLocale(locale)), separator);
}

QTEST_GUILESS_MAIN(TestRecorder)
#include "tst_recorder.moc"
