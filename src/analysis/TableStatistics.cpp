// SPDX-License-Identifier: MIT
#include "analysis/TableStatistics.h"

#include "recording/ReadingTable.h"

TableStatistics::TableStatistics(
    const ReadingTable &table, QString decimalSeparator, QObject *parent)
    : QObject(parent)
    , m_table(&table)
    , m_statistics(std::move(decimalSeparator))
{
    m_statistics.rebuild(table);
    connect(&table, &QAbstractItemModel::rowsInserted, this,
        [this](const QModelIndex &, int first, int last) {
            m_statistics.addRows(*m_table, first, last);
            Q_EMIT changed();
        });
    // Rows leave the table only all at once (clear, open): read it again.
    const auto reread = [this] {
        m_statistics.rebuild(*m_table);
        Q_EMIT changed();
    };
    connect(&table, &QAbstractItemModel::modelReset, this, reread);
    connect(&table, &QAbstractItemModel::rowsRemoved, this, reread);
}
