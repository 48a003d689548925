// SPDX-License-Identifier: MIT
#include "analysis/ClipboardText.h"
#include "recording/ReadingTable.h"

#include <QTest>

class TestClipboardText : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void rowsOfASmallTable_data();
    void rowsOfASmallTable();
};

void TestClipboardText::rowsOfASmallTable_data()
{
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<QByteArray>("text");
    const QByteArray header = "No\ttime\tValue\tUnit\n";
    const QByteArray row0 = "1\t10:00:00\t1,5\tA\n";
    const QByteArray row1 = "2\t10:00:01\tOL\t\xe2\x84\x83\n"; // the degree Celsius sign in UTF-8
    // A null No; each tab, carriage return and line feed becomes a space.
    const QByteArray row2 = "\t10:00:02\ta b c\td  e\n";
    QTest::newRow("no selection: every row") << QList<int> {} << header + row0 + row1 + row2;
    QTest::newRow("one row") << QList<int> { 1 } << header + row1;
    QTest::newRow("selection order kept") << QList<int> { 2, 0 } << header + row2 + row0;
    QTest::newRow("rows outside the table skipped") << QList<int> { -1, 0, 3 } << header + row0;
}

void TestClipboardText::rowsOfASmallTable()
{
    QFETCH(QList<int>, rows);
    QFETCH(QByteArray, text);
    ReadingTable table(MeterModel::Km50_60);
    const QStringList r0 { "10:00:00", "1,5", "A" };
    const QStringList r1 { "10:00:01", "OL", QString(QChar(0x2103)) };
    const QStringList r2 { "10:00:02", "a\tb\nc", "d\r\ne" };
    table.appendRow(1, std::span<const QString>(r0.begin(), r0.end()));
    table.appendRow(2, std::span<const QString>(r1.begin(), r1.end()));
    table.appendRow(std::nullopt, std::span<const QString>(r2.begin(), r2.end()));

    const QByteArray got
        = tableClipboardText(table, std::span<const int>(rows.begin(), rows.end()));
    QCOMPARE(got, text);
    // Every line has as many fields as the header.
    for (const QByteArray &line : got.split('\n'))
        if (!line.isEmpty())
            QCOMPARE(line.count('\t'), 3);
}

QTEST_GUILESS_MAIN(TestClipboardText)
#include "tst_clipboardtext.moc"
