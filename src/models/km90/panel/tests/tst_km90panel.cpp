// SPDX-License-Identifier: MIT
#include "core/CurrentReading.h"
#include "models/common/RecordingOutputs.h"
#include "models/common/lcd/tests/LcdPanelChecks.h"
#include "models/km90/Km90Decoder.h"
#include "models/km90/panel/Km90Panel.h"
#include "models/km90/tests/Km90Fixture.h"
#include "sim/MeterFrames.h"

#include <QApplication>
#include <QTest>

#include <stdexcept>

// The KM90 LCD as the user sees it: decoded frames rendered, read back from
// the pixels.
class TestKm90Panel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void placeAndColour();
    void everyElementDrawsInItsOwnPlace();
    void decodedFrames_data();
    void decodedFrames();
    void refusesAnotherDisplayState();
};

namespace {

constexpr QRgb white = 0xFFFFFFFF;

const QStringList digitNames = Km90Fixture::digitNames();

Km90Frame rows(int function, const char *main, int mainPoint)
{
    Km90Frame f;
    f.function = function;
    f.mainDigits = QString::fromLatin1(main);
    f.mainPoint = mainPoint;
    f.voltageDigits = QStringLiteral("2301");
    f.voltagePoint = 1;
    f.currentDigits = QStringLiteral("0500");
    f.currentPoint = 2;
    return f;
}

} // namespace

void TestKm90Panel::initTestCase()
{
    QApplication::setFont(QFont(QStringLiteral("Liberation Sans"), 9));
}

void TestKm90Panel::placeAndColour()
{
    const Km90Display display;
    Km90Panel panel(display);
    QCOMPARE(panel.objectName(), QStringLiteral("Panel40"));
    QCOMPARE(panel.geometry(), QRect(4, 36, 357, 275));
    const QImage image = LcdPanelChecks::shot(panel);
    QCOMPARE(image.pixel(0, 0), white);
    QCOMPARE(image.pixel(340, 190), white); // right of the current row
    QCOMPARE(panel.elementRect(Km90Element::stor1), QRect(54, 40, 18, 41));
    QCOMPARE(panel.elementRect(Km90Element::LabelA), QRect(52, 88, 48, 97));
    QCOMPARE(panel.elementRect(Km90Element::LCDAA), QRect(33, 208, 21, 63));
    QCOMPARE(panel.elementRect(Km90Element::Labtime), QRect(181, 192, 122, 18));
}

// Each element alone: it draws something, and only at its own place.
void TestKm90Panel::everyElementDrawsInItsOwnPlace()
{
    const QString wrong = LcdPanelChecks::elementOutOfPlace<Km90Panel, Km90Display>();
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
}

void TestKm90Panel::decodedFrames_data()
{
    QTest::addColumn<QStringList>("frames"); // "DispInit" blanks without a frame
    QTest::addColumn<QStringList>("shown"); // exactly these elements show
    QTest::addColumn<QStringList>("texts"); // "element=text"

    QStringList all;
    for (const LcdElementInfo &info : km90Elements)
        all << QString::fromLatin1(info.name);
    QStringList startShown = all;
    startShown.removeAll("Image1");
    startShown.removeAll("T_dPoint1");
    QTest::newRow("before the first frame")
        << QStringList() << startShown
        << QStringList { "LabelA=8", "LabelD=8", "LCDAA=8", "LCDDD=8", "H_Time1=8", "M_Time2=8",
               "stor1=8", "stor2=8", "LCDHold=\"", "KVA=KVA", "wsg=%W", "ol1=}  1",
               "Labtime=Time h:mm:s", "THD=%THD", "PEAK1=PEAK1", "kvar= KVAr", "LcdAuto=AUTO",
               "Labcal=CAL" };

    QTest::newRow("blanked before any frame")
        << QStringList { "DispInit" }
        << (QStringList { "hz", "PEAK", "KVA", "THD", "PEAK1", "PEAK2", "KW", "AC", "cos_dis",
                "AC1", "point11", "point22", "point33", "AC2" }
               + digitNames)
        << QStringList { "KVA=KVA", "cos_dis=Cos", "LabelB=8" };

    const QString &power = Km90Fixture::power;
    QTest::newRow("power") << QStringList { power }
                           << (QStringList { "rsUSB", "power", "LcdAuto", "AC", "kwh", "KVA",
                                   "kvar1", "Point3", "point33", "T_Point1", "AC1", "AC2" }
                                  + digitNames)
                           << QStringList { "LabelA=1", "LabelB=2", "LabelC=3", "LabelD=4",
                                  "LCDAA=2", "LCDBB=3", "LCDCC=0", "LCDDD=1", "H_Time1=5",
                                  "H_Time2=3", "M_Time1=6", "M_Time2=0", "stor1=0", "stor2=5",
                                  "kwh=KW", "KVA=V", "kvar1=A", "rsUSB=USB" };

    const QString &powerFactor = Km90Fixture::powerFactor;
    QTest::newRow("power factor with phi")
        << QStringList { powerFactor }
        << (QStringList { "rsUSB", "LcdAuto", "LabelF", "Point1", "cos_dis", "Image1", "KVA",
                "kvar1", "point33", "T_Point2", "AC1", "AC2" }
               + digitNames)
        << QStringList { "cos_dis=Cos", "LabelA=0", "LabelB=5", "LabelC=0", "LabelD=0", "LCDAA=2",
               "LCDBB=2", "LCDCC=9", "LCDDD=8", "H_Time1=1", "H_Time2=2", "M_Time1=5",
               "M_Time2=0" };

    QTest::newRow("phase after power factor keeps phi")
        << QStringList { powerFactor, rows(4, "0450", 1).frameDigits() }
        << (QStringList { "rsUSB", "LcdAuto", "Lab0", "cos_dis", "Image1", "KVA", "kvar1", "Point3",
                "point33", "T_Point2", "AC1", "AC2" }
               + digitNames)
        << QStringList { "Lab0=\u00B0", "cos_dis=", "LabelA=0", "LabelB=4", "LabelC=5",
               "LabelD=0" };

    QTest::newRow("overload with minus")
        << QStringList { power, Km90Fixture::overloadHeld }
        << (QStringList { "rsUSB", "LcdAuto", "AC", "kwh", "KVA", "kvar1", "LabelF", "LCDHold",
                "point33", "T_Point1", "AC1", "AC2" }
               + digitNames)
        << QStringList { "LabelA=", "LabelB=0", "LabelC=@", "LabelD=", "stor1=1", "stor2=2",
               "LCDHold=\"" };

    Km90Frame sum = rows(7, "1846", 2);
    sum.status.sum = true;
    sum.status.mark1 = true;
    sum.status.mark2 = true;
    sum.status.mark3 = true;
    QTest::newRow("sum after power")
        << QStringList { power, sum.frameDigits() }
        << (QStringList { "rsUSB", "AC", "KVA", "wsg", "ol1", "ol2", "ol3", "Point2", "point33",
                "T_Point2", "AC1", "AC2" }
               + digitNames)
        << QStringList { "wsg=\u2211W", "ol3=}   3", "ol2=}   2", "KVA=V", "LabelA=1", "LabelB=8",
               "LabelC=4", "LabelD=6" };

    QTest::newRow("code 6 after frequency keeps Hz")
        << QStringList { rows(5, "0500", 1).frameDigits(), rows(6, "0500", 1).frameDigits() }
        << (QStringList {
                "rsUSB", "hz", "KVA", "AC", "Point3", "point33", "T_Point2", "AC1", "AC2" }
               + digitNames)
        << QStringList { "hz=Hz", "KVA=V", "LabelB=5" };
}

void TestKm90Panel::decodedFrames()
{
    QFETCH(QStringList, frames);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, texts);

    RecordingOutputs outputs;
    CurrentReading reading;
    Km90Decoder decoder(outputs, reading, QStringLiteral("."));
    Km90Panel panel(decoder.lcd());
    LcdPanelChecks::play(decoder, panel, frames);
    const QString mismatch = LcdPanelChecks::lookMismatch(panel, shown, texts);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void TestKm90Panel::refusesAnotherDisplayState()
{
    const std::array<LcdElementInfo, km90ElementCount> copy = km90Elements;
    const LcdDisplayState lookalike(copy);
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, Km90Panel { lookalike });
}

QTEST_MAIN(TestKm90Panel)
#include "tst_km90panel.moc"
