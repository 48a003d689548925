// SPDX-License-Identifier: MIT
#include "recording/Recorder.h"

#include "models/ModelDescription.h"

#include "recording/ReadingTable.h"

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

} // namespace

const std::array<RecordLimitChoice, 6> &recordLimitChoices()
{
    return limitChoices;
}

Recorder::Recorder(MeterModel model, ReadingTable &table, const CurrentReading &reading)
    : m_rowHasVoltageAndCurrent(modelDescription(model).rowHasVoltageAndCurrent)
    , m_table(table)
    , m_reading(reading)
    , m_clock(localTimeOfDay)
    , m_timeSeparator(timeSeparatorOf(QLocale::system()))
{ }

QChar Recorder::timeSeparatorOf(const QLocale &locale)
{
    // The first character after the hours field, if it is punctuation.
    const QString format = locale.timeFormat(QLocale::LongFormat);
    const qsizetype hours = format.indexOf(QRegularExpression(QStringLiteral("[hH]")));
    if (hours >= 0) {
        for (qsizetype i = hours; i < format.size(); ++i) {
            const QChar c = format[i];
            if (c == u'h' || c == u'H')
                continue;
            if (!c.isLetterOrNumber() && !c.isSpace() && c != u'\'')
                return c;
            break;
        }
    }
    return u':';
}

void Recorder::setTimeSeparator(QChar separator)
{
    m_timeSeparator = separator;
    m_lastSecond = -1;
}

std::optional<qint32> Recorder::intervalFromText(QStringView text)
{
    if (text.isEmpty() || text == u"-" || text == u"+")
        return 0;
    const auto interval = ReadingTable::parseNo(text);
    if (!interval || *interval < 0)
        return std::nullopt;
    return interval;
}

bool Recorder::RecordSITimeKeyPress(QChar key)
{
    return (key >= u'0' && key <= u'9') || key == u'\b';
}

bool Recorder::RecordSITimeChange(const QString &text)
{
    const auto interval = intervalFromText(text);
    if (!interval)
        return false;
    m_recordSITime = text;
    m_sampleCountdown = *interval;
    return true;
}

void Recorder::SampInterTimeTimer()
{
    if (m_recordSI && m_sampleCountdown > 0)
        --m_sampleCountdown;
}

int Recorder::recordLimitChoice() const
{
    for (size_t i = 0; i < limitChoices.size(); ++i) {
        if (limitChoices[i].limit == m_recordLimit)
            return int(i);
    }
    return -1;
}

bool Recorder::setRecordLimitChoice(int index)
{
    if (index < 0 || size_t(index) >= limitChoices.size())
        return false;
    m_recordLimit = limitChoices[size_t(index)].limit;
    return true;
}

bool Recorder::counted() const
{
    if (m_recordLimit < m_recordCounter)
        return false;
    if (m_recordSI && m_sampleCountdown != 0)
        return false;
    return true;
}

QString Recorder::limitReachedText(qint32 limit)
{
    return QStringLiteral("Recording stopped: the record limit of %1 readings is reached. "
                          "Choose a larger limit (Record, RecordSet) or clear the table.")
        .arg(limit);
}

QString Recorder::recordingResumedText(qint32 nextNumber)
{
    return QStringLiteral("Recording resumed with No %1.").arg(nextNumber);
}

bool Recorder::RecordingTest() const
{
    return counted() && (m_repeatSet || m_reading.Value != m_lastRecordedValue);
}

const QString &Recorder::timeText()
{
    const QTime now = m_clock();
    const int second = now.msecsSinceStartOfDay() / 1000;
    if (second != m_lastSecond) {
        m_lastSecond = second;
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

    const bool write = m_repeatSet || m_reading.Value != m_lastRecordedValue;
    if (write) {
        // The field only ever holds texts that pass the interval rule.
        m_sampleCountdown = intervalFromText(m_recordSITime).value_or(0);
        const QString &time = timeText();
        if (m_rowHasVoltageAndCurrent) {
            const std::array<const QString *, 7> texts { &time, &m_reading.Value, &m_reading.Unit,
                &m_reading.V_Value, &m_reading.V_Unit, &m_reading.I_Value, &m_reading.I_Unit };
            m_table.appendRow(m_recordCounter, texts);
        } else {
            const std::array<const QString *, 3> texts { &time, &m_reading.Value, &m_reading.Unit };
            m_table.appendRow(m_recordCounter, texts);
        }
    }
    if (m_recordCounter < std::numeric_limits<qint32>::max())
        ++m_recordCounter;
    m_lastRecordedValue = m_reading.Value;
    return write;
}

void Recorder::continueAfterRows()
{
    const int rows = m_table.rowCount();
    if (rows == 0)
        return;
    const std::optional<qint32> last = m_table.no(rows - 1);
    const qint64 next = qint64(last.value_or(rows)) + 1;
    m_recordCounter = qint32(qBound(qint64(1), next, qint64(std::numeric_limits<qint32>::max())));
    m_lastRecordedValue = m_table.fieldText(rows - 1, m_table.columnIndex(u"Value"));
}

bool Recorder::ClearRClick()
{
    const bool hadRows = m_table.rowCount() > 0;
    if (hadRows)
        m_table.clear();
    m_recordCounter = 1;
    return hadRows;
}
