// SPDX-License-Identifier: MIT
#pragma once

#include "MeterModel.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringView>

#include <memory>
#include <optional>
#include <span>
#include <vector>

// The reading table (the programs' cds1): one row per recorded reading.
//
// KM90 columns:    No, Time, Value, Unit, V_Value, V_Unit, I_Value, I_Unit
// KM50_60 columns: No, time, Value, Unit
//
// No is a 32-bit integer; every other column is text of at most 20 characters
// (longer text is cut when stored). A field can be null (absent); an empty text
// is stored as null.
//
// Rows are stored compactly so that ten million rows fit in memory: each row is
// a fixed-size record of 32-bit words (No, then one string id per text column),
// kept in blocks, and every distinct text is stored once in a pool shared by all
// columns.
class ReadingTable : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int NoColumn = 0;
    static constexpr int MaxTextLength = 20;

    explicit ReadingTable(MeterModel model, QObject *parent = nullptr);
    ~ReadingTable() override;

    MeterModel meterModel() const { return m_model; }

    // QAbstractTableModel: read-only, DisplayRole gives No as a number and texts as text.
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(
        int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    QString columnName(int column) const;
    QStringList columnNames() const;
    // Index of the column with this name regardless of letter case, or -1.
    int columnIndex(QStringView name) const;

    // Appends one whole row: No (or null) and the texts of columns 1, 2, ... in
    // order. Missing texts are null; texts beyond the last column are ignored.
    void appendRow(std::optional<qint32> no, std::span<const QString> texts);

    // Removes every row.
    void clear();
    // Replaces every row with the rows of other (same columns), which is left empty.
    // Returns false, changing nothing, when the columns differ.
    bool takeRowsFrom(ReadingTable &other);

    // No of a row; nullopt when null.
    std::optional<qint32> no(int row) const;
    // A field as text: No in decimal, a text as stored, a null field empty.
    QString fieldText(int row, int column) const;
    bool isNull(int row, int column) const;

private:
    static constexpr int BlockRows = 1 << 14;

    quint32 *record(int row) const;
    quint32 intern(const QString &text, int column);

    MeterModel m_model;
    int m_columns;
    int m_rows = 0;
    std::vector<std::unique_ptr<quint32[]>> m_blocks; // BlockRows records each
    std::vector<bool> m_noNull; // one bit per row

    // The string pool: id 0 is null, id n is m_strings[n - 1].
    QList<QString> m_strings;
    QHash<QString, quint32> m_ids;
    // Last text interned per column and its id: readings repeat units and often values.
    std::vector<std::pair<QString, quint32>> m_lastPerColumn;
};
