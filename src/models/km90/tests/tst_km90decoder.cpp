// SPDX-License-Identifier: MIT
#include "ConversionError.h"
#include "Km90Decoder.h"
#include "RecordingOutputs.h"

#include <QTest>

namespace {

// A KM90 frame from its fields, left to right: function, zero marker, main
// digits and point, voltage digits and point, current digits and point,
// memory number, status nibbles S1..S4.
QString f(const char *code, const char *marker, const char *main, const char *mainPoint,
    const char *volt, const char *voltPoint, const char *cur, const char *curPoint,
    const char *memory, const char *status)
{
    return QString::fromLatin1(code) + QLatin1String("0") + QLatin1String(marker)
        + QLatin1String(main) + QLatin1String(mainPoint) + QLatin1String(volt)
        + QLatin1String(voltPoint) + QLatin1String(cur) + QLatin1String(curPoint)
        + QLatin1String(memory) + QLatin1String(status) + QLatin1String("DA");
}

const QString power = QStringLiteral("000123412301153603051000DA");
const QString powerFactor = QStringLiteral("300050032298112502004000DA");
const QString overloadHeld = QStringLiteral("000999902301153603124210DA");
const QString frequency = f("5", "0", "5001", "2", "2301", "1", "5360", "3", "06", "0000");

const QStringList scale0
    = { "SelectGaugeScale\t0", "KDsetup", "SetValueMinimum\t-1000", "SetValueMaximum\t1000" };

QStringList calls(std::initializer_list<QStringList> parts)
{
    QStringList all { "LinkOn", "DispInit\t0" };
    for (const QStringList &p : parts)
        all += p;
    return all;
}

// "name=1:text" / "name=0" for the named elements, as meterlog prints them.
QString describe(const Km90Display &d, const QString &name)
{
    const int i = d.indexOf(name);
    if (i < 0)
        return QStringLiteral("no element ") + name;
    QString s = name + (d.isVisible(i) ? QStringLiteral("=1") : QStringLiteral("=0"));
    if (d.info(i).hasText)
        s += u':' + d.text(i);
    return s;
}

} // namespace

class TestKm90Decoder : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void frames_data();
    void frames();
    void startUpLookAndBlanking();
    void scaleStateAfterFrames();
};

void TestKm90Decoder::frames_data()
{
    QTest::addColumn<QStringList>("history");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<bool>("fails");
    QTest::addColumn<QStringList>("expectedCalls");
    QTest::addColumn<QStringList>("reading"); // Value, Unit, V_Value, V_Unit, I_Value, I_Unit
    QTest::addColumn<QStringList>("lcd"); // elements to check

    const QStringList powerReading { "123.4", "KW", "230.1", "v", "5.360", "A" };

    QTest::newRow("worked example: power")
        << QStringList {} << power << "." << false
        << calls({ scale0,
               { "KDrun\t723", "BarMax\t600", "BarPos\t123", "INDataToTable\t1",
                   "AddValue\t123.4" } })
        << powerReading
        << QStringList { "LabelA=1:1", "LabelB=1:2", "LabelC=1:3", "LabelD=1:4", "Point3=1:.",
               "Point2=0:.", "Point1=0:.", "LCDAA=1:2", "LCDBB=1:3", "LCDCC=1:0", "LCDDD=1:1",
               "point33=1:.", "point22=0:.", "point11=0:.", "H_Time1=1:5", "H_Time2=1:3",
               "M_Time1=1:6", "M_Time2=1:0", "T_Point1=1:.", "T_Point3=0:.", "stor1=1:0",
               "stor2=1:5", "kwh=1:KW", "KVA=1:V", "kvar1=1:A", "LcdAuto=1:AUTO", "AC=1", "power=1",
               "LabelF=0:-", "rsUSB=1:USB", "Image1=0", "hz=0:Hz", "THD=0:%THD", "Labcal=0:CAL",
               "LabFUL=0:FUL" };
    QTest::newRow("worked example: power factor")
        << QStringList {} << powerFactor << "." << false
        << calls({ { "SelectGaugeScale\t3", "KDsetup", "SetValueMinimum\t-1", "SetValueMaximum\t1",
               "KDrun\t500", "BarMax\t1000", "BarPos\t1", "INDataToTable\t1", "AddValue\t-0.5" } })
        << QStringList { "-0.500", "PF", "229.8", "v", "12.50", "A" }
        << QStringList { "LabelF=1:-", "LabelA=1:0", "LabelB=1:5", "LabelC=1:0", "LabelD=1:0",
               "Point1=1:.", "Point2=0:.", "Point3=0:.", "cos_dis=1:Cos", "Image1=1", "AC=0",
               "kwh=0:KWh", "kvar=0: KVAr", "T_Point2=1:.", "LcdAuto=1:AUTO" };
    QTest::newRow("worked example: negative overload held")
        << QStringList { power } << overloadHeld << "." << false
        << calls({ { "KDrun\t0", "BarMax\t600", "BarPos\t600", "INDataToTable\t1",
               "AddValue\t-600" } })
        << QStringList { "OL", "KW", "230.1", "v", "5.360", "A" }
        << QStringList { "LabelF=1:-", "LabelA=1:", "LabelB=1:0", "LabelC=1:@",
               "LabelD=1:", "LCDHold=1:\"", "stor1=1:1", "stor2=1:2", "Point3=0:." };
    QTest::newRow("overload without minus goes to the right end")
        << QStringList { power } << f("0", "0", "9999", "0", "2301", "1", "5360", "3", "12", "0200")
        << "." << false
        << calls({ { "KDrun\t1200", "BarMax\t600", "BarPos\t600", "INDataToTable\t1",
               "AddValue\t600" } })
        << QStringList { "OL", "KW", "230.1", "v", "5.360", "A" } << QStringList { "LabelF=0:-" };
    // 1.001 x 1000 is 1000.999... in binary; the 15-digit step gives 1001.
    QTest::newRow("power factor scaled through 15 digits")
        << QStringList { powerFactor }
        << f("3", "0", "1001", "3", "2298", "1", "1250", "2", "00", "0000") << "." << false
        << calls({ { "KDrun\t2001", "BarMax\t1000", "BarPos\t1001", "INDataToTable\t1",
               "AddValue\t1.001" } })
        << QStringList { "1.001", "PF", "229.8", "v", "12.50", "A" }
        << QStringList { "LabelF=0:-", "cos_dis=1:Cos", "Image1=1" };
    QTest::newRow("power after power factor")
        << QStringList { powerFactor } << power << "." << false
        << calls({ scale0,
               { "KDrun\t723", "BarMax\t600", "BarPos\t123", "INDataToTable\t1",
                   "AddValue\t123.4" } })
        << QStringList { "123.4", "KW", "230.1", "v", "5.360", "A" }
        << QStringList { "AC=1", "cos_dis=0:Cos", "Image1=0", "LabelF=0:-", "Point1=0:.",
               "T_Point2=0:.", "kwh=1:KW" };
    QTest::newRow("power factor overload")
        << QStringList { powerFactor }
        << f("3", "0", "9999", "3", "2298", "1", "1250", "2", "00", "0200") << "." << false
        << calls({ { "KDrun\t2000", "BarMax\t1000", "BarPos\t1000", "INDataToTable\t1",
               "AddValue\t1" } })
        << QStringList { "OL", "PF", "229.8", "v", "12.50", "A" }
        << QStringList { "Point1=1:.", "LabelC=1:@" };
    QTest::newRow("negative power factor overload")
        << QStringList { powerFactor }
        << f("3", "0", "9999", "3", "2298", "1", "1250", "2", "00", "4200") << "." << false
        << calls({ { "KDrun\t0", "BarMax\t1000", "BarPos\t1000", "INDataToTable\t1",
               "AddValue\t-1" } })
        << QStringList { "OL", "PF", "229.8", "v", "12.50", "A" } << QStringList { "LabelF=1:-" };
    QTest::newRow("high voltage and minus")
        << QStringList { power } << f("0", "0", "1234", "1", "2301", "1", "5360", "3", "05", "C000")
        << "." << false
        << calls({ { "KDrun\t477", "BarMax\t600", "BarPos\t123", "INDataToTable\t1",
               "AddValue\t-123.4" } })
        << QStringList { "-123.4", "KW", "230.1", "v", "5.360", "A" }
        << QStringList { "danger=1", "LabelF=1:-", "power=0" };
    QTest::newRow("memory 99 is full")
        << QStringList { power } << f("0", "0", "1234", "1", "2301", "1", "5360", "3", "99", "0008")
        << "." << false
        << calls({ { "KDrun\t723", "BarMax\t600", "BarPos\t123", "INDataToTable\t1",
               "AddValue\t123.4" } })
        << powerReading
        << QStringList { "LabFUL=1:FUL", "stor1=1:9", "stor2=1:9", "ol1=1:}  1", "ol2=0:}   2" };
    QTest::newRow("memory 98 is not full")
        << QStringList { power } << f("0", "0", "1234", "1", "2301", "1", "5360", "3", "98", "0000")
        << "." << false
        << calls({ { "KDrun\t723", "BarMax\t600", "BarPos\t123", "INDataToTable\t1",
               "AddValue\t123.4" } })
        << powerReading << QStringList { "LabFUL=0:FUL", "stor2=1:8" };
    QTest::newRow("zero marker") << QStringList { power }
                                 << f("0", "B", "1234", "1", "2301", "1", "5360", "3", "05", "0000")
                                 << "." << false
                                 << calls({ { "KDrun\t600", "BarMax\t600", "BarPos\t1",
                                        "INDataToTable\t1", "AddValue\t0" } })
                                 << QStringList { "000.0", "KW", "230.1", "v", "5.360", "A" }
                                 << QStringList { "LabelA=1:0", "LabelD=1:0", "Point3=1:." };
    QTest::newRow("overload wins over the zero marker")
        << QStringList { power } << f("0", "B", "1234", "1", "2301", "1", "5360", "3", "05", "0200")
        << "." << false
        << calls({ { "KDrun\t1200", "BarMax\t600", "BarPos\t600", "INDataToTable\t1",
               "AddValue\t600" } })
        << QStringList { "OL", "KW", "230.1", "v", "5.360", "A" }
        << QStringList { "LabelA=1:", "LabelC=1:@" };
    QTest::newRow("sum display only updates the panel")
        << QStringList { power } << f("7", "0", "2475", "1", "2301", "1", "5360", "3", "12", "0081")
        << "." << false << calls({}) << QStringList { "247.5", "KW", "230.1", "v", "5.360", "A" }
        << QStringList { QStringLiteral("wsg=1:\u2211W"), "labMEM=1:MEM", "LcdAuto=0:AUTO",
               "kwh=0:KW", "AC=1" };
    QTest::newRow("sum display overload still reads OL")
        << QStringList { power } << f("7", "0", "2475", "1", "2301", "1", "5360", "3", "12", "0200")
        << "." << false << calls({}) << QStringList { "OL", "KW", "230.1", "v", "5.360", "A" }
        << QStringList { QStringLiteral("wsg=0:\u2211W") };
    QTest::newRow("sum mark outside the sum display")
        << QStringList {} << f("0", "0", "1234", "1", "2301", "1", "5360", "3", "05", "0001") << "."
        << false
        << calls({ scale0,
               { "KDrun\t723", "BarMax\t600", "BarPos\t123", "INDataToTable\t1",
                   "AddValue\t123.4" } })
        << powerReading << QStringList { QStringLiteral("wsg=1:\u2211") };
    QTest::newRow("code 6 keeps unit and scale of power")
        << QStringList { power } << f("6", "0", "1500", "1", "2301", "1", "5360", "3", "05", "0000")
        << "." << false
        << calls({ { "KDrun\t750", "BarMax\t600", "BarPos\t150", "INDataToTable\t1",
               "AddValue\t150" } })
        << QStringList { "150.0", "KW", "230.1", "v", "5.360", "A" }
        << QStringList { "LcdAuto=0:AUTO", "kwh=0:KW", "KVA=1:V", "AC=1" };
    QTest::newRow("code 6 after frequency keeps Hz shown")
        << QStringList { frequency }
        << f("6", "0", "1500", "1", "2301", "1", "5360", "3", "05", "0000") << "." << false
        << calls({ { "KDrun\t750", "BarMax\t600", "BarPos\t150", "INDataToTable\t1",
               "AddValue\t150" } })
        << QStringList { "150.0", "Hz", "230.1", "v", "5.360", "A" } << QStringList { "hz=1:Hz" };
    QTest::newRow("phase after power factor keeps phi")
        << QStringList { powerFactor }
        << f("4", "0", "0243", "1", "2301", "1", "5360", "3", "06", "0000") << "." << false
        << calls({ { "SelectGaugeScale\t1", "KDsetup", "SetValueMinimum\t-400",
               "SetValueMaximum\t400", "KDrun\t384", "BarMax\t360", "BarPos\t24",
               "INDataToTable\t1", "AddValue\t24.3" } })
        << QStringList { "024.3", "o", "230.1", "v", "5.360", "A" }
        << QStringList { "cos_dis=1:", "Image1=1", "Lab0=1:\u00B0", "AC=0" };
    QTest::newRow("phase after power hides phi")
        << QStringList { power } << f("4", "0", "0243", "1", "2301", "1", "5360", "3", "06", "0000")
        << "." << false
        << calls({ { "SelectGaugeScale\t1", "KDsetup", "SetValueMinimum\t-400",
               "SetValueMaximum\t400", "KDrun\t384", "BarMax\t360", "BarPos\t24",
               "INDataToTable\t1", "AddValue\t24.3" } })
        << QStringList { "024.3", "o", "230.1", "v", "5.360", "A" }
        << QStringList { "cos_dis=0:", "Image1=0", "AC=1" };
    QTest::newRow("frequency shows Hz")
        << QStringList { power } << frequency << "." << false
        << calls({ { "SelectGaugeScale\t0", "KDsetup", "SetValueMinimum\t-1000",
               "SetValueMaximum\t1000", "KDrun\t650", "BarMax\t600", "BarPos\t50",
               "INDataToTable\t1", "AddValue\t50.01" } })
        << QStringList { "50.01", "Hz", "230.1", "v", "5.360", "A" }
        << QStringList { "hz=1:Hz", "kwh=0:KW" };
    QTest::newRow("reading beyond the scale is not clamped")
        << QStringList {} << f("0", "0", "9999", "1", "2301", "1", "5360", "3", "05", "0000") << "."
        << false
        << calls({ scale0,
               { "KDrun\t1599", "BarMax\t600", "BarPos\t999", "INDataToTable\t1",
                   "AddValue\t999.9" } })
        << QStringList { "999.9", "KW", "230.1", "v", "5.360", "A" } << QStringList {};
    QTest::newRow("voltage overload")
        << QStringList { power } << f("0", "0", "1234", "1", "2301", "1", "5360", "3", "05", "0100")
        << "." << false
        << calls({ { "KDrun\t723", "BarMax\t600", "BarPos\t123", "INDataToTable\t1",
               "AddValue\t123.4" } })
        << QStringList { "123.4", "KW", "0@.", "v", "5.360", "A" }
        << QStringList { "LCDAA=1:", "LCDBB=1:0", "LCDCC=1:@", "LCDDD=1:", "point33=1:." };
    QTest::newRow("main point 5 keeps Value")
        << QStringList { power } << f("0", "0", "5678", "5", "2301", "5", "5360", "5", "05", "0000")
        << "." << false
        << calls({ { "KDrun\t723", "BarMax\t600", "BarPos\t123", "INDataToTable\t1",
               "AddValue\t123.4" } })
        << powerReading
        << QStringList { "LabelA=1:5", "Point1=0:.", "Point2=0:.", "Point3=0:.", "point33=1:.",
               "T_Point1=0:." };
    QTest::newRow("letter in the main point stops after the digits")
        << QStringList {} << f("0", "0", "5678", "A", "2301", "1", "5360", "3", "05", "0000") << "."
        << true << calls({}) << QStringList { "0000", "", "", "", "", "" }
        << QStringList { "LabelA=1:5", "LabelD=1:8", "rsUSB=1:USB", "LCDAA=1:8", "LcdAuto=0:AUTO" };
    QTest::newRow("kept OL fails when read")
        << QStringList { overloadHeld }
        << f("5", "0", "1234", "5", "2290", "1", "5360", "3", "05", "0000") << "." << true
        << calls({}) << QStringList { "OL", "KW", "230.1", "v", "5.360", "A" }
        << QStringList { "LabelA=1:1", "LCDHold=0:\"", "hz=0:Hz", "LcdAuto=0:AUTO", "LCDDD=1:1" };
    QTest::newRow("letters among the main digits")
        << QStringList {} << f("0", "0", "12C4", "1", "2301", "1", "5360", "3", "05", "0000") << "."
        << true << calls({}) << QStringList { "12C.4", "", "", "", "", "" }
        << QStringList { "LabelC=1:C" };
    QTest::newRow("letter in the memory number")
        << QStringList {} << f("0", "0", "1234", "1", "2301", "1", "5360", "3", "0A", "0000") << "."
        << true << calls({}) << QStringList { "0000", "", "", "", "", "" }
        << QStringList { "stor2=1:8", "LabelA=1:8" };
    QTest::newRow("comma separator")
        << QStringList {} << power << "," << false
        << calls({ scale0,
               { "KDrun\t723", "BarMax\t600", "BarPos\t123", "INDataToTable\t1",
                   "AddValue\t123.4" } })
        << QStringList { "123,4", "KW", "230,1", "v", "5,360", "A" } << QStringList {};
    QTest::newRow("wrong length changes nothing")
        << QStringList {} << power.left(25) << "." << true << QStringList {}
        << QStringList { "0000", "", "", "", "", "" }
        << QStringList { "rsUSB=1:USB", "LabelA=1:8" };
}

void TestKm90Decoder::frames()
{
    QFETCH(QStringList, history);
    QFETCH(QString, frame);
    QFETCH(QString, separator);
    QFETCH(bool, fails);
    QFETCH(QStringList, expectedCalls);
    QFETCH(QStringList, reading);
    QFETCH(QStringList, lcd);

    RecordingOutputs outputs;
    CurrentReading current;
    Km90Decoder decoder(outputs, current, separator);
    for (const QString &h : history)
        decoder.ShowData50(h);
    outputs.calls.clear();

    bool threw = false;
    try {
        decoder.ShowData50(frame);
    } catch (const ConversionError &) {
        threw = true;
    }
    QCOMPARE(threw, fails);
    QCOMPARE(outputs.calls, expectedCalls);
    QCOMPARE((QStringList { current.Value, current.Unit, current.V_Value, current.V_Unit,
                 current.I_Value, current.I_Unit }),
        reading);
    for (const QString &element : lcd)
        QCOMPARE(describe(decoder.display(), element.section(u'=', 0, 0)), element);
}

void TestKm90Decoder::startUpLookAndBlanking()
{
    Km90Display d;
    QStringList hidden;
    for (int i = 0; i < d.count(); ++i) {
        if (!d.isVisible(i))
            hidden << d.name(i);
    }
    QCOMPARE(
        hidden, (QStringList { "Image1", "T_dPoint1" })); // all segments lit before the first frame
    QCOMPARE(describe(d, QStringLiteral("KVA")), QStringLiteral("KVA=1:KVA"));
    QCOMPARE(describe(d, QStringLiteral("wsg")), QStringLiteral("wsg=1:%W"));
    QCOMPARE(describe(d, QStringLiteral("Labtime")), QStringLiteral("Labtime=1:Time h:mm:s"));

    d.DispInit(0);
    QStringList blanked;
    for (int i = 0; i < d.count(); ++i) {
        if (!d.isVisible(i))
            blanked << d.name(i);
        QCOMPARE(
            d.text(i), d.info(i).startText ? QString::fromUtf16(d.info(i).startText) : QString());
    }
    blanked.sort();
    QStringList expected { "LCDHold", "LcdAuto", "ol1", "ol2", "ol3", "rsUSB", "wsg", "power",
        "labMEM", "Labtime", "Labcal", "Labmin", "kvar1", "Labmr", "Labclr", "Labmax", "kvar",
        "kwh", "danger", "LabelF", "labelff", "T_LabelF", "Point1", "Point2", "Point3", "T_Point1",
        "T_Point2", "T_Point3", "T_dPoint1", "Lab0", "LabFUL", "RST", "Image1" };
    expected.sort();
    QCOMPARE(blanked, expected);

    // Blanking only hides: nothing outside the blank set comes back on.
    for (int i = 0; i < d.count(); ++i)
        d.setVisible(i, false);
    d.DispInit(0);
    for (int i = 0; i < d.count(); ++i)
        QVERIFY2(!d.isVisible(i), qPrintable(d.name(i)));
}

void TestKm90Decoder::scaleStateAfterFrames()
{
    RecordingOutputs outputs;
    CurrentReading current;
    Km90Decoder decoder(outputs, current, QStringLiteral("."));
    QCOMPARE(decoder.gaugeScale(), GaugeScale {}); // start-up scale until a quantity is known
    QCOMPARE(decoder.gaugeScale().BarMax, 60);
    decoder.ShowData50(power);
    QCOMPARE(decoder.gaugeScale(), (GaugeScale { QStringLiteral("6"), 600, 600, 600, 120 }));
    QCOMPARE(decoder.previousUnit(), QStringLiteral("KW"));
    outputs.calls.clear();
    decoder.ShowData50(power); // same unit: no new scale, no dial redraw
    QVERIFY(!outputs.calls.contains(QStringLiteral("KDsetup")));
    const GaugeScale powerFactorScale { QStringLiteral("7"), 1000, 1000, 1000, 200 };
    decoder.ShowData50(powerFactor);
    QCOMPARE(decoder.gaugeScale(), powerFactorScale);
    QCOMPARE(decoder.previousUnit(), QStringLiteral("PF"));
    decoder.ShowData50(f("7", "0", "2475", "1", "2301", "1", "5360", "3", "12", "0081"));
    QCOMPARE(decoder.gaugeScale(), powerFactorScale); // the sum display keeps the scale
    decoder.ShowData50(f("4", "0", "0243", "1", "2301", "1", "5360", "3", "06", "0000"));
    QCOMPARE(decoder.gaugeScale(), (GaugeScale { QStringLiteral("10"), 360, 360, 360, 72 }));
}

QTEST_GUILESS_MAIN(TestKm90Decoder)
#include "tst_km90decoder.moc"
