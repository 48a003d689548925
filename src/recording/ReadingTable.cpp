// SPDX-License-Identifier: MIT
#include "recording/ReadingTable.h"

#include "models/ModelDescription.h"
#include "recording/PagePrefault.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <type_traits>

namespace {

const QStringList &columnsOf(MeterModel model)
{
    return modelDescription(model).columns;
}

} // namespace

ReadingTable::ReadingTable(MeterModel model, QObject *parent)
    : QAbstractTableModel(parent)
    , m_model(model)
    , m_columns(int(columnsOf(model).size()))
    , m_lastPerColumn(size_t(m_columns))
{
    Q_ASSERT(m_columns <= MaxColumns);
}

ReadingTable::~ReadingTable() = default;

int ReadingTable::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int ReadingTable::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_columns;
}

QVariant ReadingTable::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows || index.column() >= m_columns
        || role != Qt::DisplayRole)
        return {};
    if (index.column() == NoColumn) {
        const auto n = no(index.row());
        return n ? QVariant(*n) : QVariant();
    }
    if (isNull(index.row(), index.column()))
        return {};
    return fieldText(index.row(), index.column());
}

QVariant ReadingTable::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0
        && section < m_columns)
        return columnName(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

QString ReadingTable::columnName(int column) const
{
    return columnsOf(m_model).at(column);
}

QStringList ReadingTable::columnNames() const
{
    return columnsOf(m_model);
}

int ReadingTable::columnIndex(QStringView name) const
{
    const QStringList &columns = columnsOf(m_model);
    for (qsizetype c = 0; c < columns.size(); ++c) {
        if (columns.at(c).compare(name, Qt::CaseInsensitive) == 0)
            return int(c);
    }
    return -1;
}

quint32 *ReadingTable::record(int row) const
{
    return m_blocks[size_t(row / BlockRows)].get() + size_t(row % BlockRows) * size_t(m_columns);
}

QStringView ReadingTable::storedPart(QStringView text)
{
    // Cut without splitting a surrogate pair, which would leave half a character.
    if (text.size() > MaxTextLength)
        return text.first(
            text[MaxTextLength - 1].isHighSurrogate() ? MaxTextLength - 1 : MaxTextLength);
    return text;
}

quint32 ReadingTable::lastId(const QString *text, QStringView stored, int column) const
{
    const LastText &last = m_lastPerColumn[size_t(column)];
    if (last.id == 0)
        return 0;
    if (text && last.text.constData() == text->constData() && last.text.size() == text->size())
        return last.id;
    return m_pool.holds(last.id, stored) ? last.id : 0;
}

namespace {

// The highest text number of rows records of width words each (No first).
// The width fixed where it is known, so that the loop over a row unrolls.
template<size_t Width>
quint32 highestTextId(const quint32 *records, size_t rows)
{
    quint32 highest = 0;
    for (size_t r = 0; r < rows; ++r, records += Width) {
        for (size_t c = 1; c < Width; ++c)
            highest = std::max(highest, records[c]);
    }
    return highest;
}

quint32 highestTextId(const quint32 *records, size_t rows, size_t width)
{
    quint32 highest = 0;
    for (size_t r = 0; r < rows; ++r, records += width) {
        for (size_t c = 1; c < width; ++c)
            highest = std::max(highest, records[c]);
    }
    return highest;
}

template<typename Char>
std::optional<qint32> parseDecimalNo(const Char *p, const Char *end)
{
    bool negative = false;
    if (p < end && (*p == Char('-') || *p == Char('+'))) {
        negative = *p == Char('-');
        ++p;
    }
    if (p == end)
        return std::nullopt;
    // Nine digits or fewer always fit: such a number (every No a table holds
    // below a thousand million) goes without the check per digit.
    if (end - p <= 9) {
        qint32 value = 0;
        for (; p < end; ++p) {
            const quint32 digit = quint32(*p) - quint32('0');
            if (digit > 9)
                return std::nullopt;
            value = value * 10 + qint32(digit);
        }
        return negative ? -value : value;
    }
    // Accumulate as a negative number so that the smallest 32-bit value fits.
    qint64 value = 0;
    for (; p < end; ++p) {
        if (*p < Char('0') || *p > Char('9'))
            return std::nullopt;
        value = value * 10 - (*p - Char('0'));
        if (value < qint64(std::numeric_limits<qint32>::min()))
            return std::nullopt;
    }
    if (!negative) {
        value = -value;
        if (value > std::numeric_limits<qint32>::max())
            return std::nullopt;
    }
    return qint32(value);
}

} // namespace

std::optional<qint32> ReadingTable::parseNo(QStringView text)
{
    return parseDecimalNo(text.utf16(), text.utf16() + text.size());
}

std::optional<qint32> ReadingTable::parseNo(QLatin1String text)
{
    return parseDecimalNo(text.data(), text.data() + text.size());
}

template<typename Field>
bool ReadingTable::appendFieldsOf(std::span<const Field> fields)
{
    if (fields.empty() || fields.size() > size_t(m_columns))
        return false;
    std::optional<qint32> n;
    if (!fields.front().isEmpty()) {
        n = parseNo(fields.front());
        if (!n)
            return false;
    }
    return appendRowOf(n, fields.subspan(1));
}

bool ReadingTable::appendFields(std::span<const QString> fields)
{
    return appendFieldsOf(fields);
}

bool ReadingTable::appendFields(std::span<const QStringView> fields)
{
    return appendFieldsOf(fields);
}

void ReadingTable::prefetchFields(std::span<const QStringView> fields) const
{
    const size_t n = qMin(fields.size(), size_t(m_columns));
    for (size_t c = 1; c < n; ++c) {
        const QStringView stored = storedPart(fields[c]);
        if (!stored.isEmpty())
            m_pool.prefetch(TextPool::hashOf(stored));
    }
}

bool ReadingTable::appendRow(std::optional<qint32> no, std::span<const QString> texts)
{
    return appendRowOf(no, texts);
}

bool ReadingTable::appendRow(std::optional<qint32> no, std::span<const QString *const> texts)
{
    return appendRowOf(no, texts);
}

bool ReadingTable::appendRow(std::optional<qint32> no, std::span<const QStringView> texts)
{
    return appendRowOf(no, texts);
}

quint32 ReadingTable::storeText(QStringView text)
{
    if (text.isEmpty())
        return 0;
    if (text.size() > MaxTextLength)
        text = text.first(
            text[MaxTextLength - 1].isHighSurrogate() ? MaxTextLength - 1 : MaxTextLength);
    return m_pool.intern(text);
}

bool ReadingTable::appendRowOfIds(std::optional<qint32> no, std::span<const quint32> ids)
{
    if (ids.size() > size_t(m_columns - 1))
        return false;
    const quint32 known = quint32(m_pool.size());
    for (const quint32 id : ids) {
        if (id > known)
            return false;
    }
    if (m_rows % BlockRows == 0 && size_t(m_rows / BlockRows) == m_blocks.size())
        m_blocks.push_back(
            std::make_unique_for_overwrite<quint32[]>(size_t(BlockRows) * size_t(m_columns)));
    m_noNull.push_back(!no.has_value());
    beginInsertRows(QModelIndex(), m_rows, m_rows);
    quint32 *r = record(m_rows);
    r[0] = quint32(no.value_or(0));
    for (size_t c = 1; c < size_t(m_columns); ++c)
        r[c] = c - 1 < ids.size() ? ids[c - 1] : 0;
    ++m_rows;
    endInsertRows();
    return true;
}

void ReadingTable::reserveBlocks(int rows)
{
    const size_t needed = (size_t(m_rows) + size_t(rows) + BlockRows - 1) / BlockRows;
    const size_t words = size_t(BlockRows) * size_t(m_columns);
    while (m_blocks.size() < needed) {
        m_blocks.push_back(std::make_unique_for_overwrite<quint32[]>(words));
        // The batch's rows fill the block: its pages are mapped at once.
        prefaultPages(m_blocks.back().get(), words * sizeof(quint32));
    }
}

bool ReadingTable::appendRowsOfIds(std::span<const quint32> records, std::span<const bool> noIsNull)
{
    const size_t width = size_t(m_columns);
    if (records.size() != noIsNull.size() * width
        || noIsNull.size() > size_t(std::numeric_limits<int>::max() - m_rows))
        return false;
    if (noIsNull.empty())
        return true;
    // Every text number at once: the highest must be one of the store's.
    const quint32 *const first = records.data();
    const size_t count = noIsNull.size();
    quint32 highest = 0;
    switch (width) {
    case 8: // KM90
        highest = highestTextId<8>(first, count);
        break;
    case 4: // KM50_60
        highest = highestTextId<4>(first, count);
        break;
    default:
        highest = highestTextId(first, count, width);
        break;
    }
    if (highest > quint32(m_pool.size()))
        return false;
    const int rows = int(count);
    reserveBlocks(rows);
    // A file's rows nearly always have a No: then the flags are set a word at
    // a time rather than one by one.
    if (std::find(noIsNull.begin(), noIsNull.end(), true) == noIsNull.end())
        m_noNull.resize(m_noNull.size() + count, false);
    else
        m_noNull.insert(m_noNull.end(), noIsNull.begin(), noIsNull.end());
    beginInsertRows(QModelIndex(), m_rows, m_rows + rows - 1);
    const quint32 *from = records.data();
    int row = m_rows;
    for (int left = rows; left > 0;) {
        const int inBlock = std::min(left, BlockRows - row % BlockRows);
        std::memcpy(record(row), from, size_t(inBlock) * width * sizeof(quint32));
        from += size_t(inBlock) * width;
        row += inBlock;
        left -= inBlock;
    }
    m_rows = row;
    endInsertRows();
    return true;
}

bool ReadingTable::appendRowsFrom(ReadingTable &other)
{
    if (&other == this || other.m_model != m_model)
        return false;
    if (other.m_rows == 0)
        return true;
    if (m_rows == 0 && m_pool.size() == 0)
        return takeRowsFrom(other);
    if (other.m_rows > std::numeric_limits<int>::max() - m_rows)
        return false;
    // Each of other's texts gets its number here, in the order they came.
    // Their look-ups wait for memory: each text's slot is asked for a few
    // texts ahead, so that the waits overlap.
    const auto texts = size_t(other.m_pool.size());
    std::vector<quint32> ids(texts + 1, 0);
    std::vector<quint32> hashes(texts + 1, 0);
    for (size_t id = 1; id <= texts; ++id)
        hashes[id] = TextPool::hashOf(other.m_pool.text(quint32(id)));
    constexpr size_t Ahead = 16;
    for (size_t id = 1; id <= std::min(Ahead, texts); ++id)
        m_pool.prefetch(hashes[id]);
    for (size_t id = 1; id <= texts; ++id) {
        if (id + Ahead <= texts)
            m_pool.prefetch(hashes[id + Ahead]);
        ids[id] = m_pool.intern(other.m_pool.text(quint32(id)), hashes[id]);
    }
    const int rows = other.m_rows;
    m_noNull.insert(m_noNull.end(), other.m_noNull.begin(), other.m_noNull.end());
    beginInsertRows(QModelIndex(), m_rows, m_rows + rows - 1);
    // Other's rows are copied block by block, and each of its blocks, once
    // copied, becomes the room for the rows that follow: the copy touches no
    // memory the rows did not hold already.
    const size_t width = size_t(m_columns);
    std::vector<std::unique_ptr<quint32[]>> from = std::move(other.m_blocks);
    std::vector<std::unique_ptr<quint32[]>> spare;
    size_t consumed = 0; // other's blocks copied whole
    int r = 0; // other's next row
    while (r < rows) {
        const int to = m_rows + r;
        if (size_t(to / BlockRows) == m_blocks.size()) {
            if (!spare.empty()) {
                m_blocks.push_back(std::move(spare.back()));
                spare.pop_back();
            } else {
                m_blocks.push_back(
                    std::make_unique_for_overwrite<quint32[]>(size_t(BlockRows) * width));
            }
        }
        // The rows that fit both this block of ours and the block of other's they come from.
        const int n = std::min({ BlockRows - to % BlockRows, BlockRows - r % BlockRows, rows - r });
        const quint32 *source = from[size_t(r / BlockRows)].get() + size_t(r % BlockRows) * width;
        quint32 *target = record(to);
        for (const quint32 *end = source + size_t(n) * width; source < end;
             source += width, target += width) {
            target[0] = source[0];
            for (size_t c = 1; c < width; ++c)
                target[c] = ids[source[c]];
        }
        r += n;
        for (; consumed < size_t(r / BlockRows); ++consumed)
            spare.push_back(std::move(from[consumed]));
    }
    m_rows += rows;
    endInsertRows();
    other.clear();
    return true;
}

template<typename Texts>
bool ReadingTable::appendRowOf(std::optional<qint32> no, const Texts &texts)
{
    if (texts.size() > size_t(m_columns - 1))
        return false;
    const auto textAt = [&texts](size_t i) -> decltype(auto) {
        if constexpr (std::is_pointer_v<typename Texts::value_type>)
            return *texts[i];
        else
            return texts[i];
    };

    // Everything that can fail (allocation) happens before the row is counted,
    // so a row is either complete or absent.
    if (m_rows % BlockRows == 0 && size_t(m_rows / BlockRows) == m_blocks.size())
        m_blocks.push_back(
            std::make_unique_for_overwrite<quint32[]>(size_t(BlockRows) * size_t(m_columns)));
    // A text that is not its column's last one is looked up in the pool. The
    // look-ups of a row are announced together first: each waits for memory,
    // and announced together the waits overlap.
    std::array<quint32, MaxColumns> ids {};
    std::array<quint32, MaxColumns> hashes {};
    std::array<QStringView, MaxColumns> lookUp {};
    std::array<const QString *, MaxColumns> strings {};
    for (size_t c = 1; c < size_t(m_columns) && c - 1 < texts.size(); ++c) {
        const auto &text = textAt(c - 1);
        const QStringView stored = storedPart(text);
        if (stored.isEmpty())
            continue;
        if constexpr (std::is_same_v<std::decay_t<decltype(text)>, QString>) {
            if (stored.size() == text.size())
                strings[c] = &text;
        }
        ids[c] = lastId(strings[c], stored, int(c));
        if (ids[c] == 0) {
            lookUp[c] = stored;
            hashes[c] = TextPool::hashOf(stored);
            m_pool.prefetch(hashes[c]);
        }
    }
    for (size_t c = 1; c < size_t(m_columns); ++c) {
        if (lookUp[c].isEmpty())
            continue;
        ids[c] = m_pool.intern(lookUp[c], hashes[c]);
        // The caller's own string is kept to spot it coming again.
        m_lastPerColumn[c] = { strings[c] ? *strings[c] : QString(), ids[c] };
    }
    m_noNull.push_back(!no.has_value());

    beginInsertRows(QModelIndex(), m_rows, m_rows);
    quint32 *r = record(m_rows);
    r[0] = quint32(no.value_or(0));
    for (int c = 1; c < m_columns; ++c)
        r[c] = ids[size_t(c)];
    ++m_rows;
    endInsertRows();
    return true;
}

std::unique_ptr<ReadingTable> ReadingTable::copyRows(int count) const
{
    count = std::clamp(count, 0, m_rows);
    auto copy = std::make_unique<ReadingTable>(m_model);
    // Interning every text in id order gives each the same id in the copy: the
    // texts of a pool are distinct, and ids are handed out in arrival order.
    for (qsizetype id = 1; id <= m_pool.size(); ++id)
        copy->m_pool.intern(m_pool.text(quint32(id)));
    const size_t width = size_t(m_columns);
    for (int first = 0; first < count; first += BlockRows) {
        const int rows = std::min(BlockRows, count - first);
        copy->m_blocks.push_back(
            std::make_unique_for_overwrite<quint32[]>(size_t(BlockRows) * width));
        std::memcpy(
            copy->m_blocks.back().get(), record(first), size_t(rows) * width * sizeof(quint32));
    }
    copy->m_noNull.assign(m_noNull.begin(), m_noNull.begin() + count);
    copy->m_rows = count;
    return copy;
}

void ReadingTable::clear()
{
    beginResetModel();
    m_rows = 0;
    // The first block of rows stays for the next rows (see TextPool::clear).
    if (m_blocks.size() > 1)
        m_blocks.resize(1);
    m_noNull.clear();
    m_pool.clear();
    ++m_numbering;
    for (auto &last : m_lastPerColumn)
        last = {};
    endResetModel();
}

qint64 ReadingTable::storageBytes() const
{
    const qint64 recordBytes = qint64(BlockRows) * m_columns * qint64(sizeof(quint32));
    qint64 lastTexts = 0;
    for (const LastText &last : m_lastPerColumn)
        lastTexts += last.text.capacity() * qint64(sizeof(QChar));
    return qint64(m_blocks.size()) * recordBytes + qint64(m_blocks.capacity() * sizeof(m_blocks[0]))
        + qint64(m_noNull.capacity() / 8) + m_pool.storageBytes()
        + qint64(m_lastPerColumn.capacity() * sizeof(LastText)) + lastTexts;
}

bool ReadingTable::takeRowsFrom(ReadingTable &other)
{
    if (&other == this || other.m_model != m_model)
        return false;
    beginResetModel();
    other.beginResetModel();
    std::swap(m_rows, other.m_rows);
    std::swap(m_blocks, other.m_blocks);
    std::swap(m_noNull, other.m_noNull);
    m_pool.swap(other.m_pool);
    ++m_numbering;
    std::swap(m_lastPerColumn, other.m_lastPerColumn);
    other.endResetModel();
    other.clear();
    endResetModel();
    return true;
}

std::optional<qint32> ReadingTable::no(int row) const
{
    if (m_noNull[size_t(row)])
        return std::nullopt;
    return qint32(record(row)[0]);
}

QString ReadingTable::fieldText(int row, int column) const
{
    if (column == NoColumn) {
        const auto n = no(row);
        return n ? QString::number(*n) : QString();
    }
    const quint32 id = record(row)[column];
    return id == 0 ? QString() : m_pool.string(id);
}

QStringView ReadingTable::textView(int row, int column) const
{
    const quint32 id = record(row)[column];
    return id == 0 ? QStringView() : m_pool.text(id);
}

void ReadingTable::rowTexts(int row, std::span<StoredText> texts) const
{
    const quint32 *r = record(row);
    const size_t n = qMin(texts.size(), size_t(m_columns - 1));
    for (size_t i = 0; i < n; ++i) {
        const quint32 id = r[i + 1];
        texts[i]
            = id == 0 ? StoredText {} : StoredText { m_pool.text(id), m_pool.isPrintableAscii(id) };
    }
}

bool ReadingTable::isNull(int row, int column) const
{
    if (column == NoColumn)
        return m_noNull[size_t(row)];
    return record(row)[column] == 0;
}
