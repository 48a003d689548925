// SPDX-License-Identifier: MIT
#include "analysis/ReadingStatistics.h"

#include "core/ReadingText.h"
#include "recording/ReadingTable.h"

#include <algorithm>

bool StatisticsLine::isPower() const
{
    QStringView u(unit);
    if (u.size() > 1
        && (u.front() == QLatin1Char('k') || u.front() == QLatin1Char('K')
            || u.front() == QLatin1Char('M')))
        u = u.mid(1);
    return u.compare(QLatin1String("W"), Qt::CaseInsensitive) == 0
        || u.compare(QLatin1String("VA"), Qt::CaseInsensitive) == 0
        || u.compare(QLatin1String("VAr"), Qt::CaseInsensitive) == 0;
}

ReadingStatistics::ReadingStatistics(QString decimalSeparator)
    : m_separator(std::move(decimalSeparator))
{ }

void ReadingStatistics::clear()
{
    m_lines.clear();
    for (Quantity &q : m_quantities) {
        q.previousLine = -1;
        q.previousTime.reset();
    }
    m_rowsSeen = 0;
}

void ReadingStatistics::bindColumns(const ReadingTable &table)
{
    if (m_boundTable == &table)
        return;
    m_boundTable = &table;
    m_quantities.clear();
    m_timeColumn = table.columnIndex(u"Time");
    static const char *const pairs[][2] = {
        { "Value", "Unit" },
        { "V_Value", "V_Unit" },
        { "I_Value", "I_Unit" },
    };
    for (const auto &pair : pairs) {
        const int value = table.columnIndex(QString::fromLatin1(pair[0]));
        const int unit = table.columnIndex(QString::fromLatin1(pair[1]));
        if (value >= 0 && unit >= 0)
            m_quantities.push_back({ table.columnName(value), value, unit, -1, std::nullopt });
    }
}

int ReadingStatistics::lineFor(const Quantity &q, QStringView unit)
{
    // Few lines exist (a handful of units per quantity): a plain search.
    for (size_t i = 0; i < m_lines.size(); ++i)
        if (m_lines[i].quantity == q.name && m_lines[i].unit == unit)
            return int(i);
    StatisticsLine line;
    line.quantity = q.name;
    line.unit = unit.toString();
    m_lines.push_back(std::move(line));
    return int(m_lines.size() - 1);
}

void ReadingStatistics::addRows(const ReadingTable &table, int first, int last)
{
    bindColumns(table);
    first = std::max(first, 0);
    last = std::min(last, table.rowCount() - 1);
    for (int row = first; row <= last; ++row) {
        const std::optional<int> time
            = m_timeColumn >= 0 ? secondsOfDay(table.textView(row, m_timeColumn)) : std::nullopt;
        for (Quantity &q : m_quantities) {
            const QStringView value = table.textView(row, q.valueColumn);
            if (value.isEmpty()) {
                q.previousLine = -1;
                q.previousTime.reset();
                continue;
            }
            const int index = lineFor(q, table.textView(row, q.unitColumn));
            StatisticsLine &line = m_lines[size_t(index)];
            if (const std::optional<double> v = number(value, m_separator)) {
                if (line.count == 0) {
                    line.minimum = *v;
                    line.maximum = *v;
                } else {
                    line.minimum = std::min(line.minimum, *v);
                    line.maximum = std::max(line.maximum, *v);
                }
                ++line.count;
                line.sum += *v;
            } else {
                ++line.nonNumbers;
            }
            if (q.previousLine == index && q.previousTime && time) {
                int gap = *time - *q.previousTime;
                if (gap < 0)
                    gap += 24 * 3600;
                line.seconds += gap;
            }
            q.previousLine = index;
            q.previousTime = time;
        }
        ++m_rowsSeen;
    }
}

void ReadingStatistics::rebuild(const ReadingTable &table)
{
    m_boundTable = nullptr; // the columns may differ from the last table's
    clear();
    addRows(table, 0, table.rowCount() - 1);
}

std::optional<int> ReadingStatistics::secondsOfDay(QStringView text)
{
    int parts[3] = { 0, 0, 0 };
    int part = 0;
    int digits = 0;
    for (const QChar c : text) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            if (++digits > 2)
                return std::nullopt;
            parts[part] = parts[part] * 10 + (c.unicode() - '0');
        } else {
            if (digits == 0 || part == 2)
                return std::nullopt;
            ++part;
            digits = 0;
        }
    }
    if (part != 2 || digits == 0 || parts[0] > 23 || parts[1] > 59 || parts[2] > 59)
        return std::nullopt;
    return parts[0] * 3600 + parts[1] * 60 + parts[2];
}

std::optional<double> ReadingStatistics::number(QStringView text, QStringView separator)
{
    text = text.trimmed(); // a table file may pad its fields
    if (std::optional<double> v = ReadingText::parseValue(text, separator))
        return v;
    if (separator != QLatin1String("."))
        return ReadingText::parseValue(text, u".");
    return std::nullopt;
}
