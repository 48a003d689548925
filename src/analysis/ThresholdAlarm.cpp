// SPDX-License-Identifier: MIT
#include "analysis/ThresholdAlarm.h"

#include "analysis/ReadingStatistics.h"
#include "core/ReadingText.h"

#include <QSettings>

#include <cmath>

namespace {

std::optional<double> optionalNumber(const QVariant &v)
{
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!v.isValid() || v.toString().isEmpty() || !ok || !std::isfinite(d))
        return std::nullopt;
    return d;
}

QVariant optionalValue(const std::optional<double> &v)
{
    return v ? QVariant(*v) : QVariant(QString());
}

} // namespace

AlarmSettings AlarmSettings::load(QSettings &settings)
{
    AlarmSettings s;
    settings.beginGroup(QStringLiteral("Alarms"));
    s.enabled = settings.value(QStringLiteral("enabled"), false).toBool();
    s.lower = optionalNumber(settings.value(QStringLiteral("lower")));
    s.upper = optionalNumber(settings.value(QStringLiteral("upper")));
    s.unit = settings.value(QStringLiteral("unit")).toString();
    s.hysteresis = optionalNumber(settings.value(QStringLiteral("hysteresis"))).value_or(0.0);
    if (s.hysteresis < 0)
        s.hysteresis = 0;
    s.beep = settings.value(QStringLiteral("beep"), true).toBool();
    s.historyLine = settings.value(QStringLiteral("historyLine"), true).toBool();
    s.runCommand = settings.value(QStringLiteral("runCommand"), false).toBool();
    s.program = settings.value(QStringLiteral("program")).toString();
    settings.endGroup();
    return s;
}

void AlarmSettings::save(QSettings &settings) const
{
    settings.beginGroup(QStringLiteral("Alarms"));
    settings.setValue(QStringLiteral("enabled"), enabled);
    settings.setValue(QStringLiteral("lower"), optionalValue(lower));
    settings.setValue(QStringLiteral("upper"), optionalValue(upper));
    settings.setValue(QStringLiteral("unit"), unit);
    settings.setValue(QStringLiteral("hysteresis"), hysteresis);
    settings.setValue(QStringLiteral("beep"), beep);
    settings.setValue(QStringLiteral("historyLine"), historyLine);
    settings.setValue(QStringLiteral("runCommand"), runCommand);
    settings.setValue(QStringLiteral("program"), program);
    settings.endGroup();
}

void ThresholdAlarm::setSettings(const AlarmSettings &settings)
{
    if (settings == m_settings)
        return;
    m_settings = settings;
    reset();
}

std::optional<ThresholdAlarm::Crossing> ThresholdAlarm::check(
    QStringView value, QStringView unit, QStringView separator)
{
    m_unitMatches = false;
    if (!m_settings.enabled || (!m_settings.lower && !m_settings.upper))
        return std::nullopt;
    if (unit.trimmed().compare(QStringView(m_settings.unit).trimmed(), Qt::CaseInsensitive) != 0)
        return std::nullopt;
    m_unitMatches = true;

    const double h = std::max(0.0, m_settings.hysteresis);
    AlarmState next = m_state;
    const QStringView trimmed = value.trimmed();
    if (trimmed.compare(QLatin1String("OL"), Qt::CaseInsensitive) == 0) {
        if (!m_settings.upper)
            return std::nullopt;
        next = AlarmState::Above;
    } else {
        const std::optional<double> v = ReadingStatistics::number(trimmed, separator);
        if (!v)
            return std::nullopt;
        const bool aboveUpper = m_settings.upper && *v > *m_settings.upper;
        const bool belowLower = m_settings.lower && *v < *m_settings.lower;
        if (aboveUpper)
            next = AlarmState::Above;
        else if (belowLower)
            next = AlarmState::Below;
        else if (m_state == AlarmState::Above && *v <= *m_settings.upper - h)
            next = AlarmState::Inside;
        else if (m_state == AlarmState::Below && *v >= *m_settings.lower + h)
            next = AlarmState::Inside;
    }
    const AlarmState previous = m_state;
    m_state = next;
    if (next == previous || next == AlarmState::Inside)
        return std::nullopt;
    return Crossing { next, value.toString(), unit.toString() };
}

QString alarmHistoryText(const AlarmSettings &settings, const ThresholdAlarm::Crossing &crossing)
{
    const bool above = crossing.state == AlarmState::Above;
    const double limit = above ? settings.upper.value_or(0) : settings.lower.value_or(0);
    return QStringLiteral("Alarm: %1 %2 %3 the %4 limit %5 %6")
        .arg(crossing.value.trimmed(), crossing.unit,
            above ? QStringLiteral("above") : QStringLiteral("below"),
            above ? QStringLiteral("upper") : QStringLiteral("lower"),
            ReadingText::formatNumber(limit), settings.unit);
}

void AlarmActions::fire(
    const AlarmSettings &settings, const ThresholdAlarm::Crossing &crossing) const
{
    if (settings.beep && beep)
        beep();
    if (settings.historyLine && historyLine)
        historyLine(alarmHistoryText(settings, crossing));
    if (settings.runCommand && !settings.program.trimmed().isEmpty() && startCommand) {
        const QStringList arguments { crossing.value.trimmed(), crossing.unit,
            crossing.state == AlarmState::Above ? QStringLiteral("above")
                                                : QStringLiteral("below") };
        if (!startCommand(settings.program.trimmed(), arguments) && historyLine)
            historyLine(QStringLiteral("Alarm: the command %1 could not be started")
                            .arg(settings.program.trimmed()));
    }
}
