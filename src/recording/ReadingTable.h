// SPDX-License-Identifier: MIT
#pragma once

#include "core/MeterModel.h"
#include "recording/TextPool.h"

#include <QAbstractTableModel>
#include <QLatin1String>
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
// columns. The pool only grows until the table is cleared or replaced.
class ReadingTable : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int NoColumn = 0;
    static constexpr int MaxTextLength = 20;
    static constexpr int MaxColumns = 8;

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
    // order; missing texts are null. Refused (false, no row added) when there
    // are more texts than text columns.
    bool appendRow(std::optional<qint32> no, std::span<const QString> texts);
    // The same with the texts given by address, for callers that keep them
    // elsewhere (the recorder reads them from the current reading).
    bool appendRow(std::optional<qint32> no, std::span<const QString *const> texts);
    // The same with the texts as views into buffers of the caller: a text is
    // copied only when the table does not hold it yet.
    bool appendRow(std::optional<qint32> no, std::span<const QStringView> texts);
    // Appends one whole row from texts by column position, as a table file
    // holds them: fields[0] goes to No, read as a decimal integer (empty means
    // null), the others are stored as text ("NULL" stays the text "NULL").
    // Refused (false, no row added) when there are no fields, more fields than
    // columns, or a No that is not a 32-bit decimal integer.
    bool appendFields(std::span<const QString> fields);
    // The same with the fields as views into buffers of the caller (a file
    // reader): a text is copied only when the table does not hold it yet.
    bool appendFields(std::span<const QStringView> fields);
    // Announces the fields of a row that appendFields will get soon: the
    // look-ups of new texts wait for memory, and a reader that announces a
    // row while it appends the one before lets the two overlap. Changes
    // nothing.
    void prefetchFields(std::span<const QStringView> fields) const;

    // An optionally signed decimal integer that fits 32 bits, nothing else
    // (no blanks, no other characters); nullopt otherwise.
    static std::optional<qint32> parseNo(QStringView text);
    // The same for a No as Latin-1 bytes (a file reader's).
    static std::optional<qint32> parseNo(QLatin1String text);

    // Removes every row.
    void clear();
    // Replaces every row with the rows of other (same columns), which is left empty.
    // Returns false, changing nothing, when the columns differ.
    bool takeRowsFrom(ReadingTable &other);

    // A table of its own with the first count rows of this one (all rows for a
    // count beyond them), without a parent: what a job on another thread reads
    // while this table goes on taking rows. The rows are copied as stored, so
    // it costs about a memory copy of the table.
    std::unique_ptr<ReadingTable> copyRows(int count) const;

    // No of a row; nullopt when null.
    std::optional<qint32> no(int row) const;
    // A field as text: No in decimal, a text as stored, a null field empty.
    QString fieldText(int row, int column) const;
    // A text field (column other than No) as stored, without a copy; empty for a
    // null field. Valid until the table next changes.
    QStringView textView(int row, int column) const;
    bool isNull(int row, int column) const;

    // A text field as textView gives it, and whether it is all printable ASCII
    // (codes 33 to 126: no blank, no control character, nothing beyond ASCII),
    // which a writer can copy byte for byte with no trimming.
    struct StoredText
    {
        QStringView text;
        bool printableAscii = false;
    };
    // The text fields of a row, columns 1, 2, ... in order, into texts; fills
    // at most columnCount() - 1 of them. Faster than textView field by field
    // for a writer that goes through every row.
    void rowTexts(int row, std::span<StoredText> texts) const;
    // Number of distinct texts the table stores (each is kept once for all rows).
    qsizetype textCount() const { return m_pool.size(); }
    // The stored texts are numbered 1 to textCount() in the order they first
    // arrived; a row's text fields hold those numbers (0 for a null field).
    // The numbers stay until the table is cleared or its rows replaced. A
    // writer that keeps a dictionary of its own (the journal) writes each text
    // once and then the numbers.
    std::span<const quint32> textIds(int row) const
    {
        return std::span<const quint32>(record(row) + 1, size_t(m_columns - 1));
    }
    QStringView storedText(quint32 id) const { return m_pool.text(id); }
    // The number of text in the store, adding it when it is new (cut to
    // MaxTextLength like any field); 0 for an empty text, a null field.
    quint32 storeText(QStringView text);
    // Appends a row whose text fields are numbers storeText gave (0 for a
    // null field), columns 1, 2, ... in order; false, adding nothing, when
    // there are too many or a number is not one of the store's.
    bool appendRowOfIds(std::optional<qint32> no, std::span<const quint32> ids);
    // For a reader of files that are nearly all plain ASCII: the number of a
    // text given as bytes, each from 1 to 127, 1 to MaxTextLength of them, with
    // its hash from TextPool::hashOfAscii and its key (see
    // TextPool::internAscii); the text is added when it is new.
    quint32 storeAsciiText(const char *bytes, qsizetype size, quint32 hash, quint64 key)
    {
        Q_ASSERT(size > 0 && size <= MaxTextLength);
        if (key != 0) {
            if (const quint32 id = m_pool.findShort(hash, key))
                return id;
        }
        return m_pool.internAscii(bytes, quint32(size), hash, key);
    }
    // Asks for the memory where a text of this hash is looked up (see
    // TextPool::prefetch).
    void prefetchText(quint32 hash) const { m_pool.prefetch(hash); }
    // Changes whenever the text numbers start again (the table cleared or its
    // rows replaced): a reader that keeps numbers of texts between calls
    // forgets them when it changes.
    quint64 textNumbering() const { return m_numbering; }
    // Appends rows at once, as appendRowOfIds one by one but with one notice
    // of the insert: records holds columnCount() numbers a row (No, then the
    // text numbers), noIsNull one flag a row. False, adding nothing, when the
    // sizes disagree or a number is not one of the store's.
    bool appendRowsOfIds(std::span<const quint32> records, std::span<const bool> noIsNull);
    // Appends the rows of other (same columns), which is left empty; its texts
    // are stored here as they first come. False, changing nothing, when the
    // columns differ.
    bool appendRowsFrom(ReadingTable &other);
    // Bytes the rows and their texts hold on the heap (records, null bits,
    // the text pool), for memory figures.
    qint64 storageBytes() const;

private:
    static constexpr int BlockRows = 1 << 14;

    quint32 *record(int row) const;
    // Makes room for rows more rows, adding blocks; the rows are not counted yet.
    void reserveBlocks(int rows);
    // The part of a text the table stores: at most MaxTextLength characters.
    static QStringView storedPart(QStringView text);
    // The id of the column's last text when stored (the part kept of text, the
    // caller's string or null) is that text again; 0 otherwise.
    quint32 lastId(const QString *text, QStringView stored, int column) const;
    template<typename Field>
    bool appendFieldsOf(std::span<const Field> fields);
    template<typename Texts>
    bool appendRowOf(std::optional<qint32> no, const Texts &texts);

    MeterModel m_model;
    int m_columns;
    int m_rows = 0;
    std::vector<std::unique_ptr<quint32[]>> m_blocks; // BlockRows records each
    std::vector<bool> m_noNull; // one bit per row

    // The texts of all columns; id 0 in a record stands for null.
    TextPool m_pool;
    // Last text interned per column and its id: readings repeat units, time
    // stamps and often values.
    // The QString is the caller's own, kept to spot the same text coming again
    // without comparing characters; it is null when the text came as a view.
    struct LastText
    {
        QString text;
        quint32 id = 0;
    };
    std::vector<LastText> m_lastPerColumn;
    quint64 m_numbering = 0;
};
