// SPDX-License-Identifier: MIT
#include "analysis/ThresholdAlarm.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

AlarmSettings limits()
{
    AlarmSettings s;
    s.enabled = true;
    s.lower = 2.0;
    s.upper = 10.0;
    s.unit = QStringLiteral("KW");
    s.hysteresis = 1.0;
    return s;
}

// Feeds readings "value unit" and writes the crossings as "A" (above) or "B"
// (below), and "-" for a reading that fired nothing.
QString feed(ThresholdAlarm &alarm, const QStringList &readings)
{
    QString fired;
    for (const QString &reading : readings) {
        const QStringList parts = reading.split(' ');
        const auto crossing = alarm.check(parts.value(0), parts.value(1), u",");
        fired += !crossing                         ? QLatin1Char('-')
            : crossing->state == AlarmState::Above ? QLatin1Char('A')
                                                   : QLatin1Char('B');
    }
    return fired;
}

} // namespace

class TestThresholdAlarm : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void crossings_data();
    void crossings();
    void disabledOrWithoutLimitsNeverFires();
    void actionsAndTheCommandsArguments();
    void settingsKeptBetweenRuns();
};

void TestThresholdAlarm::crossings_data()
{
    QTest::addColumn<QStringList>("readings");
    QTest::addColumn<QString>("fired");
    QTest::addColumn<bool>("outsideAtEnd");
    QTest::newRow("once per crossing, not per reading")
        << QStringList { "5 KW", "11 KW", "12 KW", "10,5 KW" } << "-A--" << true;
    QTest::newRow("on the limit is inside") << QStringList { "10 KW", "2 KW" } << "--" << false;
    QTest::newRow("wavering within the hysteresis fires once")
        << QStringList { "11 KW", "9,5 KW", "10,5 KW", "9,1 KW", "11 KW" } << "A----" << true;
    QTest::newRow("back by the hysteresis, then again")
        << QStringList { "11 KW", "9 KW", "11 KW" } << "A-A" << true;
    QTest::newRow("lower limit with hysteresis")
        << QStringList { "1 KW", "2,5 KW", "1,5 KW", "3 KW", "1 KW" } << "B---B" << true;
    QTest::newRow("straight from above to below")
        << QStringList { "11 KW", "1 KW", "5 KW" } << "AB-" << false;
    QTest::newRow("another unit: no alarm, state kept")
        << QStringList { "50 V", "11 A", "11 KW", "1 V", "12 KW" } << "--A--" << true;
    QTest::newRow("another unit now: not outside, no new alarm on return")
        << QStringList { "11 KW", "5 V" } << "A-" << false;
    QTest::newRow("another unit in between, still above on return")
        << QStringList { "11 KW", "5 V", "12 KW" } << "A--" << true;
    QTest::newRow("unit without letter case") << QStringList { "11 kw" } << "A" << true;
    QTest::newRow("OL is above the upper limit")
        << QStringList { "5 KW", "OL KW", "OL KW", "5 KW" } << "-A--" << false;
    QTest::newRow("OL in another unit: nothing") << QStringList { "OL V" } << "-" << false;
    QTest::newRow("other non-numbers ignored")
        << QStringList { "11 KW", "---- KW", "0L KW" } << "A--" << true;
    QTest::newRow("full stop read too") << QStringList { "10.5 KW" } << "A" << true;
}

void TestThresholdAlarm::crossings()
{
    QFETCH(QStringList, readings);
    QFETCH(QString, fired);
    QFETCH(bool, outsideAtEnd);
    ThresholdAlarm alarm;
    alarm.setSettings(limits());
    QCOMPARE(feed(alarm, readings), fired);
    QCOMPARE(alarm.outside(), outsideAtEnd);
}

void TestThresholdAlarm::disabledOrWithoutLimitsNeverFires()
{
    ThresholdAlarm alarm;
    AlarmSettings s = limits();
    s.enabled = false;
    alarm.setSettings(s);
    QCOMPARE(feed(alarm, { "11 KW", "OL KW", "0 KW" }), "---");

    s.enabled = true;
    s.upper.reset();
    alarm.setSettings(s);
    // Only a lower limit: OL cannot be compared and fires nothing.
    QCOMPARE(feed(alarm, { "OL KW", "1 KW" }), "-B");

    // New settings start inside again.
    alarm.setSettings(limits());
    QVERIFY(!alarm.outside());
}

void TestThresholdAlarm::actionsAndTheCommandsArguments()
{
    QStringList calls;
    AlarmActions actions;
    actions.beep = [&] { calls << "beep"; };
    actions.historyLine = [&](const QString &line) { calls << "history " + line; };
    bool starts = true;
    actions.startCommand = [&](const QString &program, const QStringList &arguments) {
        calls << "run " + program + " | " + arguments.join(" | ");
        return starts;
    };
    AlarmSettings s = limits();
    s.runCommand = true;
    s.program = QStringLiteral("/usr/bin/notify; rm -rf x");

    const ThresholdAlarm::Crossing above { AlarmState::Above, QStringLiteral("12,5"),
        QStringLiteral("KW") };
    actions.fire(s, above);
    // The program's text is the program, whatever it holds: no shell splits it.
    QCOMPARE(calls,
        (QStringList { "beep", "history Alarm: 12,5 KW above the upper limit 10 KW",
            "run /usr/bin/notify; rm -rf x | 12,5 | KW | above" }));

    calls.clear();
    starts = false;
    s.beep = false;
    const ThresholdAlarm::Crossing below { AlarmState::Below, QStringLiteral("OL"),
        QStringLiteral("KW") };
    actions.fire(s, below);
    QCOMPARE(calls,
        (QStringList { "history Alarm: OL KW below the lower limit 2 KW",
            "run /usr/bin/notify; rm -rf x | OL | KW | below",
            "history Alarm: the command /usr/bin/notify; rm -rf x could not be started" }));

    calls.clear();
    s.historyLine = false;
    s.runCommand = false;
    actions.fire(s, above);
    QVERIFY(calls.isEmpty());
}

void TestThresholdAlarm::settingsKeptBetweenRuns()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath("alarms.ini");
    AlarmSettings s = limits();
    s.lower.reset();
    s.runCommand = true;
    s.program = QStringLiteral("/bin/echo");
    {
        QSettings settings(file, QSettings::IniFormat);
        s.save(settings);
    }
    QSettings settings(file, QSettings::IniFormat);
    QCOMPARE(AlarmSettings::load(settings), s);

    // Nothing stored: the alarm is off.
    QSettings empty(dir.filePath("none.ini"), QSettings::IniFormat);
    QCOMPARE(AlarmSettings::load(empty), AlarmSettings {});
}

QTEST_GUILESS_MAIN(TestThresholdAlarm)
#include "tst_thresholdalarm.moc"
