// SPDX-License-Identifier: MIT
#include "analysis/ReadingStatistics.h"
#include "analysis/TableStatistics.h"
#include "recording/ReadingTable.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include <map>

namespace {

// The statistics recomputed plainly from the whole table: every row read
// again, the lines found by (quantity, unit) in a map, the time gaps taken
// between neighbouring rows.
std::map<std::pair<QString, QString>, StatisticsLine> recompute(
    const ReadingTable &table, const QString &separator)
{
    std::map<std::pair<QString, QString>, StatisticsLine> lines;
    const int time = table.columnIndex(u"time");
    const QStringList quantities { "Value", "V_Value", "I_Value" };
    for (const QString &quantity : quantities) {
        const int valueColumn = table.columnIndex(quantity);
        if (valueColumn < 0)
            continue;
        const int unitColumn = table.columnIndex(QString(quantity).replace("Value", "Unit"));
        for (int row = 0; row < table.rowCount(); ++row) {
            const QString value = table.fieldText(row, valueColumn);
            if (value.isEmpty())
                continue;
            const QString unit = table.fieldText(row, unitColumn);
            StatisticsLine &line = lines[{ quantity, unit }];
            line.quantity = quantity;
            line.unit = unit;
            if (const auto v = ReadingStatistics::number(value, separator)) {
                line.minimum = line.count == 0 ? *v : std::min(line.minimum, *v);
                line.maximum = line.count == 0 ? *v : std::max(line.maximum, *v);
                ++line.count;
                line.sum += *v;
            } else {
                ++line.nonNumbers;
            }
            if (row > 0 && !table.fieldText(row - 1, valueColumn).isEmpty()
                && table.fieldText(row - 1, unitColumn) == unit) {
                const auto t0 = ReadingStatistics::secondsOfDay(table.fieldText(row - 1, time));
                const auto t1 = ReadingStatistics::secondsOfDay(table.fieldText(row, time));
                if (t0 && t1)
                    line.seconds += (*t1 - *t0 + 86400) % 86400;
            }
        }
    }
    return lines;
}

void compare(const ReadingStatistics &incremental,
    const std::map<std::pair<QString, QString>, StatisticsLine> &expected)
{
    QCOMPARE(incremental.lines().size(), expected.size());
    for (const StatisticsLine &line : incremental.lines()) {
        const auto it = expected.find({ line.quantity, line.unit });
        QVERIFY2(it != expected.end(), qPrintable(line.quantity + " " + line.unit));
        const StatisticsLine &e = it->second;
        QCOMPARE(line.count, e.count);
        QCOMPARE(line.nonNumbers, e.nonNumbers);
        if (e.count > 0) {
            QCOMPARE(line.minimum, e.minimum);
            QCOMPARE(line.maximum, e.maximum);
            QCOMPARE(line.sum, e.sum);
        }
        QCOMPARE(line.seconds, e.seconds);
    }
}

QString timeText(int seconds)
{
    seconds %= 86400;
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// A random KM90-like row: the main reading in one of a few units (changing
// now and then), OL sometimes, a voltage and current that may be missing.
QStringList randomRow(QRandomGenerator &random, int &clock, int &unitIndex)
{
    static const QStringList units { "KW", "V", "A", "PF", "KVA" };
    if (random.bounded(20) == 0)
        unitIndex = random.bounded(int(units.size()));
    clock += random.bounded(3); // the same second twice, or a gap
    const auto number = [&random] {
        return QString::number((random.bounded(200001) - 100000) / 100.0, 'f', 2).replace('.', ',');
    };
    QStringList row { timeText(clock) };
    row << (random.bounded(15) == 0 ? QStringLiteral("OL") : number()) << units[unitIndex];
    if (random.bounded(4) == 0)
        row << QString() << QString() << QString() << QString();
    else
        row << number() << "V" << number() << (random.bounded(30) == 0 ? "mA" : "A");
    return row;
}

} // namespace

class TestReadingStatistics : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void linesOfASmallTable();
    void energyOfPowerReadings_data();
    void energyOfPowerReadings();
    void timeStamps_data();
    void timeStamps();
    void randomTablesMatchARecomputation();
    void followsTheTableThroughClearAndOpen();
};

void TestReadingStatistics::linesOfASmallTable()
{
    ReadingTable table(MeterModel::Km50_60);
    const QStringList rows[] = {
        { "12:00:00", "1,5", "A" }, { "12:00:01", "OL", "A" }, { "12:00:02", "-0,5", "A" },
        { "12:00:03", "230", "V" }, // unit change: a line of its own
        { "12:00:04", "2.5", "A" }, // a full stop is read too
        { "12:00:05", "", "A" }, // no value: not counted
    };
    for (const QStringList &r : rows)
        QVERIFY(table.appendRow(1, std::span<const QString>(r.begin(), r.end())));

    ReadingStatistics s(QStringLiteral(","));
    s.rebuild(table);
    QCOMPARE(s.rowsSeen(), 6);
    QCOMPARE(s.lines().size(), size_t(2));
    const StatisticsLine &a = s.lines()[0];
    QCOMPARE(a.quantity, QStringLiteral("Value"));
    QCOMPARE(a.unit, QStringLiteral("A"));
    QCOMPARE(a.count, 3);
    QCOMPARE(a.nonNumbers, 1);
    QCOMPARE(a.minimum, -0.5);
    QCOMPARE(a.maximum, 2.5);
    QCOMPARE(a.mean(), 3.5 / 3);
    QCOMPARE(a.seconds, 2.0); // 12:00:00 - 12:00:02; the V row breaks the run
    QVERIFY(!a.isPower());
    QCOMPARE(s.lines()[1].unit, QStringLiteral("V"));
    QCOMPARE(s.lines()[1].count, 1);
}

void TestReadingStatistics::energyOfPowerReadings_data()
{
    QTest::addColumn<QString>("unit");
    QTest::addColumn<bool>("power");
    QTest::newRow("KW") << "KW" << true;
    QTest::newRow("W") << "W" << true;
    QTest::newRow("KVA") << "KVA" << true;
    QTest::newRow("KVAr") << "KVAr" << true;
    QTest::newRow("V") << "V" << false;
    QTest::newRow("KWh") << "KWh" << false;
    QTest::newRow("PF") << "PF" << false;
}

void TestReadingStatistics::energyOfPowerReadings()
{
    QFETCH(QString, unit);
    QFETCH(bool, power);
    // 2 and 4 KW over half an hour (23:45 to 00:15, across midnight): mean 3,
    // energy 1.5 KWh.
    ReadingTable table(MeterModel::Km50_60);
    const QStringList a { "23:45:00", "2", unit };
    const QStringList b { "00:15:00", "4", unit };
    table.appendRow(1, std::span<const QString>(a.begin(), a.end()));
    table.appendRow(2, std::span<const QString>(b.begin(), b.end()));
    ReadingStatistics s;
    s.rebuild(table);
    QCOMPARE(s.lines().size(), size_t(1));
    const StatisticsLine &line = s.lines()[0];
    QCOMPARE(line.isPower(), power);
    QCOMPARE(line.seconds, 1800.0);
    QCOMPARE(line.energy(), 1.5);
    QCOMPARE(line.energyUnit(), unit + "h");
}

void TestReadingStatistics::timeStamps_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("seconds");
    QTest::newRow("colons") << "01:02:03" << 3723;
    QTest::newRow("dots") << "23.59.59" << 86399;
    QTest::newRow("one digit") << "1:2:3" << 3723;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("two parts") << "12:00" << -1;
    QTest::newRow("four parts") << "1:2:3:4" << -1;
    QTest::newRow("hour 24") << "24:00:00" << -1;
    QTest::newRow("minute 60") << "10:60:00" << -1;
    QTest::newRow("three digits") << "100:00:00" << -1;
    QTest::newRow("trailing separator") << "10:00:00:" << -1;
}

void TestReadingStatistics::timeStamps()
{
    QFETCH(QString, text);
    QFETCH(int, seconds);
    QCOMPARE(ReadingStatistics::secondsOfDay(text).value_or(-1), seconds);
}

void TestReadingStatistics::randomTablesMatchARecomputation()
{
    for (quint32 seed = 1; seed <= 20; ++seed) {
        QRandomGenerator random(seed);
        ReadingTable table(MeterModel::Km90);
        ReadingStatistics incremental(QStringLiteral(","));
        int clock = 86400 - 600 + random.bounded(1200); // some tables run over midnight
        int unitIndex = 0;
        const int rows = 200 + random.bounded(800);
        while (table.rowCount() < rows) {
            // Rows arrive in runs of one to a few, as frames bring them.
            const int first = table.rowCount();
            const int run = 1 + random.bounded(4);
            for (int i = 0; i < run; ++i) {
                const QStringList r = randomRow(random, clock, unitIndex);
                QVERIFY(table.appendRow(
                    table.rowCount() + 1, std::span<const QString>(r.begin(), r.end())));
            }
            incremental.addRows(table, first, table.rowCount() - 1);
        }
        compare(incremental, recompute(table, QStringLiteral(",")));
        if (QTest::currentTestFailed())
            qWarning() << "seed" << seed;
    }
}

void TestReadingStatistics::followsTheTableThroughClearAndOpen()
{
    ReadingTable table(MeterModel::Km90);
    TableStatistics follower(table, QStringLiteral(","));
    QSignalSpy changed(&follower, &TableStatistics::changed);
    QRandomGenerator random(7);
    int clock = 0;
    int unit = 0;
    for (int i = 0; i < 300; ++i) {
        const QStringList r = randomRow(random, clock, unit);
        table.appendRow(i + 1, std::span<const QString>(r.begin(), r.end()));
    }
    QCOMPARE(changed.size(), 300);
    compare(follower.statistics(), recompute(table, QStringLiteral(",")));

    table.clear();
    QVERIFY(follower.statistics().lines().empty());
    QCOMPARE(follower.statistics().rowsSeen(), 0);

    // Open: the rows of another table replace these.
    ReadingTable opened(MeterModel::Km90);
    for (int i = 0; i < 50; ++i) {
        const QStringList r = randomRow(random, clock, unit);
        opened.appendRow(i + 1, std::span<const QString>(r.begin(), r.end()));
    }
    QVERIFY(table.takeRowsFrom(opened));
    QCOMPARE(follower.statistics().rowsSeen(), 50);
    compare(follower.statistics(), recompute(table, QStringLiteral(",")));
}

QTEST_GUILESS_MAIN(TestReadingStatistics)
#include "tst_readingstatistics.moc"
