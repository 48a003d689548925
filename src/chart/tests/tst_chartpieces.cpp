// SPDX-License-Identifier: MIT
#include "chart/ChartEnlargement.h"
#include "chart/ChartSurface.h"
#include "chart/PageSizeEntry.h"
#include "chart/ValueColumn.h"

#include <QTest>

#include <limits>

namespace {

// The scroll done the obvious way, one step at a time.
qint64 stepByStep(double &axisMin, double &axisMax, double smallestX, double largestX,
    double offset, qint64 times)
{
    qint64 done = 0;
    for (; done < times; ++done) {
        const bool allowed = offset > 0 ? largestX > axisMax : offset < 0 && smallestX < axisMin;
        if (!allowed)
            break;
        axisMin += offset;
        axisMax += offset;
    }
    return done;
}

} // namespace

class TestChartPieces : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void scrollStepsMatchSteppingOneByOne_data();
    void scrollStepsMatchSteppingOneByOne();
    void scrollHugeCountIsComputedDirectly();
    void pageSizeEntry_data();
    void pageSizeEntry();
    void pageSizeKeys();
    void enlargeThenRestore_data();
    void enlargeThenRestore();
    void valueColumnAcrossBlocks();
};

void TestChartPieces::scrollStepsMatchSteppingOneByOne_data()
{
    QTest::addColumn<double>("axisMin");
    QTest::addColumn<double>("axisMax");
    QTest::addColumn<double>("largestX");
    QTest::addColumn<double>("offset");
    QTest::addColumn<qint64>("times");

    QTest::newRow("forward, newest beyond by one") << 1.0 << 100.0 << 101.0 << 100.0 << qint64(1);
    QTest::newRow("forward, newest on the maximum") << 1.0 << 100.0 << 100.0 << 100.0 << qint64(1);
    QTest::newRow("forward, limited by the points") << 1.0 << 100.0 << 950.0 << 100.0 << qint64(20);
    QTest::newRow("forward, exact multiple") << 1.0 << 100.0 << 1000.0 << 100.0 << qint64(20);
    QTest::newRow("forward, limited by times") << 1.0 << 100.0 << 950.0 << 100.0 << qint64(3);
    QTest::newRow("backward to below the first point")
        << 901.0 << 1000.0 << 1000.0 << -100.0 << qint64(20);
    QTest::newRow("backward, limited by times") << 901.0 << 1000.0 << 1000.0 << -100.0 << qint64(4);
    QTest::newRow("backward from page one") << 1.0 << 100.0 << 1000.0 << -100.0 << qint64(1);
    QTest::newRow("page size 1") << 1.0 << 1.0 << 7.0 << 1.0 << qint64(100);
    QTest::newRow("uneven page") << 1.0 << 30.0 << 100.0 << 30.0 << qint64(10);
    QTest::newRow("zero offset") << 1.0 << 100.0 << 1000.0 << 0.0 << qint64(5);
    QTest::newRow("no steps asked") << 1.0 << 100.0 << 1000.0 << 100.0 << qint64(0);
    QTest::newRow("negative count") << 1.0 << 100.0 << 1000.0 << 100.0 << qint64(-3);
}

void TestChartPieces::scrollStepsMatchSteppingOneByOne()
{
    QFETCH(double, axisMin);
    QFETCH(double, axisMax);
    QFETCH(double, largestX);
    QFETCH(double, offset);
    QFETCH(qint64, times);

    double min = axisMin, max = axisMax;
    const qint64 expected = stepByStep(min, max, 0, largestX, offset, times);
    QCOMPARE(limitedScrollSteps(axisMin, axisMax, true, 0, largestX, offset, times), expected);
    QCOMPARE(limitedScrollSteps(axisMin, axisMax, false, 0, largestX, offset, times), qint64(0));
}

void TestChartPieces::scrollHugeCountIsComputedDirectly()
{
    // Ten million points, page size 1: stepping would take 10^7 iterations.
    QCOMPARE(limitedScrollSteps(1, 1, true, 0, 1e7, 1, std::numeric_limits<qint64>::max()),
        qint64(1e7 - 1));
    QCOMPARE(limitedScrollSteps(1e7, 1e7, true, 0, 1e7, -1, std::numeric_limits<qint64>::max()),
        qint64(1e7));
}

void TestChartPieces::pageSizeEntry_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("rewrite");
    QTest::addColumn<QString>("resultText");
    QTest::addColumn<int>("pageSize");

    QTest::newRow("plain") << "250" << true << "250" << 250;
    QTest::newRow("empty") << "" << true << "100" << 100;
    QTest::newRow("zero") << "0" << false << "100" << 100;
    QTest::newRow("zeros") << "000" << true << "100" << 100;
    QTest::newRow("leading zeros rewritten") << "0050" << true << "50" << 50;
    QTest::newRow("leading zeros kept") << "0050" << false << "0050" << 50;
    QTest::newRow("negative") << "-5" << false << "100" << 100;
    QTest::newRow("plus sign accepted") << "+7" << true << "7" << 7;
    QTest::newRow("largest 32-bit") << "2147483647" << false << "2147483647" << 2147483647;
    QTest::newRow("beyond 32 bits") << "2147483648" << false << "100" << 100;
    QTest::newRow("far beyond 32 bits") << "99999999999999999999999" << true << "100" << 100;
    QTest::newRow("letters") << "12a" << false << "100" << 100;
    QTest::newRow("blank inside") << "1 2" << false << "100" << 100;
    QTest::newRow("hex is not decimal") << "$10" << false << "100" << 100;
    QTest::newRow("sign only") << "-" << true << "100" << 100;
}

void TestChartPieces::pageSizeEntry()
{
    QFETCH(QString, text);
    QFETCH(bool, rewrite);
    QFETCH(QString, resultText);
    QFETCH(int, pageSize);

    const PageSizeEntry entry = resolvePageSizeEntry(text, rewrite);
    QCOMPARE(entry.text, resultText);
    QCOMPARE(entry.pageSize, pageSize);
}

void TestChartPieces::pageSizeKeys()
{
    for (char c = '0'; c <= '9'; ++c)
        QVERIFY(isPageSizeKey(QLatin1Char(c)));
    QVERIFY(isPageSizeKey(QChar(0x08)));
    for (const char c : { 'a', '-', '+', ' ', '.', '\r', '\x16' })
        QVERIFY2(!isPageSizeKey(QLatin1Char(c)), &c);
}

void TestChartPieces::enlargeThenRestore_data()
{
    QTest::addColumn<QSize>("window");
    QTest::addColumn<QRect>("chart");
    QTest::addColumn<int>("allowance");
    QTest::addColumn<int>("windowHeight");
    QTest::addColumn<QRect>("enlarged");

    QTest::newRow("km90") << QSize(747, 533) << QRect(364, 208, 371, 265) << 75 << 533
                          << QRect(2, 30, 735, 458);
    QTest::newRow("km50_60") << QSize(726, 508) << QRect(342, 208, 371, 241) << 90 << 508
                             << QRect(2, 30, 714, 418);
    QTest::newRow("tall window brought to 564")
        << QSize(747, 700) << QRect(364, 208, 371, 265) << 75 << 564 << QRect(2, 30, 735, 489);
    QTest::newRow("exactly 600 stays")
        << QSize(747, 600) << QRect(364, 208, 371, 265) << 75 << 600 << QRect(2, 30, 735, 525);
}

void TestChartPieces::enlargeThenRestore()
{
    QFETCH(QSize, window);
    QFETCH(QRect, chart);
    QFETCH(int, allowance);
    QFETCH(int, windowHeight);
    QFETCH(QRect, enlarged);

    const ChartEnlargement up = toggleChartEnlargement(window, chart, QRect(), allowance);
    QVERIFY(up.enlarged);
    QCOMPARE(up.windowOuterHeight, windowHeight);
    QCOMPARE(up.chart, enlarged);
    QCOMPARE(up.remembered, chart);

    const ChartEnlargement down = toggleChartEnlargement(
        QSize(window.width(), up.windowOuterHeight), up.chart, up.remembered, allowance);
    QVERIFY(!down.enlarged);
    QCOMPARE(down.chart, chart);
    QCOMPARE(down.windowOuterHeight, windowHeight);
}

void TestChartPieces::valueColumnAcrossBlocks()
{
    ValueColumn column;
    const qint64 n = 2 * ValueColumn::BlockSize + 3;
    for (qint64 x = 0; x < n; ++x)
        column.append(double(x % 1000) - 500.5);
    QCOMPARE(column.size(), n);
    for (const qint64 x : { qint64(0), ValueColumn::BlockSize - 1, ValueColumn::BlockSize,
             2 * ValueColumn::BlockSize, n - 1 })
        QCOMPARE(column.at(x), double(x % 1000) - 500.5);
    // Three whole blocks of 4-byte values, and the short list of them.
    QVERIFY(column.storageBytes() >= 3 * ValueColumn::BlockSize * 4);
    QVERIFY(column.storageBytes() < 3 * ValueColumn::BlockSize * 4 + 1024);

    column.clear();
    QCOMPARE(column.size(), qint64(0));
    QCOMPARE(column.storageBytes(), qint64(0));
    column.append(1e300); // beyond the float range: kept as the largest float
    column.append(-1e300);
    column.append(123.4);
    QCOMPARE(column.at(0), double(std::numeric_limits<float>::max()));
    QCOMPARE(column.at(1), -double(std::numeric_limits<float>::max()));
    QCOMPARE(float(column.at(2)), 123.4f);
}

QTEST_GUILESS_MAIN(TestChartPieces)
#include "tst_chartpieces.moc"
