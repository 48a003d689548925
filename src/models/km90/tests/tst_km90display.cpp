// SPDX-License-Identifier: MIT
#include "models/km90/Km90Display.h"

#include <QSet>
#include <QTest>

// The panel's elements, their look before the first frame and the blanking.
class TestKm90Display : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void elementNames();
    void lookBeforeFirstFrame_data();
    void lookBeforeFirstFrame();
    void startUpLookAndBlanking();
};

namespace {

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

void TestKm90Display::elementNames()
{
    // The panel itself, the memory group, the main digit group, the voltage
    // group and the current group.
    const QStringList panel { "danger", "Labcal", "rsUSB", "LCDHold", "RST", "power", "Labmr",
        "Labclr", "ol1", "ol2", "ol3", "wsg", "Lab0", "hz", "PEAK", "kvar", "kwh", "LcdAuto",
        "Labmax", "Labmin", "KW", "PEAK2", "KVA", "THD", "PEAK1", "kvar1" };
    const QStringList memory { "LabFUL", "labMEM", "stor1", "stor2" };
    const QStringList main { "AC", "LabelF", "LabelA", "Point1", "LabelB", "Point2", "LabelC",
        "Point3", "LabelD", "cos_dis", "Image1" };
    const QStringList voltage { "AC1", "labelff", "LCDAA", "point11", "LCDBB", "point22", "LCDCC",
        "point33", "LCDDD" };
    const QStringList current { "Labtime", "AC2", "T_LabelF", "H_Time1", "T_Point1", "H_Time2",
        "T_Point2", "T_dPoint1", "M_Time1", "T_Point3", "M_Time2" };
    const QStringList all = panel + memory + main + voltage + current;

    const Km90Display display;
    QCOMPARE(display.count(), all.size());
    QSet<QString> names;
    for (int i = 0; i < display.count(); ++i) {
        names.insert(display.name(i));
        QCOMPARE(display.indexOf(display.name(i)), i); // names are unique
    }
    QCOMPARE(names, QSet<QString>(all.begin(), all.end()));
    // Enumerators address the element of the same name.
    QCOMPARE(display.indexOf(u"danger"), int(Km90Element::danger));
    QCOMPARE(display.indexOf(u"Image1"), int(Km90Element::Image1));
    QCOMPARE(display.indexOf(u"point22"), int(Km90Element::point22));
    QCOMPARE(display.indexOf(u"M_Time2"), int(Km90Element::M_Time2));
}

void TestKm90Display::lookBeforeFirstFrame_data()
{
    QTest::addColumn<QString>("element");
    QTest::addColumn<bool>("hasText");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("visible");

    QTest::newRow("hold is a double quote") << "LCDHold" << true << "\"" << true;
    QTest::newRow("mark 1 has two blanks") << "ol1" << true << "}  1" << true;
    QTest::newRow("mark 2 has three blanks") << "ol2" << true << "}   2" << true;
    QTest::newRow("mark 3 has three blanks") << "ol3" << true << "}   3" << true;
    QTest::newRow("sum mark glyph") << "wsg" << true << "%W" << true;
    QTest::newRow("degree sign") << "Lab0" << true << QString(QChar(0x00B0)) << true;
    QTest::newRow("reactive unit leading blank") << "kvar" << true << " KVAr" << true;
    QTest::newRow("power unit") << "kwh" << true << "KWh" << true;
    QTest::newRow("voltage-row unit") << "KVA" << true << "KVA" << true;
    QTest::newRow("current-row unit") << "kvar1" << true << "KVAr" << true;
    QTest::newRow("THD") << "THD" << true << "%THD" << true;
    QTest::newRow("PEAK1") << "PEAK1" << true << "PEAK1" << true;
    QTest::newRow("time caption") << "Labtime" << true << "Time h:mm:s" << true;
    QTest::newRow("Cos") << "cos_dis" << true << "Cos" << true;
    QTest::newRow("colon hidden") << "T_dPoint1" << true << ":" << false;
    QTest::newRow("phi picture hidden") << "Image1" << false << "" << false;
    QTest::newRow("lightning picture") << "danger" << false << "" << true;
    QTest::newRow("RST picture") << "RST" << false << "" << true;
    QTest::newRow("battery picture") << "power" << false << "" << true;
    QTest::newRow("AC picture") << "AC" << false << "" << true;
    QTest::newRow("voltage AC picture") << "AC1" << false << "" << true;
    QTest::newRow("current AC picture") << "AC2" << false << "" << true;
    QTest::newRow("main minus") << "LabelF" << true << "-" << true;
    QTest::newRow("voltage minus") << "labelff" << true << "-" << true;
    QTest::newRow("main digit") << "LabelB" << true << "8" << true;
    QTest::newRow("voltage point") << "point22" << true << "." << true;
    QTest::newRow("current digit") << "M_Time1" << true << "8" << true;
    QTest::newRow("memory digit") << "stor1" << true << "8" << true;
    QTest::newRow("AUTO") << "LcdAuto" << true << "AUTO" << true;
    QTest::newRow("USB") << "rsUSB" << true << "USB" << true;
}

void TestKm90Display::lookBeforeFirstFrame()
{
    QFETCH(QString, element);
    QFETCH(bool, hasText);
    QFETCH(QString, text);
    QFETCH(bool, visible);

    const Km90Display display;
    const int i = display.indexOf(element);
    QVERIFY(i >= 0);
    QCOMPARE(display.info(i).hasText, hasText);
    QCOMPARE(display.text(i), text);
    QCOMPARE(display.isVisible(i), visible);
}

void TestKm90Display::startUpLookAndBlanking()
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
    const QStringList blankSet { "LCDHold", "LcdAuto", "ol1", "ol2", "ol3", "rsUSB", "wsg", "power",
        "labMEM", "Labtime", "Labcal", "Labmin", "kvar1", "Labmr", "Labclr", "Labmax", "kvar",
        "kwh", "danger", "LabelF", "labelff", "T_LabelF", "Point1", "Point2", "Point3", "T_Point1",
        "T_Point2", "T_Point3", "T_dPoint1", "Lab0", "LabFUL", "RST" };
    QStringList expected = blankSet + QStringList { "Image1" }; // hidden from start-up on
    expected.sort();
    QCOMPARE(blanked, expected);
    for (int i = 0; i < d.count(); ++i)
        QCOMPARE(Km90Display::isBlanked(Km90Element(i)), blankSet.contains(d.name(i)));

    // Blanking only hides: nothing outside the blank set comes back on.
    for (int i = 0; i < d.count(); ++i)
        d.setVisible(i, false);
    d.DispInit(0);
    for (int i = 0; i < d.count(); ++i)
        QVERIFY2(!d.isVisible(i), qPrintable(d.name(i)));
}

QTEST_APPLESS_MAIN(TestKm90Display)
#include "tst_km90display.moc"
