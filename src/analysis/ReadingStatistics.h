// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

class ReadingTable;

// Statistics of one quantity (the main reading, or on KM90 the voltage or the
// current) in one unit over the rows of the reading table.
struct StatisticsLine
{
    QString quantity; // the value column's name: "Value", "V_Value", "I_Value"
    QString unit; // as recorded; a unit change starts a line of its own
    qint64 count = 0; // readings that are numbers
    qint64 nonNumbers = 0; // readings that are not ("OL", "----", ...)
    double minimum = 0; // of the numbers; meaningless while count is 0
    double maximum = 0;
    double sum = 0;
    // Time covered by this line: the sum of the gaps between consecutive rows
    // of the table that both carry this quantity in this unit, from their time
    // stamps (a gap over midnight counts forward).
    double seconds = 0;

    double mean() const { return count > 0 ? sum / double(count) : 0.0; }
    // A power unit (W, VA, VAr with an optional k or M): the line has an energy.
    bool isPower() const;
    // Mean power times the recorded time, in the unit's hours ("KW" -> "KWh").
    double energy() const { return mean() * seconds / 3600.0; }
    QString energyUnit() const { return unit + QLatin1Char('h'); }
};

// Count, minimum, maximum, mean (and energy of power readings) of the reading
// table's value columns, kept per quantity and unit. Rows are added one by one
// as they are recorded, so an update costs the new rows only; clear() starts
// again (after the table is cleared or replaced).
//
// A value is a number when ReadingText::parseValue reads it with the decimal
// separator given (or with a full stop, as files from another locale hold it).
// An empty value field is not counted at all.
class ReadingStatistics
{
public:
    explicit ReadingStatistics(QString decimalSeparator = QStringLiteral("."));

    void clear();
    // Adds rows [first, last] of the table; the table's columns are looked up
    // by name ("Value", "Unit", "V_Value", ... and "Time"), in any letter case.
    void addRows(const ReadingTable &table, int first, int last);
    // clear() and every row of the table.
    void rebuild(const ReadingTable &table);

    // The lines in the order their first reading arrived.
    const std::vector<StatisticsLine> &lines() const { return m_lines; }
    qint64 rowsSeen() const { return m_rowsSeen; }

    // Seconds since midnight of a time stamp "hh:mm:ss" (any non-digit
    // separator, one or two digits each); nullopt for anything else.
    static std::optional<int> secondsOfDay(QStringView text);
    // A value text as a number under the separator rule above.
    static std::optional<double> number(QStringView text, QStringView separator);

private:
    struct Quantity
    {
        QString name;
        int valueColumn = -1;
        int unitColumn = -1;
        // The line of the previous row of the table, -1 when that row did
        // not carry this quantity; its time stamp when it had one.
        int previousLine = -1;
        std::optional<int> previousTime;
    };
    void bindColumns(const ReadingTable &table);
    int lineFor(const Quantity &q, QStringView unit);

    QString m_separator;
    const ReadingTable *m_boundTable = nullptr;
    int m_timeColumn = -1;
    std::vector<Quantity> m_quantities;
    std::vector<StatisticsLine> m_lines;
    qint64 m_rowsSeen = 0;
};
