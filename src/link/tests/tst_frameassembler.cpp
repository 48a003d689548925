// SPDX-License-Identifier: MIT
#include "core/ConversionError.h"
#include "link/FrameAssembler.h"
#include "sim/CableReports.h"
#include "sim/MeterFrames.h"

#include <QTest>

using Reports = QList<QByteArray>;

namespace {

const QString km90Frame = QStringLiteral("000123412301153603051000DA");

Reports idle(int n = 1)
{
    return Reports(n, CableReports::idleReport());
}

Reports data(const QString &digits)
{
    return CableReports::pack(frameBytesFromDigits(digits));
}

// A report from its bytes after the report ID, e.g. "F3 2A 3B 4C".
QByteArray report(const char *hexData)
{
    return QByteArray(1, '\0') + QByteArray::fromHex(hexData);
}

struct Fed
{
    QStringList frames;
    QStringList history;
    qint32 idle = 0;
};

Fed feed(FrameAssembler &link, const Reports &reports)
{
    Fed fed;
    link.setShowData50([&](const QString &f) { fed.frames << f; });
    link.setHistoryHandler([&](const QString &line) { fed.history << line; });
    for (const QByteArray &r : reports)
        link.Read50(quint8(r[0]), QByteArrayView(r).sliced(1));
    fed.idle = link.idleReportCount();
    return fed;
}

} // namespace

class TestFrameAssembler : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void reassembly_data();
    void reassembly();
    void idleCounting();
    void reportTextAndHistory();
    void failedFrameIsDroppedOnceAndReadingGoesOn();
    void frameInterruptedByDisconnectIsCompletedLater();
};

void TestFrameAssembler::reassembly_data()
{
    QTest::addColumn<int>("frameLength");
    QTest::addColumn<Reports>("reports");
    QTest::addColumn<QStringList>("frames");

    QTest::newRow("km90 frame then idle")
        << 26 << data(km90Frame) + idle() << QStringList { km90Frame };
    QTest::newRow("no idle yet, no frame") << 26 << data(km90Frame) << QStringList {};
    QTest::newRow("two idles, one decode")
        << 26 << data(km90Frame) + idle(2) << QStringList { km90Frame };
    QTest::newRow("two frames in a row")
        << 26 << data(km90Frame) + idle() + data(km90Frame) + idle()
        << QStringList { km90Frame, km90Frame };

    // The first 21 digits of this 26-byte stream end in "DA"; the KM90 frame's do not.
    const QString cutToDa = QStringLiteral("6001300000004000000DA12345");
    QTest::newRow("km50 cuts to 21 and accepts")
        << 21 << data(cutToDa) + idle() << QStringList { cutToDa.left(21) };
    QTest::newRow("km50 cuts to 21 and drops") << 21 << data(km90Frame) + idle() << QStringList {};
    QTest::newRow("25-byte frame ending DA dropped")
        << 26 << data(km90Frame.mid(1)) + idle() << QStringList {};
    QTest::newRow("longer frame cut to 26")
        << 26 << data(km90Frame + QStringLiteral("777")) + idle() << QStringList { km90Frame };

    // Count nibble B (11 bytes) is idle: it ends the frame and its bytes are lost.
    QTest::newRow("count B ends frame")
        << 26 << data(km90Frame) + Reports { report("FB 31 32 33 34 35 36 37") }
        << QStringList { km90Frame };
    QTest::newRow("count B bytes not appended") << 26
                                                << data(km90Frame.left(21))
            + Reports { report("FB 31 32 33 34 35 36 37") } + data(km90Frame.mid(21)) + idle()
                                                << QStringList {};
    // High nibbles never matter: 0x0D and 0x3D both give "D".
    QTest::newRow("high nibbles ignored")
        << 26
        << Reports { report("F7 30 30 30 31 32 33 34"), report("F7 31 32 33 30 31 31 35"),
               report("F7 33 36 30 33 30 35 41"), report("F5 30 30 30 0D 0A 00 00") }
            + idle()
        << QStringList { QStringLiteral("000123412301153603051000DA") };
    // Count 7 but only 4 meter bytes present: the 4 that exist are appended.
    QTest::newRow("short report appends what it holds")
        << 21
        << Reports { report("F7 36 30 30 31"), report("F7 33 30 30 30 30 30 30"),
               report("F7 34 30 30 30 30 30 30"), report("F6 30 3D 3A 00 00 00 00") }
            + idle()
        << QStringList { QStringLiteral("6001300000040000000DA") };
    QTest::newRow("empty report ends a frame")
        << 26 << data(km90Frame) + Reports { QByteArray(1, '\0') } << QStringList { km90Frame };
}

void TestFrameAssembler::reassembly()
{
    QFETCH(int, frameLength);
    QFETCH(Reports, reports);
    QFETCH(QStringList, frames);

    FrameAssembler link(frameLength);
    const Fed fed = feed(link, reports);
    QCOMPARE(fed.frames, frames);
    for (const QString &f : fed.frames)
        QCOMPARE(f.size(), frameLength);
}

void TestFrameAssembler::idleCounting()
{
    FrameAssembler link(26);
    QCOMPARE(feed(link, idle(2000)).idle, 2000);
    QCOMPARE(link.frameOpen(), false);
    QCOMPARE(link.frameHex(), QString()); // an idle report with no frame open changes nothing else

    QCOMPARE(feed(link, Reports { QByteArray(1, '\0') }).idle, 2000); // no count byte: not counted
    QCOMPARE(feed(link, Reports { report("F2 31 32") }).idle, 0);
    QCOMPARE(link.frameHex(), QStringLiteral("3132"));
    QCOMPARE(feed(link, Reports { report("FC 00"), report("F0") }).idle, 2);

    link.resetIdleReportCount();
    QCOMPARE(link.idleReportCount(), 0);
}

void TestFrameAssembler::reportTextAndHistory()
{
    const QByteArray r = report("F3 2A 3B 4C 00 00 00 00");
    const QString text = FrameAssembler::reportText(0, QByteArrayView(r).sliced(1));
    QCOMPARE(text, QStringLiteral("R 00  F3 2A 3B 4C 00 00 00 00 "));
    QCOMPARE(text[7], u'3'); // the count digit is character 8

    FrameAssembler link(26);
    const Fed fed = feed(
        link, Reports { r } + idle(3) + Reports { report("FA 11") } + Reports { report("F1 0d") });
    QCOMPARE(fed.history, (QStringList { text, QStringLiteral("R 00  F1 0D ") }));
}

void TestFrameAssembler::failedFrameIsDroppedOnceAndReadingGoesOn()
{
    FrameAssembler link(26);
    QStringList handed;
    QStringList failures;
    link.setShowData50([&](const QString &f) {
        handed << f;
        if (handed.size() == 1)
            throw ConversionError(QStringLiteral("'A' is not a valid decimal digit"));
    });
    link.setFailureHandler(
        [&](const QString &f, const QString &message) { failures << f + u' ' + message; });

    const Reports stream = data(km90Frame) + idle(3) + data(km90Frame) + idle();
    for (const QByteArray &r : stream)
        link.Read50(0, QByteArrayView(r).sliced(1));

    QCOMPARE(handed, (QStringList { km90Frame, km90Frame })); // not handed twice, next one decoded
    QCOMPARE(
        failures, QStringList { km90Frame + QStringLiteral(" 'A' is not a valid decimal digit") });
    QCOMPARE(link.framesFailed(), quint64(1));
    QCOMPARE(link.framesDecoded(), quint64(2));
    QCOMPARE(link.frameOpen(), false);
    QCOMPARE(link.frameHex(), QString());
}

void TestFrameAssembler::frameInterruptedByDisconnectIsCompletedLater()
{
    // The reassembly state outlives a disconnect: whatever data arrives next
    // completes the frame, and the terminator test judges the result.
    FrameAssembler link(26);
    const Reports all = data(km90Frame);
    Fed first = feed(link, all.mid(0, 2));
    QVERIFY(first.frames.isEmpty());
    QVERIFY(link.frameOpen());
    Fed second = feed(link, all.mid(2) + idle());
    QCOMPARE(second.frames, QStringList { km90Frame });
}

QTEST_GUILESS_MAIN(TestFrameAssembler)
#include "tst_frameassembler.moc"
