// SPDX-License-Identifier: MIT
#pragma once

#include "core/CurrentReading.h"
#include "core/MeterModel.h"

#include <QChar>
#include <QLocale>
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
// interval and the repeat rule. The window owns the controls; it mirrors their
// state here and calls the handlers below.
class Recorder
{
public:
    // Time of day stamped on a row.
    using Clock = std::function<QTime()>;

    Recorder(MeterModel model, ReadingTable &table, const CurrentReading &reading);

    // Default: the PC's local time of day.
    void setClock(Clock clock) { m_clock = std::move(clock); }
    // Separator written between hours, minutes and seconds (default: the system's).
    QChar timeSeparator() const { return m_timeSeparator; }
    void setTimeSeparator(QChar separator);
    // The time separator of a locale's time format; a colon when it shows none.
    static QChar timeSeparatorOf(const QLocale &locale);

    // The "Repeat" box (ticked at start): record a reading equal to the last one.
    bool RepeatSet() const { return m_repeatSet; }
    void setRepeatSet(bool on) { m_repeatSet = on; }
    // The "Sampling Interval" box (unticked at start).
    bool RecordSI() const { return m_recordSI; }
    void setRecordSI(bool on) { m_recordSI = on; }

    // Text of the interval field ("10" at start).
    const QString &RecordSITime() const { return m_recordSITime; }
    // The field's text changes: reloads the count-down by the interval rule.
    // A text the rule cannot take (see intervalFromText) is refused: the field
    // keeps its text, the count-down is unchanged, and false is returned.
    bool RecordSITimeChange(const QString &text);
    // The interval rule: "-", "+" and empty mean 0, otherwise an optionally
    // signed decimal number of seconds. nullopt for anything else, for a
    // negative number (the count-down would never run out) and for a number
    // beyond 32 bits.
    static std::optional<qint32> intervalFromText(QStringView text);
    // Keys the interval field lets through: "0" to "9" and Backspace.
    static bool RecordSITimeKeyPress(QChar key);

    // One tick of the one-second sampling timer.
    void SampInterTimeTimer();

    qint32 RecordLimit() const { return m_recordLimit; }
    void setRecordLimit(qint32 limit) { m_recordLimit = limit; }
    // Index in recordLimitChoices() of the menu item to check, -1 if none matches.
    int recordLimitChoice() const;
    // A "Record" menu command; false for an index outside the menu.
    bool setRecordLimitChoice(int index);

    qint32 RecordCounter() const { return m_recordCounter; }
    // The record limit stops recording: no reading is counted or written
    // until a larger limit is chosen or the table is cleared.
    bool limitReached() const { return m_recordLimit < m_recordCounter; }
    // What the window says about it (no box: readings keep arriving).
    static QString limitReachedText(qint32 limit);
    static QString recordingResumedText(qint32 nextNumber);
    qint32 SampleCountdown() const { return m_sampleCountdown; }
    const QString &LastRecordedValue() const { return m_lastRecordedValue; }

    // The recording test: would the current reading be counted and written
    // now? Changes nothing.
    bool RecordingTest() const;

    // Records the current reading if the policy lets it through (mode must be
    // 1). Returns whether a row was appended.
    bool INDataToTable(int mode);

    // After rows were put back into the table (a restored recording): numbering
    // goes on after the last row's No and the repeat rule compares with its
    // value, as if the recorder had written them.
    void continueAfterRows();

    // The table half of the clear command: empties the table if it holds rows
    // and restarts numbering at 1. Returns whether there were rows (the window
    // decides from it whether to clear the chart).
    bool ClearRClick();

private:
    bool counted() const;
    const QString &timeText();

    bool m_rowHasVoltageAndCurrent;
    ReadingTable &m_table;
    const CurrentReading &m_reading;
    Clock m_clock;
    QChar m_timeSeparator;

    bool m_repeatSet = true;
    bool m_recordSI = false;
    QString m_recordSITime = QStringLiteral("10");
    qint32 m_recordCounter = 1;
    qint32 m_recordLimit = 10000;
    qint32 m_sampleCountdown = 0;
    QString m_lastRecordedValue;

    // The time text of the last row and the second of the day it was made for.
    int m_lastSecond = -1;
    QString m_lastTimeText;
};
