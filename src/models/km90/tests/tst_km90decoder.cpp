// SPDX-License-Identifier: MIT
#include "core/ConversionError.h"
#include "models/common/RecordingOutputs.h"
#include "models/common/tests/DecoderChecks.h"
#include "models/km50_60/tests/Km50Fixture.h"
#include "models/km90/Km90Decoder.h"
#include "models/km90/tests/Km90Fixture.h"

#include <QTest>

#include <optional>

namespace {

using namespace Km90Fixture;
using DecoderChecks::digitTexts;
using Outputs = DecoderChecks::ValueLoggingOutputs;

// A frame from its fields separated by blanks: function, ignored digit, zero
// marker, main digits, main point, voltage digits, voltage point, current
// digits, current point, memory, S1-S4. "DA" is appended. A full 26-character
// frame is taken as is.
QString frame(const QString &fields)
{
    return DecoderChecks::frameFromFields(fields, 26);
}

const QString sum = QString(QChar(0x2211));

const QString frequency = QStringLiteral("5 0 0 5001 2 2301 1 5360 3 06 0000");
const QString phase = QStringLiteral("4 0 0 0243 1 2301 1 5360 3 06 0000");
const QString sumDisplay = QStringLiteral("7 0 0 2475 1 2301 1 5360 3 12 0081");

const GaugeScale powerScale { QStringLiteral("6"), 600, 600, 600, 120 };
const GaugeScale phaseScale { QStringLiteral("10"), 360, 360, 360, 72 };
const GaugeScale powerFactorScale { QStringLiteral("7"), 1000, 1000, 1000, 200 };

const QStringList head { "LinkOn", "DispInit\t0" };
const QStringList toPower { "SelectGaugeScale\t0", "KDsetup", "SetValueMinimum\t-1000",
    "SetValueMaximum\t1000" };
const QStringList toPhase { "SelectGaugeScale\t1", "KDsetup", "SetValueMinimum\t-400",
    "SetValueMaximum\t400" };
const QStringList toPowerFactor { "SelectGaugeScale\t3", "KDsetup", "SetValueMinimum\t-1",
    "SetValueMaximum\t1" };

// Needle, bar, recorder and chart for one reading: the Value the recorder sees
// and the chart point.
QStringList reading(int needle, int barMax, int barPos, const QString &recorded, const QString &y)
{
    return { QStringLiteral("KDrun\t%1").arg(needle), QStringLiteral("BarMax\t%1").arg(barMax),
        QStringLiteral("BarPos\t%1").arg(barPos),
        QStringLiteral("INDataToTable\t1 Value=") + recorded, QStringLiteral("AddValue\t") + y };
}

// The non-digit elements still shown when a frame has been blanked before any
// frame of codes 0-5 (those hide hz, PEAK, KW, PEAK2, THD and PEAK1).
const QString untouchedByBlanking
    = "rsUSB hz PEAK KW PEAK2 KVA THD PEAK1 AC cos_dis AC1 point11 point22 point33 AC2";

struct Case
{
    QStringList prior {}; // decoded first; a leading "!" marks a frame that must fail
    QString frame {};
    QString separator = QStringLiteral(".");
    bool throws = false;
    QStringList calls {};
    QStringList reading {}; // Value, Unit, V_Value, V_Unit, I_Value, I_Unit
    QString main {}; // LabelA..LabelD, "_" for an empty digit
    QString voltage {}; // LCDAA..LCDDD
    QString current {}; // H_Time1..M_Time2
    QString memory {}; // stor1 stor2
    QString shown {}; // visible non-digit elements; "=text" where the start-up text was replaced
    QStringList texts {}; // "element=text" checked whether shown or not
    GaugeScale scale = powerScale;
    std::optional<QString> previousUnit {}; // when it differs from Unit
};

const QStringList powerReading { "123.4", "KW", "230.1", "v", "5.360", "A" };
const QStringList startReading { "0000", "", "", "", "", "" };

QStringList shownElements(const Km90Display &display)
{
    return DecoderChecks::shownElements(display, digitElements);
}

} // namespace

Q_DECLARE_METATYPE(Case)

class TestKm90Decoder : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void decode_data();
    void decode();
    void wrongLengthChangesNothing_data();
    void wrongLengthChangesNothing();
    void scaleStateAfterFrames();
};

void TestKm90Decoder::decode_data()
{
    QTest::addColumn<Case>("c");

    const QString noQuantity = "6 0 0 1500 1 2301 1 5360 3 05 0000"; // code 6
    const QString badVoltagePoint = "1 0 0 0456 2 2299 C 4100 3 42 0000";

    // The three readings every later case builds on.
    QTest::newRow("power with battery mark") << Case { .frame = power,
        .calls = head + toPower + reading(723, 600, 123, "123.4", "123.4"),
        .reading = powerReading,
        .main = "1234",
        .voltage = "2301",
        .current = "5360",
        .memory = "05",
        .shown = "rsUSB AC1 AC2 KVA=V kvar1=A LcdAuto AC kwh=KW power Point3 point33 T_Point1" };
    QTest::newRow("negative power factor") << Case { .frame = powerFactor,
        .calls = head + toPowerFactor + reading(500, 1000, 1, "-0.500", "-0.5"),
        .reading = { "-0.500", "PF", "229.8", "v", "12.50", "A" },
        .main = "0500",
        .voltage = "2298",
        .current = "1250",
        .memory = "00",
        .shown
        = "rsUSB AC1 AC2 KVA=V kvar1=A LcdAuto cos_dis Image1 LabelF Point1 point33 T_Point2",
        .scale = powerFactorScale };
    QTest::newRow("negative overload held") << Case { .prior = { power },
        .frame = overloadHeld,
        .calls = head + reading(0, 600, 600, "OL", "-600"),
        .reading = { "OL", "KW", "230.1", "v", "5.360", "A" },
        .main = "_0@_",
        .voltage = "2301",
        .current = "5360",
        .memory = "12",
        .shown = "rsUSB AC1 AC2 KVA=V kvar1=A LcdAuto AC kwh=KW LabelF LCDHold point33 T_Point1" };

    // Overload: the needle goes to the end of its sign, the bar fills.
    QTest::newRow("overload without minus goes to the right end") << Case { .prior = { power },
        .frame = "0 0 0 9999 0 2301 1 5360 3 12 0200",
        .calls = head + reading(1200, 600, 600, "OL", "600"),
        .reading = { "OL", "KW", "230.1", "v", "5.360", "A" },
        .main = "_0@_",
        .voltage = "2301",
        .current = "5360",
        .memory = "12",
        .shown = "rsUSB AC1 AC2 KVA=V kvar1=A LcdAuto AC kwh=KW point33 T_Point1" };
    QTest::newRow("power factor overload") << Case { .prior = { powerFactor },
        .frame = "3 0 0 9999 3 2298 1 1250 2 00 0200",
        .calls = head + reading(2000, 1000, 1000, "OL", "1"),
        .reading = { "OL", "PF", "229.8", "v", "12.50", "A" },
        .main = "_0@_",
        .voltage = "2298",
        .current = "1250",
        .memory = "00",
        .shown = "rsUSB AC1 AC2 KVA=V kvar1=A LcdAuto cos_dis Image1 Point1 point33 T_Point2",
        .scale = powerFactorScale };
    QTest::newRow("negative power factor overload") << Case { .prior = { powerFactor },
        .frame = "3 0 0 9999 3 2298 1 1250 2 00 4200",
        .calls = head + reading(0, 1000, 1000, "OL", "-1"),
        .reading = { "OL", "PF", "229.8", "v", "12.50", "A" },
        .main = "_0@_",
        .voltage = "2298",
        .current = "1250",
        .memory = "00",
        .shown = "rsUSB AC1 AC2 KVA=V kvar1=A LcdAuto cos_dis Image1 LabelF Point1 point33 "
                 "T_Point2",
        .scale = powerFactorScale };
    QTest::newRow("overload wins over the zero marker") << Case { .prior = { power },
        .frame = "0 0 B 1234 1 2301 1 5360 3 05 0200",
        .calls = head + reading(1200, 600, 600, "OL", "600"),
        .reading = { "OL", "KW", "230.1", "v", "5.360", "A" },
        .main = "_0@_",
        .voltage = "2301",
        .current = "5360",
        .memory = "05",
        .shown = "rsUSB AC1 AC2 KVA=V kvar1=A LcdAuto AC kwh=KW Point3 point33 T_Point1" };
    QTest::newRow("voltage overload") << Case { .prior = { power },
        .frame = "0 0 0 1234 1 2301 1 5360 3 05 0100",
        .calls = head + reading(723, 600, 123, "123.4", "123.4"),
        .reading = { "123.4", "KW", "0@.", "v", "5.360", "A" },
        .main = "1234",
        .voltage = "_0@_",
        .current = "5360",
        .memory = "05",
        .shown = "rsUSB AC1 AC2 KVA=V kvar1=A LcdAuto AC kwh=KW Point3 point33 T_Point1" };

    // Power factor read through the scaled integer: 1.001 x 1000 is just below
    // 1001 in binary; the 15-digit step gives the integer.
    QTest::newRow("power factor scaled through 15 digits") << Case { .prior = { powerFactor },
        .frame = "3 0 0 1001 3 2298 1 1250 2 00 0000",
        .calls = head + reading(2001, 1000, 1001, "1.001", "1.001"),
        .reading = { "1.001", "PF", "229.8", "v", "12.50", "A" },
        .main = "1001",
        .voltage = "2298",
        .current = "1250",
        .memory = "00",
        .shown = "rsUSB AC1 AC2 KVA=V kvar1=A LcdAuto cos_dis Image1 Point1 point33 T_Point2",
        .scale = powerFactorScale };
    QTest::newRow("comma separator power factor") << Case { .frame
        = "3 0 0 0856 3 2298 1 1250 2 00 0000",
        .separator = ",",
        .calls = head + toPowerFactor + reading(1856, 1000, 856, "0,856", "0.856"),
        .reading = { "0,856", "PF", "229,8", "v", "12,50", "A" },
        .main = "0856",
        .voltage = "2298",
        .current = "1250",
        .memory = "00",
        .shown = "rsUSB AC1 AC2 KVA=V kvar1=A LcdAuto cos_dis Image1 Point1 point33 T_Point2",
        .scale = powerFactorScale };
    QTest::newRow("comma separator") << Case { .frame = power,
        .separator = ",",
        .calls = head + toPower + reading(723, 600, 123, "123,4", "123.4"),
        .reading = { "123,4", "KW", "230,1", "v", "5,360", "A" },
        .main = "1234",
        .voltage = "2301",
        .current = "5360",
        .memory = "05",
        .shown = "rsUSB AC1 AC2 KVA=V kvar1=A LcdAuto AC kwh=KW power Point3 point33 T_Point1" };
    QTest::newRow("power factor mode lasts one frame") << Case { .prior = { powerFactor },
        .frame = "6 0 0 0500 3 2298 1 1250 2 00 0000",
        .calls = head + reading(1000, 1000, 1, "0.500", "0.5"),
        .reading = { "0.500", "PF", "229.8", "v", "12.50", "A" },
        .main = "0500",
        .voltage = "2298",
        .current = "1250",
        .memory = "00",
        .shown = "rsUSB AC1 AC2 KVA=V cos_dis Image1 Point1 point33 T_Point2",
        .scale = powerFactorScale };

    // Function codes and the elements outside the blank set.
    QTest::newRow("power after power factor") << Case { .prior = { powerFactor },
        .frame = power,
        .calls = head + toPower + reading(723, 600, 123, "123.4", "123.4"),
        .reading = powerReading,
        .main = "1234",
        .voltage = "2301",
        .current = "5360",
        .memory = "05",
        .shown = "rsUSB AC1 AC2 KVA=V kvar1=A LcdAuto AC kwh=KW power Point3 point33 T_Point1",
        .texts = { "cos_dis=Cos" } };
    QTest::newRow("reactive power") << Case { .frame = "2 0 0 0456 0 2299 3 4100 0 42 0000",
        .calls = head + toPower + reading(1056, 600, 456, "0456", "456"),
        .reading = { "0456", "KVAr", "2.299", "v", "4100", "A" },
        .main = "0456",
        .voltage = "2299",
        .current = "4100",
        .memory = "42",
        .shown = "rsUSB AC1 AC2 KVA=V kvar1=A LcdAuto AC kvar=KVAr point11" };
    QTest::newRow("frequency shows Hz") << Case { .prior = { power },
        .frame = frequency,
        .calls = head + toPower + reading(650, 600, 50, "50.01", "50.01"),
        .reading = { "50.01", "Hz", "230.1", "v", "5.360", "A" },
        .main = "5001",
        .voltage = "2301",
        .current = "5360",
        .memory = "06",
        .shown = "rsUSB AC1 AC2 KVA=V kvar1=A LcdAuto AC hz Point2 point33 T_Point1",
        .texts = { "kwh=KW" } };
    QTest::newRow("power after frequency hides Hz") << Case { .prior = { frequency },
        .frame = power,
        .calls = head + toPower + reading(723, 600, 123, "123.4", "123.4"),
        .reading = powerReading,
        .main = "1234",
        .voltage = "2301",
        .current = "5360",
        .memory = "05",
        .shown = "rsUSB AC1 AC2 KVA=V kvar1=A LcdAuto AC kwh=KW power Point3 point33 T_Point1" };
    QTest::newRow("phase after power factor keeps phi") << Case { .prior = { powerFactor },
        .frame = phase,
        .calls = head + toPhase + reading(384, 360, 24, "024.3", "24.3"),
        .reading = { "024.3", "o", "230.1", "v", "5.360", "A" },
        .main = "0243",
        .voltage = "2301",
        .current = "5360",
        .memory = "06",
        .shown = "rsUSB AC1 AC2 KVA=V kvar1=A LcdAuto Lab0 cos_dis= Image1 Point3 point33 T_Point1",
        .scale = phaseScale };
    QTest::newRow("phase after power hides phi") << Case { .prior = { power },
        .frame = phase,
        .calls = head + toPhase + reading(384, 360, 24, "024.3", "24.3"),
        .reading = { "024.3", "o", "230.1", "v", "5.360", "A" },
        .main = "0243",
        .voltage = "2301",
        .current = "5360",
        .memory = "06",
        .shown = "rsUSB AC1 AC2 KVA=V kvar1=A LcdAuto Lab0 AC Point3 point33 T_Point1",
        .texts = { "cos_dis=" },
        .scale = phaseScale };
    QTest::newRow("code 6 keeps unit and scale of power") << Case { .prior = { power },
        .frame = noQuantity,
        .calls = head + reading(750, 600, 150, "150.0", "150"),
        .reading = { "150.0", "KW", "230.1", "v", "5.360", "A" },
        .main = "1500",
        .voltage = "2301",
        .current = "5360",
        .memory = "05",
        .shown = "rsUSB AC1 AC2 KVA=V AC Point3 point33 T_Point1",
        .texts = { "kwh=KW" } };
    QTest::newRow("code 6 after frequency keeps Hz shown") << Case { .prior = { frequency },
        .frame = noQuantity,
        .calls = head + reading(750, 600, 150, "150.0", "150"),
        .reading = { "150.0", "Hz", "230.1", "v", "5.360", "A" },
        .main = "1500",
        .voltage = "2301",
        .current = "5360",
        .memory = "05",
        .shown = "rsUSB AC1 AC2 KVA=V AC hz Point3 point33 T_Point1" };
    QTest::newRow("code 9 before any unit uses the start-up scale") << Case { .frame
        = "9 0 0 0030 0 2301 1 5360 3 05 0000",
        .calls = head + reading(630, 60, 30, "0030", "30"),
        .reading = { "0030", "", "230.1", "", "5.360", "" },
        .main = "0030",
        .voltage = "2301",
        .current = "5360",
        .memory = "05",
        .shown = "rsUSB hz PEAK KW PEAK2 KVA THD PEAK1 AC cos_dis Image1 AC1 AC2 point33 T_Point1",
        .scale = GaugeScale {} };
    QTest::newRow("sum display only updates the panel") << Case { .prior = { power },
        .frame = sumDisplay,
        .calls = head,
        .reading = { "247.5", "KW", "230.1", "v", "5.360", "A" },
        .main = "2475",
        .voltage = "2301",
        .current = "5360",
        .memory = "12",
        .shown = "rsUSB AC1 AC2 KVA=V AC Point3 point33 T_Point1 labMEM wsg=" + sum + "W",
        .texts = { "kwh=KW" } };
    QTest::newRow("sum display overload still reads OL") << Case { .prior = { power },
        .frame = "7 0 0 2475 1 2301 1 5360 3 12 0200",
        .calls = head,
        .reading = { "OL", "KW", "230.1", "v", "5.360", "A" },
        .main = "_0@_",
        .voltage = "2301",
        .current = "5360",
        .memory = "12",
        .shown = "rsUSB AC1 AC2 KVA=V AC Point3 point33 T_Point1",
        .texts = { "wsg=" + sum + "W" } };
    QTest::newRow("sum display keeps the phase scale") << Case { .prior = { power, phase },
        .frame = sumDisplay,
        .calls = head,
        .reading = { "247.5", "o", "230.1", "v", "5.360", "A" },
        .main = "2475",
        .voltage = "2301",
        .current = "5360",
        .memory = "12",
        .shown = "rsUSB AC1 AC2 KVA=V AC Point3 point33 T_Point1 labMEM wsg=" + sum + "W",
        .scale = phaseScale };

    // Status nibbles, memory and points.
    QTest::newRow("every status bit") << Case { .prior = { power },
        .frame = "0 0 0 0012 0 2301 1 5360 3 05 FCFF",
        .calls = head + reading(588, 600, 12, "-0012", "-12"),
        .reading = { "-0012", "KW", "230.1", "v", "5.360", "A" },
        .main = "0012",
        .voltage = "2301",
        .current = "5360",
        .memory = "05",
        .shown = "rsUSB AC1 AC2 KVA=V kvar1=A LcdAuto AC kwh=KW point33 T_Point1 power danger "
                 "LabelF Labmax Labmin LCDHold Labclr labMEM wsg="
            + sum + " ol1 ol2 ol3" };
    QTest::newRow("single status bits, MR bit unused") << Case { .prior = { power },
        .frame = "0 0 0 1234 1 2301 1 5360 3 05 2424",
        .calls = head + reading(723, 600, 123, "123.4", "123.4"),
        .reading = powerReading,
        .main = "1234",
        .voltage = "2301",
        .current = "5360",
        .memory = "05",
        .shown = "rsUSB AC1 AC2 KVA=V kvar1=A LcdAuto AC kwh=KW Point3 point33 T_Point1 Labmax "
                 "Labclr ol2" };
    QTest::newRow("high voltage and minus") << Case { .prior = { power },
        .frame = "0 0 0 1234 1 2301 1 5360 3 05 C000",
        .calls = head + reading(477, 600, 123, "-123.4", "-123.4"),
        .reading = { "-123.4", "KW", "230.1", "v", "5.360", "A" },
        .main = "1234",
        .voltage = "2301",
        .current = "5360",
        .memory = "05",
        .shown = "rsUSB AC1 AC2 KVA=V kvar1=A LcdAuto AC kwh=KW danger LabelF Point3 point33 "
                 "T_Point1" };
    QTest::newRow("memory 99 is full") << Case { .prior = { power },
        .frame = "0 0 0 1234 1 2301 1 5360 3 99 0008",
        .calls = head + reading(723, 600, 123, "123.4", "123.4"),
        .reading = powerReading,
        .main = "1234",
        .voltage = "2301",
        .current = "5360",
        .memory = "99",
        .shown = "rsUSB AC1 AC2 KVA=V kvar1=A LcdAuto AC kwh=KW LabFUL ol1 Point3 point33 "
                 "T_Point1" };
    QTest::newRow("memory 98 is not full") << Case { .prior = { power },
        .frame = "0 0 0 1234 1 2301 1 5360 3 98 0000",
        .calls = head + reading(723, 600, 123, "123.4", "123.4"),
        .reading = powerReading,
        .main = "1234",
        .voltage = "2301",
        .current = "5360",
        .memory = "98",
        .shown = "rsUSB AC1 AC2 KVA=V kvar1=A LcdAuto AC kwh=KW Point3 point33 T_Point1" };
    QTest::newRow("zero marker") << Case { .prior = { power },
        .frame = "0 0 B 1234 1 2301 1 5360 3 05 0000",
        .calls = head + reading(600, 600, 1, "000.0", "0"),
        .reading = { "000.0", "KW", "230.1", "v", "5.360", "A" },
        .main = "0000",
        .voltage = "2301",
        .current = "5360",
        .memory = "05",
        .shown = "rsUSB AC1 AC2 KVA=V kvar1=A LcdAuto AC kwh=KW Point3 point33 T_Point1" };
    QTest::newRow("point code 5 keeps the values and the voltage point")
        << Case { .prior = { power },
               .frame = "0 0 0 5678 5 2299 5 4100 5 05 0000",
               .calls = head + reading(723, 600, 123, "123.4", "123.4"),
               .reading = powerReading,
               .main = "5678",
               .voltage = "2299",
               .current = "4100",
               .memory = "05",
               .shown = "rsUSB AC1 AC2 KVA=V kvar1=A LcdAuto AC kwh=KW point33" };
    QTest::newRow("reading beyond the scale is not clamped")
        << Case { .frame = "0 0 0 9999 1 2301 1 5360 3 05 0000",
               .calls = head + toPower + reading(1599, 600, 999, "999.9", "999.9"),
               .reading = { "999.9", "KW", "230.1", "v", "5.360", "A" },
               .main = "9999",
               .voltage = "2301",
               .current = "5360",
               .memory = "05",
               .shown = "rsUSB AC1 AC2 KVA=V kvar1=A LcdAuto AC kwh=KW Point3 point33 T_Point1" };

    // Conversion errors: the frame stops at the step that reads the character.
    QTest::newRow("letter as function code stops after the blanking") << Case { .prior = { power },
        .frame = "A 0 0 5678 1 2299 1 4100 3 42 0000",
        .throws = true,
        .calls = head,
        .reading = powerReading,
        .main = "1234",
        .voltage = "2301",
        .current = "5360",
        .memory = "05",
        .shown = "rsUSB AC1 AC2 KVA=V AC point33" };
    QTest::newRow("letter in the memory number")
        << Case { .frame = "0 0 0 1234 1 2301 1 5360 3 0A 0000",
               .throws = true,
               .calls = head,
               .reading = startReading,
               .main = "8888",
               .voltage = "8888",
               .current = "8888",
               .memory = "88",
               .shown = untouchedByBlanking,
               .scale = GaugeScale {} };
    QTest::newRow("letter in the main point stops after the digits")
        << Case { .frame = "0 0 0 5678 A 2301 1 5360 3 05 4000",
               .throws = true,
               .calls = head,
               .reading = startReading,
               .main = "5678",
               .voltage = "8888",
               .current = "8888",
               .memory = "05",
               .shown = untouchedByBlanking + " LabelF",
               .scale = GaugeScale {} };
    QTest::newRow("letters among the main digits")
        << Case { .frame = "0 0 0 12C4 1 2301 1 5360 3 05 0000",
               .throws = true,
               .calls = head,
               .reading = { "12C.4", "", "", "", "", "" },
               .main = "12C4",
               .voltage = "8888",
               .current = "8888",
               .memory = "05",
               .shown = untouchedByBlanking + " Point3",
               .scale = GaugeScale {} };
    QTest::newRow("kept OL fails when read") << Case { .prior = { overloadHeld },
        .frame = "5 0 0 1234 5 2290 1 5360 3 05 0000",
        .throws = true,
        .calls = head,
        .reading = { "OL", "KW", "230.1", "v", "5.360", "A" },
        .main = "1234",
        .voltage = "2301",
        .current = "5360",
        .memory = "05",
        .shown = "rsUSB AC1 AC2 KVA=V AC point33" };
    QTest::newRow("letter as voltage point stops after the voltage digits")
        << Case { .prior = { power },
               .frame = badVoltagePoint,
               .throws = true,
               .calls = head,
               .reading = { "04.56", "KVA", "230.1", "v", "5.360", "A" },
               .main = "0456",
               .voltage = "2299",
               .current = "5360",
               .memory = "42",
               .shown = "rsUSB AC1 AC2 KVA=V kvar1=A LcdAuto AC kvar=KVA Point2 point33",
               .previousUnit = "KW" };
    QTest::newRow("frame after a failed one still switches the scale")
        << Case { .prior = { "!" + badVoltagePoint },
               .frame = "1 0 0 0456 2 2299 2 4100 1 42 0000",
               .calls = head + toPower + reading(604, 600, 4, "04.56", "4.56"),
               .reading = { "04.56", "KVA", "22.99", "v", "410.0", "A" },
               .main = "0456",
               .voltage = "2299",
               .current = "4100",
               .memory = "42",
               .shown = "rsUSB AC1 AC2 KVA=V kvar1=A LcdAuto AC kvar=KVA Point2 point22 T_Point3" };
}

void TestKm90Decoder::decode()
{
    QFETCH(Case, c);

    CurrentReading current;
    Outputs outputs(current);
    Km90Decoder decoder(outputs, current, c.separator);
    const QString priorFailure = DecoderChecks::decodeEach(decoder, c.prior, 26);
    QVERIFY2(priorFailure.isEmpty(), qPrintable(priorFailure));
    outputs.calls.clear();

    if (c.throws)
        QVERIFY_THROWS_EXCEPTION(ConversionError, decoder.ShowData50(frame(c.frame)));
    else
        decoder.ShowData50(frame(c.frame));

    using E = Km90Element;
    const Km90Display &display = decoder.display();
    QCOMPARE(outputs.calls, c.calls);
    QCOMPARE((QStringList { current.Value, current.Unit, current.V_Value, current.V_Unit,
                 current.I_Value, current.I_Unit }),
        c.reading);
    QCOMPARE(decoder.previousUnit(), c.previousUnit.value_or(current.Unit));
    QCOMPARE(decoder.gaugeScale(), c.scale);

    for (E e : digitElements)
        QVERIFY2(display.isVisible(e), qPrintable(display.name(int(e))));
    QCOMPARE(digitTexts(display, { E::LabelA, E::LabelB, E::LabelC, E::LabelD }), c.main);
    QCOMPARE(digitTexts(display, { E::LCDAA, E::LCDBB, E::LCDCC, E::LCDDD }), c.voltage);
    QCOMPARE(digitTexts(display, { E::H_Time1, E::H_Time2, E::M_Time1, E::M_Time2 }), c.current);
    QCOMPARE(digitTexts(display, { E::stor1, E::stor2 }), c.memory);
    QStringList expectedShown = c.shown.split(u' ', Qt::SkipEmptyParts);
    expectedShown.sort();
    QCOMPARE(shownElements(display), expectedShown);
    for (const QString &t : c.texts)
        QCOMPARE(display.text(display.indexOf(t.section(u'=', 0, 0))), t.section(u'=', 1));
}

void TestKm90Decoder::wrongLengthChangesNothing_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << "";
    QTest::newRow("25 characters") << power.left(24) + "A";
    QTest::newRow("27 characters") << power.left(25) + "DA";
    QTest::newRow("a KM50 frame") << Km50Fixture::temperature1300;
}

void TestKm90Decoder::wrongLengthChangesNothing()
{
    QFETCH(QString, text);

    CurrentReading current;
    Outputs outputs(current);
    Km90Decoder decoder(outputs, current, ".");
    QVERIFY_THROWS_EXCEPTION(ConversionError, decoder.ShowData50(text));

    QVERIFY(outputs.calls.isEmpty());
    QCOMPARE((QStringList { current.Value, current.Unit, current.V_Value, current.V_Unit,
                 current.I_Value, current.I_Unit }),
        startReading);
    QCOMPARE(decoder.gaugeScale(), GaugeScale {});
    QVERIFY(decoder.previousUnit().isEmpty());
    const Km90Display fresh;
    for (int i = 0; i < fresh.count(); ++i) {
        QCOMPARE(decoder.display().isVisible(i), fresh.isVisible(i));
        QCOMPARE(decoder.display().text(i), fresh.text(i));
    }
}

void TestKm90Decoder::scaleStateAfterFrames()
{
    RecordingOutputs outputs;
    CurrentReading current;
    Km90Decoder decoder(outputs, current, QStringLiteral("."));
    QCOMPARE(decoder.gaugeScale(), GaugeScale {}); // start-up scale until a quantity is known
    QCOMPARE(decoder.gaugeScale().BarMax, 60);
    decoder.ShowData50(power);
    QCOMPARE(decoder.gaugeScale(), powerScale);
    QCOMPARE(decoder.previousUnit(), QStringLiteral("KW"));
    outputs.calls.clear();
    decoder.ShowData50(power); // same unit: no new scale, no dial redraw
    QVERIFY(!outputs.calls.contains(QStringLiteral("KDsetup")));
    decoder.ShowData50(powerFactor);
    QCOMPARE(decoder.gaugeScale(), powerFactorScale);
    QCOMPARE(decoder.previousUnit(), QStringLiteral("PF"));
    decoder.ShowData50(frame(sumDisplay));
    QCOMPARE(decoder.gaugeScale(), powerFactorScale); // the sum display keeps the scale
    decoder.ShowData50(frame(phase));
    QCOMPARE(decoder.gaugeScale(), phaseScale);
}

QTEST_APPLESS_MAIN(TestKm90Decoder)
#include "tst_km90decoder.moc"
