// SPDX-License-Identifier: MIT
#include "core/ConversionError.h"
#include "models/common/tests/DecoderChecks.h"
#include "models/km50_60/Km50Decoder.h"
#include "models/km50_60/tests/Km50Fixture.h"

#include <QTest>

namespace {

using namespace Km50Fixture;
using DecoderChecks::digitTexts;
using Outputs = DecoderChecks::ValueLoggingOutputs;

// A frame from its fields separated by blanks: function, voltage range,
// current range, main digits, main point, secondary digits, secondary point,
// memory, S1-S4. "DA" is appended. A full 21-character frame is taken as is.
QString frame(const QString &fields)
{
    return DecoderChecks::frameFromFields(fields, 21);
}

const QString degC = QString(QChar(0x2103));
const QString sum = QString(QChar(0x2211));

const QStringList head { "LinkOn", "DispInit\t0" };
const QStringList toScale0 { "SelectGaugeScale\t0", "KDsetup", "SetValueMaximum\t600",
    "SetValueMinimum\t-600" };
const QStringList toScale1 { "SelectGaugeScale\t1", "KDsetup", "SetValueMaximum\t1000",
    "SetValueMinimum\t-1000" };
const QStringList toTemperature { "SelectGaugeScale\t2", "KDsetup", "SetValueMaximum\t1300",
    "SetValueMinimum\t-1300" };
const QStringList toPowerFactor { "SelectGaugeScale\t3", "KDsetup", "SetValueMaximum\t1",
    "SetValueMinimum\t-1" };

// Needle, bar, chart and table for one reading: the value the recording test
// sees, the chart point (empty when the test fails) and the recorded value.
QStringList reading(int needle, int barMax, int barPos, const QString &tested, const QString &y,
    const QString &recorded)
{
    QStringList calls { QStringLiteral("KDrun\t%1").arg(needle),
        QStringLiteral("BarMax\t%1").arg(barMax), QStringLiteral("BarPos\t%1").arg(barPos),
        QStringLiteral("RecordingTest\t%1 Value=%2").arg(y.isEmpty() ? 0 : 1).arg(tested) };
    if (!y.isEmpty())
        calls << QStringLiteral("AddValue\t") + y;
    calls << QStringLiteral("INDataToTable\t1 Value=") + recorded;
    return calls;
}

struct Case
{
    QStringList prior {}; // decoded first; a leading "!" marks a frame that must fail
    QString frame {};
    QString separator = QStringLiteral(".");
    bool recordOk = true;
    bool throws = false;
    QStringList calls {};
    QString value {};
    QString unit {};
    QString main {}; // LabelA..LabelD, "_" for an empty digit
    QString secondary {}; // H_Time1..M_Time2, or "hidden"
    QString memory = QStringLiteral("00");
    QString shown {}; // visible non-digit elements; "=text" where the caption was replaced
    QString dialKey = QStringLiteral("6");
};

QStringList shownElements(const Km50Display &display)
{
    return DecoderChecks::shownElements(display, digitElements);
}

} // namespace

Q_DECLARE_METATYPE(Case)

class TestKm50Decoder : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void decode_data();
    void decode();
    void wrongLengthChangesNothing_data();
    void wrongLengthChangesNothing();
};

void TestKm50Decoder::decode_data()
{
    QTest::addColumn<Case>("c");

    const QString voltage100 = "0 0 0 0100 0 0000 0 42 0000";
    const QString voltageOverload = "0 0 0 1234 0 5000 0 00 0200";
    const QString energy = "5 0 0 0012 0 1234 A 07 0000"; // position 13 is not read in energy mode
    const QString badSecondaryPoint = "1 0 0 0200 0 3456 E 00 0000";

    QTest::newRow("temperature 1300") << Case { .frame = temperature1300,
        .calls = head + toTemperature + reading(790, 1300, 1300, "1300", "1300", "1300"),
        .value = "1300",
        .unit = degC,
        .main = "1300",
        .secondary = "0000",
        .shown = "rsUSB Labtemp f1 c",
        .dialKey = "4" };
    QTest::newRow("sum power keeps the unit and records nothing")
        << Case { .prior = { "0 0 0 0230 0 5000 0 00 0000" },
               .frame = sumPower,
               .calls = head,
               .value = "-0.600",
               .unit = "V",
               .main = "0600",
               .secondary = "1121",
               .shown = "rsUSB LabelF Point1 labMEM wsg=" + sum + "W" };
    QTest::newRow("sum power overload still becomes OL")
        << Case { .frame = "7 0 0 1234 2 0000 0 00 0200",
               .calls = head,
               .value = "OL",
               .unit = "",
               .main = "_0@_",
               .secondary = "0000",
               .shown = "rsUSB Point2" };

    // Main overload in the three needle rules.
    QTest::newRow("overload") << Case { .frame = voltageOverload,
        .calls = head + toScale0 + reading(1200, 600, 600, "0@", "600", "OL"),
        .value = "OL",
        .unit = "V",
        .main = "_0@_",
        .secondary = "5000",
        .shown = "rsUSB labac freq kvar1=Hz kvar=V" };
    QTest::newRow("overload with sign and point") << Case { .frame = "0 0 0 1234 1 5000 0 00 4200",
        .calls = head + toScale0 + reading(0, 600, 600, "-0@.", "-600", "OL"),
        .value = "OL",
        .unit = "V",
        .main = "_0@_",
        .secondary = "5000",
        .shown = "rsUSB labac freq kvar1=Hz kvar=V LabelF Point3" };
    QTest::newRow("temperature overload") << Case { .frame = "6 0 0 1234 0 0000 0 00 0200",
        .calls = head + toTemperature + reading(800, 1300, 1300, "0@", "1310", "OL"),
        .value = "OL",
        .unit = degC,
        .main = "_0@_",
        .secondary = "0000",
        .shown = "rsUSB Labtemp f1 c",
        .dialKey = "4" };
    QTest::newRow("temperature overload with sign")
        << Case { .frame = "6 0 0 1234 0 0000 0 00 4200",
               .calls = head + toTemperature + reading(0, 1300, 1300, "-0@", "-45", "OL"),
               .value = "OL",
               .unit = degC,
               .main = "_0@_",
               .secondary = "0000",
               .shown = "rsUSB Labtemp f1 c LabelF",
               .dialKey = "4" };
    QTest::newRow("power factor overload") << Case { .frame = "4 0 0 1234 0 0000 0 00 0200",
        .calls = head + toPowerFactor + reading(2000, 1000, 1000, "0@", "1", "OL"),
        .value = "OL",
        .unit = "PF",
        .main = "_0@_",
        .secondary = "0000",
        .shown = "rsUSB pg pf Lab0",
        .dialKey = "7" };
    QTest::newRow("power factor overload with sign")
        << Case { .frame = "4 0 0 1234 0 0000 0 00 4200",
               .calls = head + toPowerFactor + reading(0, 1000, 1000, "-0@", "-1", "OL"),
               .value = "OL",
               .unit = "PF",
               .main = "_0@_",
               .secondary = "0000",
               .shown = "rsUSB pg pf Lab0 LabelF",
               .dialKey = "7" };
    QTest::newRow("second overload fails the recording test")
        << Case { .prior = { voltageOverload },
               .frame = voltageOverload,
               .recordOk = false,
               .calls = head + reading(1200, 600, 600, "0@", "", "OL"),
               .value = "OL",
               .unit = "V",
               .main = "_0@_",
               .secondary = "5000",
               .shown = "rsUSB labac freq kvar1=Hz kvar=V" };

    QTest::newRow("position 3 B zeroes the main digits")
        << Case { .frame = "0 0 B 1234 1 0000 0 00 0000",
               .calls = head + toScale0 + reading(600, 600, 1, "000.0", "0", "000.0"),
               .value = "000.0",
               .unit = "V",
               .main = "0000",
               .secondary = "0000",
               .shown = "rsUSB labac freq kvar1=Hz kvar=V Point3" };
    QTest::newRow("position 9 B zeroes the secondary digits")
        << Case { .frame = "0 0 0 0123 2 B456 3 00 0000",
               .calls = head + toScale0 + reading(601, 600, 1, "01.23", "1.23", "01.23"),
               .value = "01.23",
               .unit = "V",
               .main = "0123",
               .secondary = "0000",
               .shown = "rsUSB labac freq kvar1=Hz kvar=V Point2 T_Point1" };
    QTest::newRow("secondary overload") << Case { .frame = "1 0 0 0123 0 4567 1 00 0100",
        .calls = head + toScale1 + reading(1123, 1000, 123, "0123", "123", "0123"),
        .value = "0123",
        .unit = "A",
        .main = "0123",
        .secondary = "_0@_",
        .shown = "rsUSB dc1 labac kvar1=V kvar=A T_Point3",
        .dialKey = "10" };
    QTest::newRow("memory 98") << Case { .frame = "0 0 0 0000 0 0000 0 98 0000",
        .calls = head + toScale0 + reading(600, 600, 1, "0000", "0", "0000"),
        .value = "0000",
        .unit = "V",
        .main = "0000",
        .secondary = "0000",
        .memory = "98",
        .shown = "rsUSB labac freq kvar1=Hz kvar=V" };
    QTest::newRow("memory 99 shows FUL") << Case { .frame = "0 0 0 0000 0 0000 0 99 0000",
        .calls = head + toScale0 + reading(600, 600, 1, "0000", "0", "0000"),
        .value = "0000",
        .unit = "V",
        .main = "0000",
        .secondary = "0000",
        .memory = "99",
        .shown = "rsUSB labac freq kvar1=Hz kvar=V LabFUL" };

    QTest::newRow("negative temperature") << Case { .frame = "6 0 0 0200 1 0000 0 00 4000",
        .calls = head + toTemperature + reading(240, 50, 20, "-020.0", "-20", "-020.0"),
        .value = "-020.0",
        .unit = degC,
        .main = "0200",
        .secondary = "0000",
        .shown = "rsUSB Labtemp f1 c LabelF Point3",
        .dialKey = "4" };
    QTest::newRow("temperature below one") << Case { .frame = "6 0 0 0005 1 0000 0 00 0000",
        .calls = head + toTemperature + reading(404, 1300, 1, "000.5", "0.5", "000.5"),
        .value = "000.5",
        .unit = degC,
        .main = "0005",
        .secondary = "0000",
        .shown = "rsUSB Labtemp f1 c Point3",
        .dialKey = "4" };
    QTest::newRow("power factor 0.856") << Case { .frame = "4 0 0 0856 3 0000 0 00 0000",
        .calls = head + toPowerFactor + reading(1856, 1000, 856, "0.856", "0.856", "0.856"),
        .value = "0.856",
        .unit = "PF",
        .main = "0856",
        .secondary = "0000",
        .shown = "rsUSB pg pf Lab0 Point1",
        .dialKey = "7" };

    QTest::newRow("energy hides the secondary display") << Case { .frame = energy,
        .calls = head + toScale1 + reading(1012, 1000, 12, "0012", "12", "0012"),
        .value = "0012",
        .unit = "KWh",
        .main = "0012",
        .secondary = "hidden",
        .memory = "07",
        .shown = "rsUSB labac kwh",
        .dialKey = "10" };
    QTest::newRow("frame after energy shows the secondary again") << Case { .prior = { energy },
        .frame = "0 0 0 0012 0 5678 2 07 0000",
        .calls = head + toScale0 + reading(612, 600, 12, "0012", "12", "0012"),
        .value = "0012",
        .unit = "V",
        .main = "0012",
        .secondary = "5678",
        .memory = "07",
        .shown = "rsUSB labac freq kvar1=Hz kvar=V T_Point2" };
    QTest::newRow("same unit twice switches no scale") << Case { .prior = { voltage100 },
        .frame = "0 0 0 0250 0 0000 0 00 0000",
        .calls = head + reading(850, 600, 250, "0250", "250", "0250"),
        .value = "0250",
        .unit = "V",
        .main = "0250",
        .secondary = "0000",
        .shown = "rsUSB labac freq kvar1=Hz kvar=V" };
    QTest::newRow("power after voltage switches on the unit text")
        << Case { .prior = { voltage100 },
               .frame = "2 0 0 0150 0 0000 0 00 0000",
               .calls = head + toScale0 + reading(750, 600, 150, "0150", "150", "0150"),
               .value = "0150",
               .unit = "KW",
               .main = "0150",
               .secondary = "0000",
               .shown = "rsUSB pg labac kwh=KW Lab0" };
    QTest::newRow("apparent power") << Case { .frame = "3 0 0 0150 0 0020 0 00 0000",
        .calls = head + toScale0 + reading(750, 600, 150, "0150", "150", "0150"),
        .value = "0150",
        .unit = "KVA",
        .main = "0150",
        .secondary = "0020",
        .shown = "rsUSB dc1 kvar1 labac kvar=KVA" };
    QTest::newRow("code 8 keeps the unit") << Case { .prior = { voltage100 },
        .frame = "8 0 0 0200 0 0000 0 00 0000",
        .calls = head + reading(800, 600, 200, "0200", "200", "0200"),
        .value = "0200",
        .unit = "V",
        .main = "0200",
        .secondary = "0000",
        .shown = "rsUSB" };
    QTest::newRow("code 9 before any unit uses the start-up scale")
        << Case { .frame = "9 0 0 0030 0 0000 0 00 0000",
               .calls = head + reading(630, 60, 30, "0030", "30", "0030"),
               .value = "0030",
               .unit = "",
               .main = "0030",
               .secondary = "0000",
               .shown = "rsUSB" };
    QTest::newRow("every status bit") << Case { .frame = "0 0 0 0012 0 0000 0 00 FCFF",
        .calls = head + toScale0 + reading(588, 600, 12, "-0012", "-12", "-0012"),
        .value = "-0012",
        .unit = "V",
        .main = "0012",
        .secondary = "0000",
        .shown = "rsUSB labac freq kvar1=Hz kvar=V power danger LabelF Labmax Labmin "
                 "LCDHold Labclr labMEM wsg="
            + sum + " ol1 ol2 ol3" };
    QTest::newRow("point digit 7 keeps the previous Value")
        << Case { .prior = { "0 0 0 0123 0 0000 0 00 0000" },
               .frame = "0 0 0 0456 7 0000 0 00 0000",
               .calls = head + reading(723, 600, 123, "0123", "123", "0123"),
               .value = "0123",
               .unit = "V",
               .main = "0456",
               .secondary = "0000",
               .shown = "rsUSB labac freq kvar1=Hz kvar=V" };
    QTest::newRow("comma separator") << Case { .frame = "0 0 0 1234 2 0000 0 00 0000",
        .separator = ",",
        .calls = head + toScale0 + reading(612, 600, 12, "12,34", "12.34", "12,34"),
        .value = "12,34",
        .unit = "V",
        .main = "1234",
        .secondary = "0000",
        .shown = "rsUSB labac freq kvar1=Hz kvar=V Point2" };
    QTest::newRow("comma separator power factor") << Case { .frame = "4 0 0 0856 3 0000 0 00 0000",
        .separator = ",",
        .calls = head + toPowerFactor + reading(1856, 1000, 856, "0,856", "0.856", "0,856"),
        .value = "0,856",
        .unit = "PF",
        .main = "0856",
        .secondary = "0000",
        .shown = "rsUSB pg pf Lab0 Point1",
        .dialKey = "7" };

    // Conversion errors: the frame stops at the step that reads the character.
    QTest::newRow("hex letter among the main digits")
        << Case { .frame = "0 0 0 12A4 0 5678 0 00 0000",
               .throws = true,
               .calls = head,
               .value = "12A4",
               .unit = "",
               .main = "12A4",
               .secondary = "8888",
               .shown = "rsUSB" };
    QTest::newRow("kept OL with point digit 5") << Case { .prior = { voltageOverload },
        .frame = "0 0 0 0456 5 0000 0 00 0000",
        .throws = true,
        .calls = head,
        .value = "OL",
        .unit = "V",
        .main = "0456",
        .secondary = "5000",
        .shown = "rsUSB" };
    QTest::newRow("letter in memory units") << Case { .prior = { voltage100 },
        .frame = "0 0 0 0200 0 1111 0 4A 0000",
        .throws = true,
        .calls = head,
        .value = "0100",
        .unit = "V",
        .main = "0100",
        .secondary = "0000",
        .memory = "42",
        .shown = "rsUSB" };
    QTest::newRow("letter in memory tens") << Case { .prior = { voltage100 },
        .frame = "0 0 0 0200 0 1111 0 C2 0000",
        .throws = true,
        .calls = head,
        .value = "0100",
        .unit = "V",
        .main = "0100",
        .secondary = "0000",
        .memory = "42",
        .shown = "rsUSB" };
    QTest::newRow("letter as function code") << Case { .prior = { voltage100 },
        .frame = "A 0 0 0200 0 1111 0 00 0000",
        .throws = true,
        .calls = head,
        .value = "0100",
        .unit = "V",
        .main = "0100",
        .secondary = "0000",
        .memory = "42",
        .shown = "rsUSB" };
    QTest::newRow("letter as main point") << Case { .prior = { voltage100 },
        .frame = "1 0 0 0200 C 1111 0 00 4000",
        .throws = true,
        .calls = head,
        .value = "0100",
        .unit = "V",
        .main = "0200",
        .secondary = "0000",
        .shown = "rsUSB LabelF" };
    QTest::newRow("letter as secondary point") << Case { .frame = badSecondaryPoint,
        .throws = true,
        .calls = head,
        .value = "0200",
        .unit = "A",
        .main = "0200",
        .secondary = "3456",
        .shown = "rsUSB dc1 labac kvar1=V kvar=A" };
    QTest::newRow("frame after a failed one decodes normally")
        << Case { .prior = { "!" + badSecondaryPoint },
               .frame = "1 0 0 0200 0 3456 0 00 0000",
               .calls = head + toScale1 + reading(1200, 1000, 200, "0200", "200", "0200"),
               .value = "0200",
               .unit = "A",
               .main = "0200",
               .secondary = "3456",
               .shown = "rsUSB dc1 labac kvar1=V kvar=A",
               .dialKey = "10" };
}

void TestKm50Decoder::decode()
{
    QFETCH(Case, c);

    CurrentReading current;
    Outputs outputs(current);
    Km50Decoder decoder(outputs, current, c.separator);
    const QString priorFailure = DecoderChecks::decodeEach(decoder, c.prior, 21);
    QVERIFY2(priorFailure.isEmpty(), qPrintable(priorFailure));
    outputs.calls.clear();
    outputs.recordingTestAnswer = [&c] { return c.recordOk; };

    if (c.throws) {
        QVERIFY_THROWS_EXCEPTION(ConversionError, decoder.ShowData50(frame(c.frame)));
    } else {
        decoder.ShowData50(frame(c.frame));
        QCOMPARE(decoder.previousUnit(), current.Unit);
    }

    using E = Km50Element;
    const Km50Display &display = decoder.display();
    QCOMPARE(outputs.calls, c.calls);
    QCOMPARE(current.Value, c.value);
    QCOMPARE(current.Unit, c.unit);
    QCOMPARE(digitTexts(display, { E::LabelA, E::LabelB, E::LabelC, E::LabelD }), c.main);
    const bool secondaryVisible = display.isVisible(E::H_Time1);
    for (E e : { E::H_Time2, E::M_Time1, E::M_Time2 })
        QCOMPARE(display.isVisible(e), secondaryVisible);
    QCOMPARE(secondaryVisible
            ? digitTexts(display, { E::H_Time1, E::H_Time2, E::M_Time1, E::M_Time2 })
            : QStringLiteral("hidden"),
        c.secondary);
    QCOMPARE(digitTexts(display, { E::stor1, E::stor2 }), c.memory);
    QStringList expectedShown = c.shown.split(u' ', Qt::SkipEmptyParts);
    expectedShown.sort();
    QCOMPARE(shownElements(display), expectedShown);
    QCOMPARE(decoder.gaugeScale().DialKey, c.dialKey);
}

void TestKm50Decoder::wrongLengthChangesNothing_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << "";
    QTest::newRow("20 characters") << "600130000000400000DA";
    QTest::newRow("22 characters") << "60013000000040000000DA";
}

void TestKm50Decoder::wrongLengthChangesNothing()
{
    QFETCH(QString, text);

    CurrentReading current;
    Outputs outputs(current);
    Km50Decoder decoder(outputs, current, ".");
    QVERIFY_THROWS_EXCEPTION(ConversionError, decoder.ShowData50(text));

    QVERIFY(outputs.calls.isEmpty());
    QCOMPARE(current.Value, QString("0000"));
    QVERIFY(current.Unit.isEmpty());
    QCOMPARE(decoder.gaugeScale(), GaugeScale {});
    const Km50Display fresh;
    for (int i = 0; i < fresh.count(); ++i) {
        QCOMPARE(decoder.display().isVisible(i), fresh.isVisible(i));
        QCOMPARE(decoder.display().text(i), fresh.text(i));
    }
}

QTEST_APPLESS_MAIN(TestKm50Decoder)
#include "tst_km50decoder.moc"
