// SPDX-License-Identifier: MIT
#include "recording/GridColumns.h"
#include "recording/ReadingTable.h"
#include "recording/TextPool.h"

#include <QSignalSpy>
#include <QTest>

#include <array>
#include <limits>
#include <vector>

class TestReadingTable : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void columnsOfBothPrograms();
    void columnLookupIgnoresCase_data();
    void columnLookupIgnoresCase();
    void rowsReadBackAsStored();
    void longTextIsCutTo20Characters();
    void modelDataAndSignals();
    void manyRowsAcrossBlocks();
    void clearAndTakeRows();
    void copyOfFirstRowsStandsAlone();
    void appendFieldsByPosition();
    void refusedAppendAddsNoRow_data();
    void refusedAppendAddsNoRow();
    void noParsedFromTextAndBytes_data();
    void noParsedFromTextAndBytes();
    void poolHoldsLongAndShortTextsTogether();
    void asciiBytesAndTextsShareNumbers();
    void shortTextsFoundByTheirSlots();
    void rowsAppendedAtOnce();
    void clearedPoolAndTableStartAfresh_data();
    void clearedPoolAndTableStartAfresh();
    void poolMarksPrintableAscii_data();
    void poolMarksPrintableAscii();
    void rowTextsMatchTheFields();
    void gridColumnsGrowToTheirTexts_data();
    void gridColumnsGrowToTheirTexts();
};

void TestReadingTable::columnsOfBothPrograms()
{
    const ReadingTable km90(MeterModel::Km90);
    const QStringList km90Names { "No", "Time", "Value", "Unit", "V_Value", "V_Unit", "I_Value",
        "I_Unit" };
    QCOMPARE(km90.columnNames(), km90Names);
    QCOMPARE(km90.columnCount(), 8);
    for (int c = 0; c < km90.columnCount(); ++c)
        QCOMPARE(km90.headerData(c, Qt::Horizontal).toString(), km90Names[c]);
    const ReadingTable km50(MeterModel::Km50_60);
    QCOMPARE(km50.columnNames(), (QStringList { "No", "time", "Value", "Unit" }));
    QCOMPARE(km50.headerData(1, Qt::Horizontal).toString(), QStringLiteral("time"));
    QCOMPARE(km50.rowCount(), 0);
}

void TestReadingTable::columnLookupIgnoresCase_data()
{
    QTest::addColumn<bool>("km90");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("column");
    QTest::newRow("km50 Time finds time") << false << "Time" << 1;
    QTest::newRow("km90 time finds Time") << true << "time" << 1;
    QTest::newRow("upper case") << true << "V_VALUE" << 4;
    QTest::newRow("no such column in km50") << false << "V_Value" << -1;
    QTest::newRow("unknown") << true << "Volts" << -1;
}

void TestReadingTable::columnLookupIgnoresCase()
{
    QFETCH(bool, km90);
    QFETCH(QString, name);
    QFETCH(int, column);
    const ReadingTable table(km90 ? MeterModel::Km90 : MeterModel::Km50_60);
    QCOMPARE(table.columnIndex(name), column);
}

void TestReadingTable::rowsReadBackAsStored()
{
    ReadingTable table(MeterModel::Km90);
    table.appendRow(1, QStringList { "12:00:01", "123.4", "KW", "230.1", "v", "5.360", "A" });
    table.appendRow(
        std::nullopt, QStringList { "12:00:02", "OL", QStringLiteral("\u2211"), "NULL", "", "0@" });
    table.appendRow(-7, QStringList {});

    QCOMPARE(table.rowCount(), 3);
    QCOMPARE(table.no(0), std::optional<qint32>(1));
    QCOMPARE(table.fieldText(0, 0), QStringLiteral("1"));
    QCOMPARE(table.fieldText(0, 6), QStringLiteral("5.360"));
    QVERIFY(table.isNull(1, 0));
    QCOMPARE(table.fieldText(1, 0), QString());
    QCOMPARE(table.fieldText(1, 2), QStringLiteral("OL"));
    QCOMPARE(table.fieldText(1, 3), QStringLiteral("\u2211"));
    QCOMPARE(table.fieldText(1, 4), QStringLiteral("NULL")); // the text NULL, not a null field
    QVERIFY(!table.isNull(1, 4));
    QVERIFY(table.isNull(1, 5)); // empty text is stored as null
    QCOMPARE(table.fieldText(1, 6), QStringLiteral("0@"));
    QVERIFY(table.isNull(1, 7)); // not given
    QCOMPARE(table.textView(1, 3), QStringView(u"\u2211"));
    QVERIFY(table.textView(1, 5).isEmpty());
    QCOMPARE(table.fieldText(2, 0), QStringLiteral("-7"));
    for (int c = 1; c < table.columnCount(); ++c)
        QVERIFY(table.isNull(2, c));
}

void TestReadingTable::longTextIsCutTo20Characters()
{
    ReadingTable table(MeterModel::Km50_60);
    const QString pairAtTheCut = QStringLiteral("1234567890123456789") + QChar(0xD83D)
        + QChar(0xDE00) + QStringLiteral("x"); // a surrogate pair at characters 20 and 21
    table.appendRow(1,
        QStringList {
            "12345678901234567890", "123456789012345678901234", QStringLiteral("\u2103") });
    table.appendRow(2, QStringList { pairAtTheCut });
    QCOMPARE(table.fieldText(0, 1), QStringLiteral("12345678901234567890")); // exactly 20 stays
    QCOMPARE(table.fieldText(0, 2), QStringLiteral("12345678901234567890"));
    QCOMPARE(table.fieldText(0, 3), QStringLiteral("\u2103"));
    QCOMPARE(table.fieldText(1, 1), QStringLiteral("1234567890123456789"));
}

void TestReadingTable::modelDataAndSignals()
{
    ReadingTable table(MeterModel::Km50_60);
    QSignalSpy inserted(&table, &QAbstractItemModel::rowsInserted);
    table.appendRow(5, QStringList { "08:30:00", "-0.600", "KWh" });
    QCOMPARE(inserted.size(), 1);
    QCOMPARE(inserted.first().at(1).toInt(), 0);
    QCOMPARE(table.data(table.index(0, 0)), QVariant(5));
    QCOMPARE(table.data(table.index(0, 2)).toString(), QStringLiteral("-0.600"));
    QCOMPARE(table.data(table.index(0, 2), Qt::EditRole), QVariant());
    QVERIFY(!(table.flags(table.index(0, 2)) & Qt::ItemIsEditable));
}

void TestReadingTable::manyRowsAcrossBlocks()
{
    // Enough rows to span several storage blocks and to make the text store
    // grow its index several times, with texts repeating and changing.
    ReadingTable table(MeterModel::Km90);
    const int rows = 40000;
    for (int i = 0; i < rows; ++i) {
        table.appendRow(i + 1,
            QStringList { QString::number(i / 9), QString::number(i % 977), "KW",
                QString::number(i % 13), "v", QString::number(i), "A" });
    }
    QCOMPARE(table.rowCount(), rows);
    // Every row, so that a text mixed up by the shared text store shows.
    for (int i = 0; i < rows; ++i) {
        if (table.no(i) != std::optional<qint32>(i + 1)
            || table.fieldText(i, 1) != QString::number(i / 9)
            || table.fieldText(i, 2) != QString::number(i % 977)
            || table.fieldText(i, 4) != QString::number(i % 13)
            || table.fieldText(i, 6) != QString::number(i)
            || table.fieldText(i, 7) != QStringLiteral("A"))
            QFAIL(qPrintable(QStringLiteral("row %1 reads back wrong").arg(i)));
    }
    // The numbers 0 to 39999 once each, whatever column they came in, and the three units.
    QCOMPARE(table.textCount(), rows + 3);

    // The bytes the table says it stores cover at least its records (whole
    // blocks of eight 32-bit words a row) and the characters of its texts.
    const qint64 records = 3 * 16384 * 8 * 4;
    qint64 characters = 0;
    for (int i = 0; i < rows; ++i)
        characters += QString::number(i).size() * 2;
    QVERIFY2(table.storageBytes() >= records + characters,
        qPrintable(QString::number(table.storageBytes())));
    QVERIFY(table.storageBytes() < 2 * (records + characters) + (4 << 20));
    table.clear();
    // No records and no texts are left: a cleared table keeps at most the
    // room of one block of records and one chunk of characters for its next
    // rows, and its index at the first size.
    QVERIFY2(table.storageBytes() <= 16384 * 8 * 4 + 2 * 64 * 1024,
        qPrintable(QString::number(table.storageBytes())));
}

void TestReadingTable::clearAndTakeRows()
{
    ReadingTable table(MeterModel::Km50_60);
    table.appendRow(1, QStringList { "a", "1", "V" });
    ReadingTable loaded(MeterModel::Km50_60);
    loaded.appendRow(10, QStringList { "b", "2", "A" });
    loaded.appendRow(11, QStringList { "c", "3", "A" });

    QSignalSpy reset(&table, &QAbstractItemModel::modelReset);
    QVERIFY(table.takeRowsFrom(loaded));
    QCOMPARE(reset.size(), 1);
    QCOMPARE(table.rowCount(), 2);
    QCOMPARE(table.fieldText(1, 2), QStringLiteral("3"));
    QCOMPARE(loaded.rowCount(), 0);

    ReadingTable other(MeterModel::Km90);
    other.appendRow(1, QStringList {});
    QVERIFY(!table.takeRowsFrom(other)); // other columns: nothing changes
    QCOMPARE(table.rowCount(), 2);
    QCOMPARE(other.rowCount(), 1);

    table.clear();
    QCOMPARE(table.rowCount(), 0);
    QCOMPARE(table.textCount(), 0);
    table.appendRow(1, QStringList { "d", "4", "V" });
    QCOMPARE(table.fieldText(0, 3), QStringLiteral("V"));
}

void TestReadingTable::copyOfFirstRowsStandsAlone()
{
    // Rows across a block boundary, a null No, null texts, and texts that
    // repeat, so that a copy that mixed up text ids or null marks shows.
    ReadingTable table(MeterModel::Km90);
    const int rows = 16384 + 10;
    for (int i = 0; i < rows; ++i) {
        const std::optional<qint32> no = i % 1000 == 7 ? std::nullopt : std::optional<qint32>(i);
        table.appendRow(
            no, QStringList { QString::number(i % 50), QString(), "KW", QString::number(i), "V" });
    }
    const int taken = rows - 3;
    const auto copy = table.copyRows(taken);
    QCOMPARE(copy->meterModel(), MeterModel::Km90);
    QCOMPARE(copy->rowCount(), taken);
    table.clear(); // the copy keeps its rows
    table.appendRow(1, QStringList { "other" });
    for (int i = 0; i < taken; ++i) {
        const bool nullNo = i % 1000 == 7;
        if (copy->isNull(i, 0) != nullNo || (!nullNo && copy->no(i) != i)
            || copy->fieldText(i, 1) != QString::number(i % 50) || !copy->isNull(i, 2)
            || copy->fieldText(i, 3) != QStringLiteral("KW")
            || copy->fieldText(i, 4) != QString::number(i) || !copy->isNull(i, 6))
            QFAIL(qPrintable(QStringLiteral("row %1 copied wrong").arg(i)));
    }
    // The copy takes rows of its own and finds the texts it already holds.
    const qsizetype texts = copy->textCount();
    QVERIFY(copy->appendRow(5, QStringList { "3", {}, "KW" }));
    QCOMPARE(copy->textCount(), texts);
    QCOMPARE(copy->fieldText(taken, 1), QStringLiteral("3"));
    QCOMPARE(table.copyRows(100)->rowCount(), 1); // no more rows than there are
}

void TestReadingTable::appendFieldsByPosition()
{
    ReadingTable table(MeterModel::Km90);
    QVERIFY(table.appendFields(QStringList { "-2147483648", "10:15:02", "12.34", "NULL" }));
    // Fields given as views into a buffer of the caller, which is reused after.
    QString buffer = QStringLiteral("+17");
    const std::array<QStringView, 1> view { QStringView(buffer) };
    QVERIFY(table.appendFields(view));
    buffer = QStringLiteral("xx,x");
    const std::array<QStringView, 2> views { QStringView(), QStringView(buffer).sliced(3) };
    QVERIFY(table.appendFields(views));
    buffer.fill(u'y');
    QCOMPARE(table.no(0), std::optional<qint32>(std::numeric_limits<qint32>::min()));
    QCOMPARE(table.fieldText(0, 3), QStringLiteral("NULL"));
    QVERIFY(table.isNull(0, 4)); // columns beyond the last field stay empty
    QCOMPARE(table.no(1), std::optional<qint32>(17));
    QVERIFY(table.isNull(1, 1));
    QVERIFY(table.isNull(2, 0));
    QCOMPARE(table.fieldText(2, 1), QStringLiteral("x"));
}

void TestReadingTable::refusedAppendAddsNoRow_data()
{
    QTest::addColumn<bool>("byFields");
    QTest::addColumn<QStringList>("fields");
    // A KM50_60 table: No, time, Value, Unit.
    QTest::newRow("one text too many") << false << QStringList { "a", "b", "c", "d" };
    QTest::newRow("no fields") << true << QStringList {};
    QTest::newRow("one field too many") << true << QStringList { "1", "a", "b", "c", "d" };
    QTest::newRow("No is NULL") << true << QStringList { "NULL", "a" };
    QTest::newRow("No is a fraction") << true << QStringList { "1.5", "a" };
    QTest::newRow("No beyond 32 bits") << true << QStringList { "2147483648", "a" };
    QTest::newRow("No below 32 bits") << true << QStringList { "-2147483649", "a" };
    QTest::newRow("No with a blank") << true << QStringList { " 1", "a" };
    QTest::newRow("No is a sign") << true << QStringList { "-", "a" };
}

void TestReadingTable::refusedAppendAddsNoRow()
{
    QFETCH(bool, byFields);
    QFETCH(QStringList, fields);

    ReadingTable table(MeterModel::Km50_60);
    QVERIFY(table.appendFields(QStringList { "1", "08:00:00", "1.0", "V" }));
    QSignalSpy inserted(&table, &QAbstractItemModel::rowsInserted);
    QVERIFY(!(byFields ? table.appendFields(fields) : table.appendRow(2, fields)));
    if (byFields) {
        const std::vector<QStringView> views(fields.cbegin(), fields.cend());
        QVERIFY(!table.appendFields(std::span<const QStringView>(views)));
    }
    QCOMPARE(table.rowCount(), 1);
    QCOMPARE(inserted.size(), 0);

    // The next row lands where the refused one would have.
    QVERIFY(table.appendFields(QStringList { "3", "08:00:02", "3.0" }));
    QCOMPARE(table.rowCount(), 2);
    QCOMPARE(table.fieldText(1, 0), QStringLiteral("3"));
    QCOMPARE(table.fieldText(1, 2), QStringLiteral("3.0"));
    QVERIFY(table.isNull(1, 3));
}

void TestReadingTable::noParsedFromTextAndBytes_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<qint32>("value");
    // Up to nine digits a number is read without a check per digit; from ten
    // on each digit is checked against the 32-bit range.
    QTest::newRow("zero") << QByteArray("0") << true << 0;
    QTest::newRow("minus zero") << QByteArray("-0") << true << 0;
    QTest::newRow("plus sign") << QByteArray("+5") << true << 5;
    QTest::newRow("nine digits") << QByteArray("999999999") << true << 999999999;
    QTest::newRow("nine digits negative") << QByteArray("-999999999") << true << -999999999;
    QTest::newRow("ten digits") << QByteArray("1000000000") << true << 1000000000;
    QTest::newRow("leading zeros beyond nine") << QByteArray("000000000012") << true << 12;
    QTest::newRow("largest") << QByteArray("2147483647") << true
                             << std::numeric_limits<qint32>::max();
    QTest::newRow("smallest") << QByteArray("-2147483648") << true
                              << std::numeric_limits<qint32>::min();
    QTest::newRow("one above") << QByteArray("2147483648") << false << 0;
    QTest::newRow("one below") << QByteArray("-2147483649") << false << 0;
    QTest::newRow("far above") << QByteArray("99999999999999999999") << false << 0;
    QTest::newRow("empty") << QByteArray() << false << 0;
    QTest::newRow("sign alone") << QByteArray("-") << false << 0;
    QTest::newRow("two signs") << QByteArray("+-1") << false << 0;
    QTest::newRow("letter after digits") << QByteArray("12a") << false << 0;
    QTest::newRow("blank inside") << QByteArray("1 2") << false << 0;
    QTest::newRow("character below the digits") << QByteArray("1/") << false << 0;
    QTest::newRow("character above the digits") << QByteArray(":1") << false << 0;
    QTest::newRow("byte beyond ASCII") << QByteArray("1\xB2") << false << 0;
    QTest::newRow("letter in ten digits") << QByteArray("123456789x") << false << 0;
}

void TestReadingTable::noParsedFromTextAndBytes()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, valid);
    QFETCH(qint32, value);
    const std::optional<qint32> expected = valid ? std::optional<qint32>(value) : std::nullopt;
    // The text as a table holds it and as the Latin-1 bytes a file reader has.
    QCOMPARE(ReadingTable::parseNo(QStringView(QString::fromLatin1(text))), expected);
    QCOMPARE(ReadingTable::parseNo(QLatin1String(text.constData(), text.size())), expected);
}

void TestReadingTable::asciiBytesAndTextsShareNumbers()
{
    // Every length from 1 to 20 (whole and partial words of the hash), the
    // bytes first or the text first: one number for one text.
    TextPool pool;
    const QByteArray all = "0123456789ABCDEFGHIJ:.-+ ~";
    for (int length = 1; length <= 20; ++length) {
        const QByteArray bytes = all.mid(length % 5, length);
        const QString text = QString::fromLatin1(bytes);
        QCOMPARE(TextPool::hashOfAscii(bytes.constData(), bytes.size()), TextPool::hashOf(text));
        if (length <= 8) {
            QCOMPARE(TextPool::hashOfShortKey(TextPool::shortKey(text)), TextPool::hashOf(text));
        }
        const bool bytesFirst = length % 2 == 0;
        const quint32 first = bytesFirst
            ? pool.internAscii(bytes.constData(), quint32(bytes.size()),
                TextPool::hashOfAscii(bytes.constData(), bytes.size()), TextPool::shortKey(text))
            : pool.intern(text);
        const quint32 second = bytesFirst
            ? pool.intern(text)
            : pool.internAscii(bytes.constData(), quint32(bytes.size()),
                TextPool::hashOfAscii(bytes.constData(), bytes.size()), TextPool::shortKey(text));
        QCOMPARE(second, first);
        QCOMPARE(pool.text(first), QStringView(text));
        QCOMPARE(pool.isPrintableAscii(first), !bytes.contains(' '));
    }
    QCOMPARE(pool.size(), 20);
}

void TestReadingTable::shortTextsFoundByTheirSlots()
{
    // Enough texts for the index to grow several times and for searches to
    // run past slots taken by other texts; absent texts are not found, even
    // where a present one has the same characters and another length.
    TextPool pool;
    const auto find = [&pool](const QString &text) {
        return pool.findShort(TextPool::hashOf(text), TextPool::shortKey(text));
    };
    QCOMPARE(find(QStringLiteral("1.5")), 0u);
    std::vector<quint32> ids;
    for (int i = 0; i < 5000; ++i)
        ids.push_back(pool.intern(QString::number(i * 7)));
    for (int i = 0; i < 5000; ++i) {
        QCOMPARE(find(QString::number(i * 7)), ids[size_t(i)]);
        if (i % 7 != 0)
            QCOMPARE(find(QString::number(i)), 0u);
    }
    QCOMPARE(find(QStringLiteral("34993")), ids[4999]);
    QCOMPARE(find(QStringLiteral("349930")), 0u);
    QCOMPARE(find(QStringLiteral("abcdefgh")), 0u);
}

void TestReadingTable::rowsAppendedAtOnce()
{
    ReadingTable table(MeterModel::Km50_60);
    QVERIFY(table.appendFields(QStringList { "1", "08:00:00", "1.0", "V" }));
    const quint32 time = table.storeText(u"08:00:01");
    const quint32 volt = table.storeText(u"V");
    QSignalSpy inserted(&table, &QAbstractItemModel::rowsInserted);

    // Rows of numbers the store gave, across a block of rows, one notice.
    std::vector<quint32> records;
    std::vector<bool> noNull;
    for (int r = 0; r < 20000; ++r) {
        records.insert(records.end(), { quint32(r + 2), time, r % 2 ? 0u : volt, volt });
        noNull.push_back(r == 5);
    }
    std::unique_ptr<bool[]> flags(new bool[noNull.size()]);
    std::copy(noNull.begin(), noNull.end(), flags.get());
    QVERIFY(table.appendRowsOfIds(records, std::span<const bool>(flags.get(), noNull.size())));
    QCOMPARE(table.rowCount(), 20001);
    QCOMPARE(inserted.size(), 1);
    QCOMPARE(inserted.first().at(1).toInt(), 1);
    QCOMPARE(inserted.first().at(2).toInt(), 20000);
    QCOMPARE(table.fieldText(20000, 0), QStringLiteral("20001"));
    QCOMPARE(table.fieldText(20000, 1), QStringLiteral("08:00:01"));
    QVERIFY(table.isNull(2, 2));
    QVERIFY(table.isNull(6, 0));

    // Refused whole: a number the store never gave, or sizes that disagree.
    const quint32 beyond = quint32(table.textCount() + 1);
    const std::array<quint32, 8> bad { 1, time, volt, volt, 2, time, beyond, volt };
    const std::array<bool, 2> two { false, false };
    QVERIFY(!table.appendRowsOfIds(bad, two));
    QVERIFY(!table.appendRowsOfIds(std::span(bad).first(7), two));
    QCOMPARE(table.rowCount(), 20001);
    QCOMPARE(inserted.size(), 1);
    // The same in the last column of a KM90 row, where No may be any number.
    ReadingTable wide(MeterModel::Km90);
    const quint32 amp = wide.storeText(u"A");
    const std::array<quint32, 8> lastBad { 99, amp, amp, amp, amp, amp, amp, amp + 1 };
    QVERIFY(!wide.appendRowsOfIds(lastBad, std::array<bool, 1> { false }));
    std::array<quint32, 8> good = lastBad;
    good[7] = amp;
    QVERIFY(wide.appendRowsOfIds(good, std::array<bool, 1> { false }));
    QCOMPARE(wide.rowCount(), 1);
    QCOMPARE(wide.no(0), std::optional<qint32>(99));

    // The rows of another table follow with their texts numbered here.
    ReadingTable other(MeterModel::Km50_60);
    QVERIFY(other.appendFields(QStringList { "9", "new", "V", "08:00:01" }));
    QVERIFY(table.appendRowsFrom(other));
    QCOMPARE(other.rowCount(), 0);
    QCOMPARE(table.rowCount(), 20002);
    QCOMPARE(table.fieldText(20001, 1), QStringLiteral("new"));
    QCOMPARE(table.textIds(20001)[1], volt);
    QCOMPARE(table.textIds(20001)[2], time);
    ReadingTable km90(MeterModel::Km90);
    QVERIFY(!table.appendRowsFrom(km90));

    // Many blocks of rows after a table whose last block is partly full: each
    // row lands where it belongs, with its texts.
    ReadingTable many(MeterModel::Km50_60);
    for (int r = 0; r < 50000; ++r) {
        const QString text = QString::number(r % 777);
        QVERIFY(many.appendRow(r, std::array<QString, 3> { text, QStringLiteral("V"), text }));
    }
    QVERIFY(table.appendRowsFrom(many));
    QCOMPARE(table.rowCount(), 70002);
    QCOMPARE(inserted.size(), 3);
    for (int r = 0; r < 50000; ++r) {
        const int row = 20002 + r;
        if (table.no(row) != r || table.fieldText(row, 1) != QString::number(r % 777)
            || table.fieldText(row, 3) != QString::number(r % 777))
            QFAIL(qPrintable(QStringLiteral("row %1 is wrong").arg(row)));
    }
    QCOMPARE(table.fieldText(20001, 1), QStringLiteral("new"));
}

void TestReadingTable::gridColumnsGrowToTheirTexts_data()
{
    // Texts measured at 6 pixels a character; values get 4 pixels of margin,
    // headers 8.
    QTest::addColumn<QList<int>>("designed");
    QTest::addColumn<QStringList>("headers");
    QTest::addColumn<QStringList>("widest");
    QTest::addColumn<QList<int>>("widths");
    QTest::newRow("designed width is kept when the texts fit")
        << QList<int> { 50 } << QStringList { "No" } << QStringList { "1000" } << QList<int> { 50 };
    QTest::newRow("eight digits widen the column")
        << QList<int> { 35 } << QStringList { "No" } << QStringList { "10000000" }
        << QList<int> { 52 };
    QTest::newRow("a long header widens it") << QList<int> { 35 } << QStringList { "V_Unit" }
                                             << QStringList { "v" } << QList<int> { 44 };
    QTest::newRow("each column by itself")
        << QList<int> { 35, 50 } << QStringList { "No", "Time" }
        << QStringList { "10000000", "88:88:88" } << QList<int> { 52, 52 };
    QTest::newRow("a column without a widest value")
        << QList<int> { 30, 30 } << QStringList { "No", "Unit_Value" } << QStringList { "1" }
        << QList<int> { 30, 68 };
}

void TestReadingTable::gridColumnsGrowToTheirTexts()
{
    QFETCH(QList<int>, designed);
    QFETCH(QStringList, headers);
    QFETCH(QStringList, widest);
    QFETCH(QList<int>, widths);
    GridColumnMeasures measures;
    measures.valueWidth = [](const QString &text) { return int(text.size()) * 6; };
    measures.headerWidth = measures.valueWidth;
    measures.valuePadding = 4;
    measures.headerPadding = 8;
    QCOMPARE(gridColumnWidths(designed, headers, widest, measures), widths);
}

QTEST_GUILESS_MAIN(TestReadingTable)
void TestReadingTable::poolHoldsLongAndShortTextsTogether()
{
    // Short texts filling several storage chunks, with texts longer than a
    // chunk in between, each of which must neither overlap its neighbours nor
    // upset where the next short text goes.
    TextPool pool;
    std::vector<QString> texts;
    for (int i = 0; i < 30000; ++i) {
        texts.push_back(QStringLiteral("t%1").arg(i));
        if (i == 9000 || i == 9001 || i == 20000)
            texts.push_back(QString(100000 + i, QChar(u'a' + i % 26)));
    }
    std::vector<quint32> ids;
    for (const QString &text : texts)
        ids.push_back(pool.intern(text));
    QCOMPARE(pool.size(), qsizetype(texts.size()));
    for (size_t i = 0; i < texts.size(); ++i) {
        if (ids[i] != quint32(i + 1) || pool.text(ids[i]) != texts[i]
            || pool.intern(QStringView(texts[i])) != ids[i])
            QFAIL(qPrintable(QStringLiteral("text %1 reads back wrong").arg(i)));
    }
    QCOMPARE(pool.size(), qsizetype(texts.size())); // looking them up added nothing
    // Its stated size covers every character, the long texts' own chunks included.
    qint64 characters = 0;
    for (const QString &text : texts)
        characters += text.size() * 2;
    QVERIFY(pool.storageBytes() >= characters);
    QVERIFY(pool.storageBytes() < characters + (8 << 20));

    pool.clear();
    QCOMPARE(pool.size(), 0);
    QCOMPARE(pool.storageBytes(), qint64(0));
    QCOMPARE(pool.intern(QStringLiteral("t1")), 1u);
    QCOMPARE(pool.string(1), QStringLiteral("t1"));
}

void TestReadingTable::clearedPoolAndTableStartAfresh_data()
{
    // Sizes below and above what keeps the first chunk and index at a clear.
    QTest::addColumn<int>("texts");
    QTest::newRow("a frame's few texts") << 6;
    QTest::newRow("nearly the first index") << 500;
    QTest::newRow("past the first index") << 3000;
}

void TestReadingTable::clearedPoolAndTableStartAfresh()
{
    QFETCH(int, texts);
    TextPool pool;
    for (int round = 0; round < 3; ++round) {
        // Each round other texts in another order: nothing of a round before
        // may be found again.
        QStringList held;
        for (int i = 0; i < texts; ++i)
            held << QStringLiteral("r%1-%2").arg(round).arg((i * 7919) % texts);
        for (int i = 0; i < texts; ++i)
            QCOMPARE(pool.intern(held[i]), quint32(i + 1));
        QCOMPARE(pool.size(), qsizetype(texts));
        for (int i = 0; i < texts; ++i) {
            QCOMPARE(pool.intern(held[i]), quint32(i + 1)); // found, not added again
            QCOMPARE(pool.text(quint32(i + 1)), held[i]);
        }
        QCOMPARE(pool.size(), qsizetype(texts));
        pool.clear();
        QCOMPARE(pool.size(), qsizetype(0));
    }

    // The table over it: rows after a clear are the new rows only.
    ReadingTable table(MeterModel::Km50_60);
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < texts; ++i) {
            const QString fields[] = { QString::number(i + 1), QStringLiteral("10:00:00"),
                QStringLiteral("%1.%2").arg(round).arg(i), QStringLiteral("V") };
            QVERIFY(table.appendFields(std::span<const QString>(fields)));
        }
        QCOMPARE(table.rowCount(), texts);
        QCOMPARE(table.fieldText(texts - 1, 2), QStringLiteral("%1.%2").arg(round).arg(texts - 1));
        QCOMPARE(table.no(0), std::optional<qint32>(1));
        table.clear();
        QCOMPARE(table.rowCount(), 0);
    }
}

void TestReadingTable::poolMarksPrintableAscii_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("printable");
    QTest::newRow("digits and sign") << "-12.5" << true;
    QTest::newRow("first and last printable") << "!~" << true;
    QTest::newRow("inner blank") << "12 3" << false;
    QTest::newRow("leading tab") << "\tx" << false;
    QTest::newRow("trailing control") << QStringLiteral("x") + QChar(31) << false;
    QTest::newRow("delete") << QStringLiteral("x") + QChar(127) << false;
    QTest::newRow("beyond ASCII") << QStringLiteral("\u2103") << false;
}

void TestReadingTable::poolMarksPrintableAscii()
{
    QFETCH(QString, text);
    QFETCH(bool, printable);
    TextPool pool;
    pool.intern(QStringLiteral("OL")); // the flag belongs to each text, not to the pool
    const quint32 id = pool.intern(text);
    QCOMPARE(pool.isPrintableAscii(id), printable);
    QVERIFY(pool.isPrintableAscii(1));
}

void TestReadingTable::rowTextsMatchTheFields()
{
    ReadingTable table(MeterModel::Km90);
    table.appendRow(1, QStringList { "12:00:01", " 5.5", "KW", "", QStringLiteral("\u2211") });
    table.appendRow(2, QStringList { "12:00:01", "5.5" });
    std::array<ReadingTable::StoredText, ReadingTable::MaxColumns> texts;
    for (int r = 0; r < table.rowCount(); ++r) {
        texts.fill({ u"stale", true });
        table.rowTexts(r, texts);
        for (int c = 1; c < table.columnCount(); ++c) {
            const ReadingTable::StoredText &text = texts[size_t(c - 1)];
            QCOMPARE(text.text, table.textView(r, c));
            QCOMPARE(text.text.isNull(), table.isNull(r, c));
        }
    }
    QVERIFY(texts[0].printableAscii); // 12:00:01
    QVERIFY(!texts[2].printableAscii); // a null field
    table.rowTexts(0, texts);
    QVERIFY(!texts[1].printableAscii); // a leading blank
    QVERIFY(!texts[4].printableAscii); // beyond ASCII
}

#include "tst_readingtable.moc"
