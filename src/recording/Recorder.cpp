// SPDX-License-Identifier: MIT
#include "Recorder.h"

#include "ReadingTable.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>

#include <limits>

namespace {

constexpr std::array<RecordLimitChoice, 6> limitChoices { {
    { "set1k", "1000", 1000 },
    { "set5k", "5000", 5000 },
    { "set10k", "10000", 10000 },
    { "set50k", "50000", 50000 },
    { "set100k", "100000", 100000 },
    { "setlimit", "Limitless", 10000000 },
} };

// The local time of day, asking the time zone only once per second: stamping
// a row must stay cheap when a long capture is replayed.
QTime localTimeOfDay()
{
    static thread_local qint64 lastSecond = std::numeric_limits<qint64>::min();
    static thread_local QTime lastTime;
    const qint64 second = QDateTime::currentMSecsSinceEpoch() / 1000;
    if (second != lastSecond) {
        lastSecond = second;
        lastTime = QDateTime::fromSecsSinceEpoch(second).time();
    }
    return lastTime;
}

// The separator the system puts between hours and minutes; a colon when the
// locale's time format shows none.
QChar systemTimeSeparator()
{
    const QString format = QLocale::system().timeFormat(QLocale::ShortFormat);
    const qsizetype hours = format.indexOf(QRegularExpression(QStringLiteral("[hH]")));
    if (hours >= 0) {
        for (qsizetype i = hours; i < format.size(); ++i) {
            const QChar c = format[i];
            if (c == u'h' || c == u'H')
                continue;
            if (!c.isLetter() && !c.isSpace() && c != u'\'')
                return c;
            break;
        }
    }
    return u':';
}

} // namespace

const std::array<RecordLimitChoice, 6> &recordLimitChoices()
{
    return limitChoices;
}

Recorder::Recorder(MeterModel model, ReadingTable &table, const CurrentReading &reading)
    : m_model(model)
    , m_table(table)
    , m_reading(reading)
    , m_clock(localTimeOfDay)
    , m_timeSeparator(systemTimeSeparator())
{ }

std::optional<qint32> Recorder::intervalFromText(QStringView text)
{
    if (text.isEmpty() || text == u"-" || text == u"+")
        return 0;
    QStringView digits = text.startsWith(u'+') ? text.sliced(1) : text;
    if (digits.isEmpty())
        return std::nullopt;
    qint64 value = 0;
    for (QChar c : digits) {
        if (c < u'0' || c > u'9')
            return std::nullopt; // also a minus sign: a negative count-down would never run out
        value = value * 10 + (c.unicode() - u'0');
        if (value > std::numeric_limits<qint32>::max())
            return std::nullopt;
    }
    return qint32(value);
}

bool Recorder::acceptsIntervalKey(QChar key)
{
    return (key >= u'0' && key <= u'9') || key == u'\b';
}

bool Recorder::setIntervalText(const QString &text)
{
    const auto interval = intervalFromText(text);
    if (!interval)
        return false;
    m_intervalText = text;
    m_sampleCountdown = *interval;
    return true;
}

void Recorder::SampInterTimeTimer()
{
    if (m_sampling && m_sampleCountdown > 0)
        --m_sampleCountdown;
}

bool Recorder::counted() const
{
    if (m_recordLimit < m_recordCounter)
        return false;
    if (m_sampling && m_sampleCountdown != 0)
        return false;
    return true;
}

bool Recorder::recordingTest() const
{
    return counted() && (m_repeat || m_reading.Value != m_lastRecordedValue);
}

const QString &Recorder::timeText()
{
    const QTime now = m_clock();
    if (now != m_lastTime || m_lastTimeText.isEmpty()) {
        m_lastTime = now;
        const auto two = [](int n) { return QString::number(n).rightJustified(2, u'0'); };
        m_lastTimeText = two(now.hour()) + m_timeSeparator + two(now.minute()) + m_timeSeparator
            + two(now.second());
    }
    return m_lastTimeText;
}

bool Recorder::INDataToTable(int mode)
{
    if (mode != 1 || !counted())
        return false;

    const bool write = m_repeat || m_reading.Value != m_lastRecordedValue;
    if (write) {
        // The stored interval text always passes the interval rule.
        m_sampleCountdown = intervalFromText(m_intervalText).value_or(0);
        if (m_model == MeterModel::Km90) {
            const std::array<QString, 7> texts { timeText(), m_reading.Value, m_reading.Unit,
                m_reading.V_Value, m_reading.V_Unit, m_reading.I_Value, m_reading.I_Unit };
            m_table.appendRow(m_recordCounter, texts);
        } else {
            const std::array<QString, 3> texts { timeText(), m_reading.Value, m_reading.Unit };
            m_table.appendRow(m_recordCounter, texts);
        }
    }
    if (m_recordCounter < std::numeric_limits<qint32>::max())
        ++m_recordCounter;
    m_lastRecordedValue = m_reading.Value;
    return write;
}

bool Recorder::clearRecords()
{
    const bool hadRows = m_table.rowCount() > 0;
    if (hadRows)
        m_table.clear();
    m_recordCounter = 1;
    return hadRows;
}
