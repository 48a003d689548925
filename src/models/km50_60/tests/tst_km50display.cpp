// SPDX-License-Identifier: MIT
#include "models/km50_60/Km50Display.h"
#include "models/km50_60/tests/Km50Fixture.h"

#include <QSet>
#include <QTest>

// The panel's elements, their look before the first frame and the blanking.
class TestKm50Display : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void elementNames();
    void lookBeforeFirstFrame_data();
    void lookBeforeFirstFrame();
    void blankingHidesExactlyTheBlankSet();
    void blankingLeavesDigitsAndCaptions();
};

namespace {

const QStringList digitElements = Km50Fixture::digitNames();

const QStringList blankSet { "LCDHold", "LcdAuto", "ol1", "ol2", "ol3", "rsUSB", "wsg", "power",
    "labMEM", "Labtime", "Labcal", "Labmin", "dc1", "freq", "f1", "c", "pg", "kvar1", "Labmr",
    "Labclr", "Labtemp", "Labmax", "labac", "pf", "kvar", "kwh", "danger", "LabelF", "T_LabelF",
    "Point1", "Point2", "Point3", "T_Point1", "T_Point2", "T_Point3", "Lab0", "LabFUL" };

QSet<QString> namesOf(const LcdDisplayState &display)
{
    QSet<QString> names;
    for (int i = 0; i < display.count(); ++i)
        names.insert(display.name(i));
    return names;
}

} // namespace

void TestKm50Display::elementNames()
{
    const Km50Display display;
    const QSet<QString> expected = QSet<QString>(blankSet.begin(), blankSet.end())
        + QSet<QString>(digitElements.begin(), digitElements.end());
    QCOMPARE(display.count(), blankSet.size() + digitElements.size());
    QCOMPARE(namesOf(display), expected);
    // Enumerators address the element of the same name.
    QCOMPARE(display.indexOf(u"power"), int(Km50Element::power));
    QCOMPARE(display.indexOf(u"T_Point3"), int(Km50Element::T_Point3));
    QCOMPARE(display.indexOf(u"LabelD"), int(Km50Element::LabelD));
}

void TestKm50Display::lookBeforeFirstFrame_data()
{
    QTest::addColumn<QString>("element");
    QTest::addColumn<bool>("hasText");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("visible");

    QTest::newRow("hold is a double quote") << "LCDHold" << true << "\"" << true;
    QTest::newRow("mark 1 has two blanks") << "ol1" << true << "}  1" << true;
    QTest::newRow("mark 2 has three blanks") << "ol2" << true << "}   2" << true;
    QTest::newRow("mark 3 has three blanks") << "ol3" << true << "}   3" << true;
    QTest::newRow("sum sign glyph") << "wsg" << true << "%W" << true;
    QTest::newRow("battery picture") << "power" << false << "" << true;
    QTest::newRow("high-voltage picture") << "danger" << false << "" << true;
    QTest::newRow("degree sign hidden") << "Lab0" << true << QString(QChar(0x00B0)) << false;
    QTest::newRow("FUL hidden") << "LabFUL" << true << "FUL" << false;
    QTest::newRow("reactive unit leading blank") << "kvar" << true << " KVAr" << true;
    QTest::newRow("time caption") << "Labtime" << true << "Time   mm:ss" << true;
    QTest::newRow("secondary minus") << "T_LabelF" << true << "-" << true;
    QTest::newRow("temperature sign glyph") << "c" << true << "#" << true;
    QTest::newRow("frequency near secondary") << "f1" << true << "?" << true;
    QTest::newRow("main digit") << "LabelA" << true << "8" << true;
    QTest::newRow("secondary digit") << "M_Time2" << true << "8" << true;
    QTest::newRow("memory digit") << "stor2" << true << "8" << true;
    QTest::newRow("main point") << "Point2" << true << "." << true;
    QTest::newRow("AUTO") << "LcdAuto" << true << "AUTO" << true;
}

void TestKm50Display::lookBeforeFirstFrame()
{
    QFETCH(QString, element);
    QFETCH(bool, hasText);
    QFETCH(QString, caption);
    QFETCH(bool, visible);

    const Km50Display display;
    const int i = display.indexOf(element);
    QVERIFY(i >= 0);
    QCOMPARE(display.info(i).hasText, hasText);
    QCOMPARE(display.text(i), caption);
    QCOMPARE(display.isVisible(i), visible);
}

void TestKm50Display::blankingHidesExactlyTheBlankSet()
{
    Km50Display display;
    for (int i = 0; i < display.count(); ++i)
        display.setVisible(i, true);
    display.DispInit(0);
    for (int i = 0; i < display.count(); ++i) {
        const QString name = display.name(i);
        QVERIFY2(display.isVisible(i) == !blankSet.contains(name), qPrintable(name));
        QCOMPARE(Km50Display::isBlanked(Km50Element(i)), blankSet.contains(name));
    }
}

void TestKm50Display::blankingLeavesDigitsAndCaptions()
{
    Km50Display display;
    display.setText(Km50Element::LabelC, "@");
    display.setText(Km50Element::kvar, "KVA");
    display.hide(Km50Element::H_Time1); // as an energy-mode frame leaves it
    const Km50Display before = display;

    display.DispInit(0);
    for (int i = 0; i < display.count(); ++i)
        QCOMPARE(display.text(i), before.text(i));
    QCOMPARE(display.text(Km50Element::LabelC), QString("@"));
    QVERIFY(!display.isVisible(Km50Element::H_Time1));
    QVERIFY(display.isVisible(Km50Element::LabelA));
    QVERIFY(display.isVisible(Km50Element::stor1));
}

QTEST_APPLESS_MAIN(TestKm50Display)
#include "tst_km50display.moc"
