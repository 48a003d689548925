// SPDX-License-Identifier: MIT
#include "core/CurrentReading.h"
#include "models/common/RecordingOutputs.h"
#include "models/common/lcd/tests/LcdPanelChecks.h"
#include "models/km50_60/Km50Decoder.h"
#include "models/km50_60/panel/Km50Panel.h"
#include "models/km50_60/tests/Km50Fixture.h"
#include "sim/MeterFrames.h"

#include <QApplication>
#include <QTest>

#include <stdexcept>

// The KM50/KM60 LCD as the user sees it: decoded frames rendered, read back
// from the pixels.
class TestKm50Panel : public QObject
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

constexpr QRgb panelGrey = 0xFFE8E8E8;

const QStringList digitNames = Km50Fixture::digitNames();

QString frameOf(const Km50Frame &f)
{
    return f.frameDigits();
}

} // namespace

void TestKm50Panel::initTestCase()
{
    QApplication::setFont(QFont(QStringLiteral("Liberation Sans"), 9));
}

void TestKm50Panel::placeAndColour()
{
    const Km50Display display;
    Km50Panel panel(display);
    QCOMPARE(panel.objectName(), QStringLiteral("Panel4"));
    QCOMPARE(panel.geometry(), QRect(4, 32, 337, 229));
    const QImage image = LcdPanelChecks::shot(panel);
    QCOMPARE(image.pixel(0, 0), panelGrey);
    QCOMPARE(image.pixel(330, 150), panelGrey); // right of the unit column
    // The sub-panels, in the panel's colour, are where their elements are.
    QCOMPARE(panel.elementRect(Km50Element::stor1), QRect(28, 44, 18, 45));
    QCOMPARE(panel.elementRect(Km50Element::H_Time1), QRect(156, 40, 21, 57));
    QCOMPARE(panel.elementRect(Km50Element::LabelA), QRect(68, 120, 40, 97));
}

// Each element alone: it draws something, and only at its own place.
void TestKm50Panel::everyElementDrawsInItsOwnPlace()
{
    const QString wrong = LcdPanelChecks::elementOutOfPlace<Km50Panel, Km50Display>();
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
}

void TestKm50Panel::decodedFrames_data()
{
    QTest::addColumn<QStringList>("frames"); // "DispInit" blanks without a frame
    QTest::addColumn<QStringList>("shown"); // exactly these elements show
    QTest::addColumn<QStringList>("texts"); // "element=text"

    QStringList all;
    for (const LcdElementInfo &info : km50Elements)
        all << QString::fromLatin1(info.name);
    QStringList startShown = all;
    startShown.removeAll("Lab0");
    startShown.removeAll("LabFUL");
    QTest::newRow("before the first frame")
        << QStringList() << startShown
        << QStringList { "LabelA=8", "LabelB=8", "LabelC=8", "LabelD=8", "stor1=8", "stor2=8",
               "H_Time1=8", "M_Time2=8", "T_LabelF=-", "LcdAuto=AUTO", "ol1=}  1", "ol3=}   3",
               "wsg=%W", "Labtime=Time   mm:ss", "kvar= KVAr", "kvar1=KVAr", "Labcal=CAL",
               "LCDHold=\"" };

    QTest::newRow("blanked before any frame")
        << QStringList { "DispInit" } << digitNames << QStringList { "LabelA=8", "M_Time2=8" };

    QTest::newRow("temperature 1300")
        << QStringList { Km50Fixture::temperature1300 }
        << (QStringList { "rsUSB", "Labtemp", "f1", "c" } + digitNames)
        << QStringList { "LabelA=1", "LabelB=3", "LabelC=0", "LabelD=0", "H_Time1=0", "M_Time2=0",
               "stor1=0", "stor2=0", "f1=?", "c=#", "Labtemp=TEMP", "rsUSB=USB" };

    Km50Frame energy;
    energy.function = 5;
    energy.mainDigits = "1234";
    energy.mainPoint = 1;
    energy.secondaryDigits = "5678";
    energy.secondaryPoint = 2;
    energy.memory = 12;
    QTest::newRow("energy hides the secondary display")
        << QStringList { frameOf(energy) }
        << QStringList { "rsUSB", "labac", "kwh", "LabelA", "LabelB", "LabelC", "LabelD", "Point3",
               "stor1", "stor2" }
        << QStringList { "kwh=KWh", "labac=AC", "LabelA=1", "LabelB=2", "LabelC=3", "LabelD=4",
               "stor1=1", "stor2=2" };

    Km50Frame voltage;
    voltage.function = 0;
    voltage.mainDigits = "2301";
    voltage.mainPoint = 1;
    voltage.secondaryDigits = "0500";
    voltage.secondaryPoint = 1;
    voltage.memory = 5;
    QTest::newRow("voltage after energy shows it again")
        << QStringList { frameOf(energy), frameOf(voltage) }
        << (QStringList { "rsUSB", "kvar1", "kvar", "freq", "labac", "Point3", "T_Point3" }
               + digitNames)
        << QStringList { "kvar1=Hz", "kvar=V", "freq=FREQ", "LabelA=2", "LabelB=3", "LabelC=0",
               "LabelD=1", "H_Time1=0", "H_Time2=5", "M_Time1=0", "M_Time2=0", "stor1=0",
               "stor2=5" };

    Km50Frame overload;
    overload.function = 4;
    overload.mainDigits = "0856";
    overload.mainPoint = 3;
    overload.status.minus = true;
    overload.status.mainOverload = true;
    QTest::newRow("power factor overload with minus")
        << QStringList { frameOf(overload) }
        << (QStringList { "rsUSB", "LabelF", "Point1", "pg", "pf", "Lab0" } + digitNames)
        << QStringList { "LabelA=", "LabelB=0", "LabelC=@", "LabelD=", "LabelF=-", "pf=PF", "pg=PG",
               "Lab0=\u00B0", "H_Time1=0" };

    QTest::newRow("sum power") << QStringList { Km50Fixture::sumPower }
                               << (QStringList { "rsUSB", "LabelF", "Point1", "labMEM", "wsg" }
                                      + digitNames)
                               << QStringList { "wsg=\u2211W", "labMEM=MEM", "LabelA=0", "LabelB=6",
                                      "LabelC=0", "LabelD=0", "H_Time1=1", "H_Time2=1", "M_Time1=2",
                                      "M_Time2=1" };

    Km50Frame marks;
    marks.function = 1;
    marks.mainDigits = "1234";
    marks.mainPoint = 2;
    marks.secondaryDigits = "2299";
    marks.secondaryPoint = 3;
    marks.memory = 99;
    marks.status.battery = true;
    marks.status.highVoltage = true;
    marks.status.max = true;
    marks.status.min = true;
    marks.status.hold = true;
    marks.status.clr = true;
    marks.status.mem = true;
    marks.status.mark1 = true;
    marks.status.mark2 = true;
    marks.status.mark3 = true;
    marks.status.secondOverload = true;
    QTest::newRow("current, every mark, memory full, secondary overload")
        << QStringList { frameOf(marks) }
        << (QStringList { "rsUSB", "dc1", "labac", "kvar1", "kvar", "power", "danger", "Labmax",
                "Labmin", "LCDHold", "Labclr", "labMEM", "ol1", "ol2", "ol3", "LabFUL", "Point2",
                "T_Point1" }
               + digitNames)
        << QStringList { "dc1=AC", "kvar1=V", "kvar=A", "LabelA=1", "LabelB=2", "LabelC=3",
               "LabelD=4", "H_Time1=", "H_Time2=0", "M_Time1=@", "M_Time2=", "stor1=9", "stor2=9",
               "LabFUL=FUL", "ol2=}   2", "LCDHold=\"", "Labmax=MAX" };
}

void TestKm50Panel::decodedFrames()
{
    QFETCH(QStringList, frames);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, texts);

    RecordingOutputs outputs;
    CurrentReading reading;
    Km50Decoder decoder(outputs, reading, QStringLiteral("."));
    Km50Panel panel(decoder.lcd());
    LcdPanelChecks::play(decoder, panel, frames);
    const QString mismatch = LcdPanelChecks::lookMismatch(panel, shown, texts);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void TestKm50Panel::refusesAnotherDisplayState()
{
    const std::array<LcdElementInfo, km50ElementCount> copy = km50Elements;
    const LcdDisplayState lookalike(copy);
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, Km50Panel { lookalike });
}

QTEST_MAIN(TestKm50Panel)
#include "tst_km50panel.moc"
