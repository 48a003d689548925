// SPDX-License-Identifier: MIT
#pragma once

#include "analysis/ReadingStatistics.h"

#include <QObject>
#include <QPointer>

class ReadingTable;

// ReadingStatistics that follows a reading table: each appended row is added
// as it arrives, and a table that is cleared or replaced (open) is read again
// from the start. changed() tells the one who shows them; it comes once per
// change of the table, so a display should coalesce it.
class TableStatistics : public QObject
{
    Q_OBJECT
public:
    TableStatistics(const ReadingTable &table, QString decimalSeparator, QObject *parent = nullptr);

    const ReadingStatistics &statistics() const { return m_statistics; }

Q_SIGNALS:
    void changed();

private:
    QPointer<const ReadingTable> m_table;
    ReadingStatistics m_statistics;
};
