// SPDX-License-Identifier: MIT
#pragma once

#include "reports/ReportLayout.h"

#include <QObject>

#include <memory>

class ReadingTable;

// The rows of a reading table as they were when the snapshot was taken, read
// from the live table without a copy. Rows appended later are not part of it.
// Should the table be emptied or replaced meanwhile, the snapshot first copies
// its rows (compactly, into a table of its own), so a report that is open keeps
// printing what it showed. If the table is destroyed without either, the
// snapshot's fields read empty from then on.
class TableSnapshot : public QObject, public ReportRows
{
    Q_OBJECT
public:
    explicit TableSnapshot(const ReadingTable &table, QObject *parent = nullptr);
    ~TableSnapshot() override;

    int rowCount() const override { return m_rows; }
    QString fieldText(int row, int column) const override;
    // The snapshot's rows copied into a table of their own.
    std::shared_ptr<const ReportRows> copyForJob() const override;

    // True once the rows have been copied away from the live table.
    bool isDetached() const { return m_own != nullptr; }

private:
    void detach();

    const ReadingTable *m_table;
    std::unique_ptr<ReadingTable> m_own;
    int m_rows;
};
