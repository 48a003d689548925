// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>
#include <optional>

class QSettings;

// What the user sets for the threshold alarm of the main reading.
struct AlarmSettings
{
    bool enabled = false;
    std::optional<double> lower; // none: no lower limit
    std::optional<double> upper; // none: no upper limit
    QString unit; // the limits' unit; readings in another unit raise no alarm
    double hysteresis = 0; // how far back inside a reading must come to end an alarm
    bool beep = true;
    bool historyLine = true;
    bool runCommand = false;
    QString program; // run without a shell, the reading as its arguments

    bool operator==(const AlarmSettings &) const = default;

    // Kept under the group "Alarms" of the program's settings.
    static AlarmSettings load(QSettings &settings);
    void save(QSettings &settings) const;
};

// Where the main reading stands against the limits.
enum class AlarmState { Inside, Below, Above };

// The threshold alarm: follows the main reading frame by frame and says when
// it crosses a limit. An alarm fires once per crossing; it ends only when the
// reading comes back inside by the hysteresis (upper - h or lower + h), so a
// reading that wavers on a limit does not fire again and again. A reading in
// another unit than the limits' (compared without letter case) leaves the
// state as it is and fires nothing. "OL" (overload) counts as above the upper
// limit; other texts that are not numbers are ignored.
class ThresholdAlarm
{
public:
    struct Crossing
    {
        AlarmState state; // Below or Above
        QString value; // the reading's text as recorded
        QString unit;
    };

    void setSettings(const AlarmSettings &settings);
    const AlarmSettings &settings() const { return m_settings; }

    // Follows one reading; a crossing when this reading starts an alarm.
    std::optional<Crossing> check(QStringView value, QStringView unit, QStringView separator);
    AlarmState state() const { return m_state; }
    // The last reading was in the limits' unit and is outside (or has not yet
    // come back by the hysteresis): what the red frame shows. A reading in
    // another unit is not outside, though the state is kept for its return.
    bool outside() const { return m_unitMatches && m_state != AlarmState::Inside; }
    // Back to Inside (after the settings change or the link restarts).
    void reset()
    {
        m_state = AlarmState::Inside;
        m_unitMatches = false;
    }

private:
    AlarmSettings m_settings;
    AlarmState m_state = AlarmState::Inside;
    bool m_unitMatches = false;
};

// What the alarm does when it fires, through seams so that tests see the
// calls: the beep, the line in the link history, the command.
struct AlarmActions
{
    std::function<void()> beep;
    std::function<void(const QString &)> historyLine;
    // Starts program with arguments and without a shell; false when it could
    // not be started. The programs use QProcess::startDetached.
    std::function<bool(const QString &program, const QStringList &arguments)> startCommand;

    // Carries out what the settings ask for one crossing. The command gets
    // three arguments: the reading's value text, its unit, and "above" or
    // "below". A command that cannot start is said in the history.
    void fire(const AlarmSettings &settings, const ThresholdAlarm::Crossing &crossing) const;
};

// The history line of a crossing: "Alarm: 12.5 KW above the upper limit 10 KW".
QString alarmHistoryText(const AlarmSettings &settings, const ThresholdAlarm::Crossing &crossing);
