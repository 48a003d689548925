// SPDX-License-Identifier: MIT
#include "sim/CableReports.h"
#include "sim/MeterFrames.h"

#include <QTest>

class TestSim : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void km90FrameFromDescription();
    void km50FrameFromDescription();
    void frameBytesEndInCrLfAndKeepLowNibbles();
    void reportsCarryCountAndPadding();
    void varyingChunksKeepEveryByteInOrder();
};

void TestSim::km90FrameFromDescription()
{
    Km90Frame f;
    f.function = 0;
    f.mainDigits = QStringLiteral("1234");
    f.mainPoint = 1;
    f.voltageDigits = QStringLiteral("2301");
    f.voltagePoint = 1;
    f.currentDigits = QStringLiteral("5360");
    f.currentPoint = 3;
    f.memory = 5;
    f.status.battery = true;
    QCOMPARE(f.frameDigits(), QStringLiteral("000123412301153603051000DA"));

    Km90Frame overload;
    overload.mainDigits = QStringLiteral("9999");
    overload.memory = 12;
    overload.status.minus = true;
    overload.status.mainOverload = true;
    overload.status.hold = true;
    overload.status.mark1 = true;
    QCOMPARE(overload.frameDigits().right(8), QStringLiteral("124218DA"));
}

void TestSim::km50FrameFromDescription()
{
    Km50Frame f;
    f.function = 7;
    f.mainDigits = QStringLiteral("0600");
    f.mainPoint = 3;
    f.secondaryDigits = QStringLiteral("1121");
    f.status.minus = true;
    f.status.mem = true;
    f.status.sum = true;
    QCOMPARE(f.frameDigits(), QStringLiteral("7000600311210004081DA"));
    QCOMPARE(f.frameDigits().size(), 21);
}

void TestSim::frameBytesEndInCrLfAndKeepLowNibbles()
{
    const QByteArray bytes = frameBytesFromDigits(QStringLiteral("0F9DA"));
    QCOMPARE(bytes, QByteArray("\x30\x3F\x39\r\n", 5));
}

void TestSim::reportsCarryCountAndPadding()
{
    QCOMPARE(CableReports::dataReport("\x2A\x3B\x4C"),
        QByteArray("\x00\xF3\x2A\x3B\x4C\x00\x00\x00\x00", 9));
    QCOMPARE(CableReports::idleReport(), QByteArray("\x00\xF0\x00\x00\x00\x00\x00\x00\x00", 9));

    const QList<QByteArray> reports = CableReports::frameReports(QByteArray(26, '\x31'), 2);
    QCOMPARE(reports.size(), 4 + 2); // 7 + 7 + 7 + 5 bytes, then two idle reports
    QCOMPARE(quint8(reports[3][1]), quint8(0xF5));
    QCOMPARE(quint8(reports[4][1]), quint8(0xF0));
}

void TestSim::varyingChunksKeepEveryByteInOrder()
{
    QByteArray stream;
    for (int i = 0; i < 40; ++i)
        stream.append(char(i));
    const QList<QByteArray> reports = CableReports::packVarying(stream, { 1, 3, 7, 2 });
    QByteArray joined;
    for (const QByteArray &r : reports) {
        const int n = quint8(r[1]) & 0x0F;
        QVERIFY(n >= 1 && n <= 7);
        joined.append(r.mid(2, n));
    }
    QCOMPARE(joined, stream);
    QCOMPARE(quint8(reports[0][1]) & 0x0F, 1);
    QCOMPARE(quint8(reports[2][1]) & 0x0F, 7);
}

QTEST_GUILESS_MAIN(TestSim)
#include "tst_sim.moc"
