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

namespace {

// Rows copied out of a table for a job; fields beyond the copy read empty (a
// snapshot whose table was destroyed has no fields left to copy).
class CopiedRows : public ReportRows
{
public:
    CopiedRows(int rows, std::unique_ptr<ReadingTable> table)
        : m_rows(rows)
        , m_table(std::move(table))
    { }
    int rowCount() const override { return m_rows; }
    QString fieldText(int row, int column) const override
    {
        if (!m_table || row < 0 || row >= m_table->rowCount() || column < 0
            || column >= m_table->columnCount())
            return {};
        return m_table->fieldText(row, column);
    }

private:
    int m_rows;
    std::unique_ptr<ReadingTable> m_table;
};

} // namespace

std::shared_ptr<const ReportRows> TableSnapshot::copyForJob() const
{
    return std::make_shared<CopiedRows>(m_rows, m_table ? m_table->copyRows(m_rows) : nullptr);
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
