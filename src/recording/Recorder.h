// SPDX-License-Identifier: MIT
#pragma once

#include "CurrentReading.h"
#include "MeterModel.h"

#include <QString>
#include <QTime>

#include <array>
#include <functional>
#include <optional>

class ReadingTable;

// One entry of the "Record" menu: the most readings that are counted and recorded.
struct RecordLimitChoice
{
    const char *name; // menu item, e.g. "set10k"
    const char *caption; // e.g. "10000"
    qint32 limit;
};

// The six record limits, in menu order. "Limitless" is ten million.
const std::array<RecordLimitChoice, 6> &recordLimitChoices();

// The recording policy: decides for each decoded reading whether a row is
// written to the reading table, under the record limit, the optional sampling
// interval and the repeat rule.
class Recorder
{
public:
    // Time of day stamped on a row.
    using Clock = std::function<QTime()>;

    Recorder(MeterModel model, ReadingTable &table, const CurrentReading &reading);

    void setClock(Clock clock) { m_clock = std::move(clock); }

    // The "Repeat" box (ticked at start): record a reading equal to the last one.
    bool repeat() const { return m_repeat; }
    void setRepeat(bool on) { m_repeat = on; }
    // The "Sampling Interval" box (unticked at start).
    bool sampling() const { return m_sampling; }
    void setSampling(bool on) { m_sampling = on; }

    // Text of the interval field ("10" at start). Setting it reloads the
    // count-down by the interval rule. A text that is not "-", "+", empty or a
    // non-negative decimal number that fits 32 bits is refused: the field keeps
    // its text, the count-down is unchanged, and false is returned.
    const QString &intervalText() const { return m_intervalText; }
    bool setIntervalText(const QString &text);
    // The interval rule: "-", "+" and empty mean 0, otherwise the decimal number.
    // nullopt for a text the field refuses.
    static std::optional<qint32> intervalFromText(QStringView text);
    // Keys the interval field lets through: "0" to "9" and Backspace.
    static bool acceptsIntervalKey(QChar key);

    // One tick of the one-second sampling timer.
    void SampInterTimeTimer();

    qint32 recordLimit() const { return m_recordLimit; }
    void setRecordLimit(qint32 limit) { m_recordLimit = limit; }

    qint32 recordCounter() const { return m_recordCounter; }
    qint32 sampleCountdown() const { return m_sampleCountdown; }
    const QString &lastRecordedValue() const { return m_lastRecordedValue; }

    // Would the current reading be counted and written now? Changes nothing.
    bool recordingTest() const;

    // Records the current reading if the policy lets it through (mode must be
    // 1). Returns whether a row was appended.
    bool INDataToTable(int mode);

    // The table part of the clear command: empties the table if it holds rows
    // and restarts numbering at 1. Returns whether there were rows.
    bool clearRecords();

private:
    bool counted() const;
    const QString &timeText();

    MeterModel m_model;
    ReadingTable &m_table;
    const CurrentReading &m_reading;
    Clock m_clock;
    QChar m_timeSeparator;

    bool m_repeat = true;
    bool m_sampling = false;
    QString m_intervalText = QStringLiteral("10");
    qint32 m_recordCounter = 1;
    qint32 m_recordLimit = 10000;
    qint32 m_sampleCountdown = 0;
    QString m_lastRecordedValue;

    QTime m_lastTime;
    QString m_lastTimeText;
};
