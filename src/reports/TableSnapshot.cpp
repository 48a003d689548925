// SPDX-License-Identifier: MIT
#include "reports/TableSnapshot.h"

#include "recording/ReadingTable.h"

#include <QList>

TableSnapshot::TableSnapshot(const ReadingTable &table, QObject *parent)
    : QObject(parent)
    , m_table(&table)
    , m_rows(table.rowCount())
{
    connect(&table, &QAbstractItemModel::modelAboutToBeReset, this, &TableSnapshot::detach);
    connect(&table, &QAbstractItemModel::rowsAboutToBeRemoved, this, &TableSnapshot::detach);
    connect(&table, &QObject::destroyed, this, [this] {
        if (!m_own)
            m_table = nullptr;
    });
}

TableSnapshot::~TableSnapshot() = default;

QString TableSnapshot::fieldText(int row, int column) const
{
    if (!m_table || row < 0 || row >= m_rows || column < 0 || column >= m_table->columnCount())
        return {};
    return m_table->fieldText(row, column);
}

void TableSnapshot::detach()
{
    if (m_own || !m_table)
        return;
    auto own = std::make_unique<ReadingTable>(m_table->meterModel());
    QList<QString> fields(m_table->columnCount());
    for (int r = 0; r < m_rows; ++r) {
        for (int c = 0; c < fields.size(); ++c)
            fields[c] = m_table->fieldText(r, c);
        own->appendFields(std::span<const QString>(fields.constData(), fields.size()));
    }
    disconnect(m_table, nullptr, this, nullptr);
    m_own = std::move(own);
    m_table = m_own.get();
}
