// SPDX-License-Identifier: MIT
#include "meterlog/MeterLogOutput.h"

#include "journal/JournalFile.h"
#include "models/ModelDescription.h"
#include "recording/ReadingTable.h"
#include "session/MeterSession.h"

#include <QDateTime>
#include <QFileInfo>
#if defined(__SSE2__)
#define RAPIDJSON_SSE2 // strings are scanned 16 bytes at a time
#endif
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>
#include <vector>

// ---------------------------------------------------------------------------
// WallClock

WallClock::WallClock(std::function<qint64()> source)
    : m_source(std::move(source))
{ }

qint64 WallClock::now() const
{
    return m_source ? m_source() : QDateTime::currentMSecsSinceEpoch();
}

void WallClock::enterSecond(qint64 ms)
{
    const qint64 second = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
    if (second == m_second)
        return;
    m_second = second;
    const QDateTime local = QDateTime::fromSecsSinceEpoch(second);
    m_date = local.date();
    m_time = local.time();
    const int offset = local.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    const QString secondText = local.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    m_msAt = secondText.size() + 1;
    m_iso = secondText + QStringLiteral(".000")
        + QStringLiteral("%1%2:%3")
              .arg(QChar(offset < 0 ? u'-' : u'+'))
              .arg(minutes / 60, 2, 10, QLatin1Char('0'))
              .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QDate WallClock::date(qint64 ms)
{
    enterSecond(ms);
    return m_date;
}

QTime WallClock::timeOfDay(qint64 ms)
{
    enterSecond(ms);
    return m_time.addMSecs(int(ms - m_second * 1000));
}

QStringView WallClock::isoView(qint64 ms)
{
    enterSecond(ms);
    const int milli = int(ms - m_second * 1000);
    QChar *digits = m_iso.data() + m_msAt;
    digits[0] = QChar(u'0' + milli / 100);
    digits[1] = QChar(u'0' + milli / 10 % 10);
    digits[2] = QChar(u'0' + milli % 10);
    return m_iso;
}

// ---------------------------------------------------------------------------
// Formats

namespace MeterLogFormat {

QString csvLine(const QStringList &fields)
{
    QString line;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += u',';
        const QString &field = fields[i];
        if (field.contains(u',') || field.contains(u'"') || field.contains(u'\r')
            || field.contains(u'\n')) {
            line += u'"';
            line += QString(field).replace(u'"', QStringLiteral("\"\""));
            line += u'"';
        } else {
            line += field;
        }
    }
    line += QStringLiteral("\r\n");
    return line;
}

QString csvHeader(const ReadingTable &table)
{
    return csvLine(table.columnNames());
}

QString csvRow(const ReadingTable &table, int row)
{
    QStringList fields;
    fields.reserve(table.columnCount());
    for (int c = 0; c < table.columnCount(); ++c)
        fields << TableFiles::trimmedField(table.fieldText(row, c)).toString();
    return csvLine(fields);
}

namespace {

using JsonWriter = rapidjson::Writer<rapidjson::StringBuffer>;

// Hands a text to the writer as UTF-8. Texts of ASCII (all a meter sends) are
// narrowed as they are; others are encoded by Qt, a lone surrogate becoming
// U+FFFD first, so that the output stays valid UTF-8.
void writeText(JsonWriter &writer, QStringView text, QByteArray &scratch)
{
    char ascii[128];
    const qsizetype n = text.size();
    if (n <= qsizetype(sizeof ascii)) {
        const char16_t *units = text.utf16();
        char16_t any = 0;
        for (qsizetype i = 0; i < n; ++i) {
            any |= units[i];
            ascii[i] = char(units[i]);
        }
        if (any < 0x80) {
            writer.String(ascii, rapidjson::SizeType(n));
            return;
        }
    }
    QString checked = text.toString();
    for (qsizetype i = 0; i < checked.size(); ++i) {
        const QChar c = checked[i];
        if (c.isHighSurrogate() && i + 1 < checked.size() && checked[i + 1].isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            checked[i] = QChar::ReplacementCharacter;
    }
    scratch = checked.toUtf8();
    writer.String(scratch.constData(), rapidjson::SizeType(scratch.size()));
}

// A value field as a number: the same texts QString::toDouble reads (an
// optional sign, digits with one decimal point, an exponent), with decimal as
// the separator; nothing when it is not a finite number.
std::optional<double> numberOf(QStringView text, const QString &decimal)
{
    if (!decimal.isEmpty() && decimal != u".") {
        QString number = text.toString();
        number.replace(decimal, QStringLiteral("."));
        bool ok = false;
        const double value = number.toDouble(&ok);
        return ok && std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
    }
    char buffer[64];
    qsizetype n = text.size();
    if (n == 0 || n >= qsizetype(sizeof buffer))
        return std::nullopt;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = text[i].unicode();
        if (u >= 0x80)
            return std::nullopt;
        buffer[i] = char(u);
    }
    const char *begin = buffer;
    if (*begin == '+') {
        ++begin; // from_chars takes no plus sign
        if (begin == buffer + n || *begin == '+' || *begin == '-')
            return std::nullopt;
    }
    double value = 0;
    const auto [end, error] = std::from_chars(begin, buffer + n, value);
    if (error != std::errc() || end != buffer + n || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace

qsizetype plainDecimalJson(QStringView text, QChar separator, char (&out)[16])
{
    if (separator != u'.' && separator != u',')
        return 0;
    const char16_t *p = text.utf16();
    const char16_t *end = p + text.size();
    qsizetype n = 0;
    if (p != end && *p == u'-') {
        out[n++] = '-';
        ++p;
    }
    const auto isDigit = [](char16_t c) { return c >= u'0' && c <= u'9'; };
    // The whole part: its leading zeros go, one zero stays for nothing left.
    const char16_t *whole = p;
    while (p != end && isDigit(*p))
        ++p;
    const char16_t *wholeEnd = p;
    const char16_t *fraction = p;
    const char16_t *fractionEnd = p;
    if (p != end && *p == separator.unicode()) {
        fraction = ++p;
        while (p != end && isDigit(*p))
            ++p;
        fractionEnd = p;
        if (fraction == fractionEnd)
            return 0; // "12." is read by the writer's caller, not here
    }
    const qsizetype digits = (wholeEnd - whole) + (fractionEnd - fraction);
    if (p != end || whole == wholeEnd || digits > 4)
        return 0;
    while (whole + 1 < wholeEnd && *whole == u'0')
        ++whole;
    for (; whole != wholeEnd; ++whole)
        out[n++] = char(*whole);
    // The fraction without its trailing zeros; at least one digit.
    while (fractionEnd != fraction && fractionEnd[-1] == u'0')
        --fractionEnd;
    out[n++] = '.';
    if (fraction == fractionEnd)
        out[n++] = '0';
    for (; fraction != fractionEnd; ++fraction)
        out[n++] = char(*fraction);
    return n;
}

namespace {

// A key (or a text that never changes) as the writer writes a string: quoted
// and escaped, in UTF-8. Made once; each row then hands the writer these bytes
// as they are, instead of having it escape the same text again character by
// character.
QByteArray quotedKey(QStringView name)
{
    rapidjson::StringBuffer buffer;
    JsonWriter writer(buffer);
    QByteArray scratch;
    writeText(writer, name, scratch);
    return QByteArray(buffer.GetString(), qsizetype(buffer.GetSize()));
}

void writeKey(JsonWriter &writer, const QByteArray &quoted)
{
    writer.RawValue(quoted.constData(), size_t(quoted.size()), rapidjson::kStringType);
}

} // namespace

struct JsonRowWriter::State
{
    rapidjson::StringBuffer buffer;
    JsonWriter writer { buffer };
    QByteArray scratch;
    const QByteArray modelKey = quotedKey(u"model");
    const QByteArray recordedKey = quotedKey(u"recorded");
    const QByteArray numbersKey = quotedKey(u"numbers");
    // The model's name, quoted the same way.
    const ModelDescription *model = nullptr;
    QByteArray modelName;
    // The table whose columns are described below.
    const ReadingTable *table = nullptr;
    QStringList names;
    std::vector<QByteArray> keys; // the names as quotedKey writes them
    std::array<ReadingTable::StoredText, ReadingTable::MaxColumns> texts;
    std::vector<bool> isValue; // the column's name ends in "Value"
    // A value field's number: as JSON text made from its digits, or else as
    // the double the writer prints.
    struct Number
    {
        bool present = false;
        qsizetype rawSize = 0;
        char raw[16];
        double value = 0;
    };
    std::vector<Number> numbers;
};

JsonRowWriter::JsonRowWriter()
    : d(std::make_unique<State>())
{ }

JsonRowWriter::~JsonRowWriter() = default;

void JsonRowWriter::append(const ModelDescription &model, const ReadingTable &table, int row,
    QStringView recorded, const QString &decimal, QByteArray &out)
{
    if (d->table != &table || d->names.size() != table.columnCount()) {
        d->table = &table;
        d->names = table.columnNames();
        d->isValue.clear();
        d->keys.clear();
        for (const QString &name : std::as_const(d->names)) {
            d->isValue.push_back(name.endsWith(u"Value", Qt::CaseInsensitive));
            d->keys.push_back(quotedKey(name));
        }
    }
    JsonWriter &w = d->writer;
    d->buffer.Clear();
    w.Reset(d->buffer);
    d->numbers.assign(size_t(d->names.size()), State::Number {});
    // The separator the plain decimals are written with straight from their digits.
    const QChar separator = decimal.isEmpty() ? QChar(u'.')
        : decimal.size() == 1                 ? decimal.front()
                                              : QChar();

    w.StartObject();
    if (d->model != &model) {
        d->model = &model;
        d->modelName = quotedKey(model.name);
    }
    writeKey(w, d->modelKey);
    writeKey(w, d->modelName);
    writeKey(w, d->recordedKey);
    writeText(w, recorded, d->scratch);
    bool anyNumber = false;
    table.rowTexts(row, d->texts);
    for (int c = 0; c < int(d->names.size()); ++c) {
        writeKey(w, d->keys[size_t(c)]);
        if (c == ReadingTable::NoColumn) {
            if (const auto no = table.no(row))
                w.Int64(*no);
            else
                w.Null();
            continue;
        }
        const QStringView text = TableFiles::trimmedField(d->texts[size_t(c - 1)].text);
        if (text.isEmpty()) {
            w.Null();
            continue;
        }
        writeText(w, text, d->scratch);
        if (d->isValue[size_t(c)]) {
            State::Number &number = d->numbers[size_t(c)];
            number.rawSize = plainDecimalJson(text, separator, number.raw);
            if (number.rawSize > 0) {
                number.present = true;
            } else if (const auto value = numberOf(text, decimal)) {
                number.present = true;
                number.value = *value;
            }
            anyNumber = anyNumber || number.present;
        }
    }
    writeKey(w, d->numbersKey);
    w.StartObject();
    if (anyNumber) {
        for (int c = 0; c < int(d->names.size()); ++c) {
            const State::Number &number = d->numbers[size_t(c)];
            if (!number.present)
                continue;
            writeKey(w, d->keys[size_t(c)]);
            if (number.rawSize > 0)
                w.RawValue(number.raw, size_t(number.rawSize), rapidjson::kNumberType);
            else
                w.Double(number.value);
        }
    }
    w.EndObject();
    w.EndObject();
    // Grown and copied into directly: QByteArray::append costs several times
    // the copy for a line this short.
    const qsizetype size = qsizetype(d->buffer.GetSize());
    const qsizetype at = out.size();
    out.resize(at + size);
    std::memcpy(out.data() + at, d->buffer.GetString(), size_t(size));
}

QByteArray jsonRow(const ModelDescription &model, const ReadingTable &table, int row,
    const QString &recorded, const QString &decimal)
{
    JsonRowWriter writer;
    QByteArray out;
    writer.append(model, table, row, recorded, decimal, out);
    return out;
}

} // namespace MeterLogFormat

// ---------------------------------------------------------------------------
// TableFileOutput

namespace {

// Gathers the writes of about half a second into one flush to the disk.
constexpr auto SyncDelay = std::chrono::milliseconds(500);

bool hasDatePattern(const QString &pattern)
{
    return pattern.contains(u'%');
}

} // namespace

TableFileOutput::TableFileOutput(MeterSession &session, WallClock &clock)
    : m_session(session)
    , m_clock(clock)
    , m_encoder(session.cds1())
{
    m_flusher = std::thread([this] { flushLoop(); });
}

TableFileOutput::~TableFileOutput()
{
    QString ignored;
    endFrame(ignored);
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
    m_flusher.join();
    closeFile();
}

QString TableFileOutput::fileNameFor(const QString &pattern, QDate date)
{
    if (!hasDatePattern(pattern))
        return pattern;
    QString name;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c != u'%' || i + 1 == pattern.size()) {
            name += c;
            continue;
        }
        const QChar k = pattern[++i];
        if (k == u'Y')
            name += QString::number(date.year()).rightJustified(4, u'0');
        else if (k == u'm')
            name += QString::number(date.month()).rightJustified(2, u'0');
        else if (k == u'd')
            name += QString::number(date.day()).rightJustified(2, u'0');
        else if (k == u'%')
            name += u'%';
        else
            name += c, name += k;
    }
    return name;
}

bool TableFileOutput::open(const QString &pattern, bool append, qint64 ms, QString &error)
{
    m_pattern = pattern;
    m_append = append;
    m_day = m_clock.date(ms);
    if (!openFile(fileNameFor(pattern, m_day), append, error))
        return false;
    return true;
}

bool TableFileOutput::openFile(const QString &name, bool append, QString &error)
{
    closeFile();
    m_fileName = name;
    m_file.setFileName(name);
    const bool exists = QFileInfo::exists(name);
    if (exists && !append) {
        error = QStringLiteral("%1 exists (give --append to add rows to it)").arg(name);
        return false;
    }
    if (exists && !continueAfter(name, error))
        return false;
    // NewOnly: a file made by someone else between the check and here is not taken.
    const QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Append
        | QIODevice::Unbuffered | (exists ? QIODevice::OpenMode() : QIODevice::NewOnly);
    if (!m_file.open(mode)) {
        error = QStringLiteral("cannot open %1: %2").arg(name, m_file.errorString());
        return false;
    }
    if (!exists)
        m_encoder.appendHeader();
    if (std::exchange(m_needsLineEnd, false) && m_file.write("\r\n", 2) != 2) {
        error = QStringLiteral("cannot write %1: %2").arg(name, m_file.errorString());
        return false;
    }
    // The flush thread gets a handle of its own: closing the file never pulls
    // the descriptor from under a flush that is under way.
    const int fd = JournalFile::duplicate(m_file.handle());
    {
        std::lock_guard lock(m_mutex);
        if (fd >= 0)
            m_syncFd = std::shared_ptr<int>(new int(fd), [](int *p) {
                JournalFile::closeHandle(*p);
                delete p;
            });
    }
    return endFrame(error);
}

bool TableFileOutput::continueAfter(const QString &name, QString &error)
{
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read %1: %2").arg(name, file.errorString());
        return false;
    }
    ReadingTable &table = m_session.cds1();
    m_encoder.clear();
    m_encoder.appendHeader();
    const QByteArray header = m_encoder.bytes().toByteArray();
    m_encoder.clear();
    if (file.read(header.size()) != header) {
        error = QStringLiteral("%1 is not a %2 table file: its first line is not \"%3\"")
                    .arg(name, m_session.model().programName,
                        TableFiles::tableHeaderLine(table).replace(u'\t', QStringLiteral("\\t")));
        return false;
    }

    // The file's rows go through the table file reader a piece at a time; only
    // the last row is kept, for the numbering and the repeat rule.
    ReadingTable rows(table.meterModel());
    TableFiles::TextTableReader reader(rows);
    reader.feed(header);
    constexpr qint64 Piece = qint64(1) << 20;
    QByteArray buffer(Piece, Qt::Uninitialized);
    char last = '\n';
    QStringList lastRow;
    const auto keepLastRow = [&] {
        if (rows.rowCount() == 0)
            return;
        lastRow.clear();
        for (int c = 0; c < rows.columnCount(); ++c)
            lastRow << rows.fieldText(rows.rowCount() - 1, c);
        rows.clear();
    };
    for (;;) {
        const qint64 n = file.read(buffer.data(), Piece);
        if (n < 0) {
            error = QStringLiteral("cannot read %1: %2").arg(name, file.errorString());
            return false;
        }
        if (n == 0)
            break;
        last = buffer[n - 1];
        if (!reader.feed(QByteArrayView(buffer.constData(), n)))
            break;
        keepLastRow();
    }
    const TableFiles::Result result = reader.finish();
    if (!result.ok) {
        error = QStringLiteral("%1: %2").arg(name, result.error);
        return false;
    }
    keepLastRow();
    if (!lastRow.isEmpty()) {
        ReadingTable kept(table.meterModel());
        kept.appendFields(std::span<const QString>(lastRow.constData(), size_t(lastRow.size())));
        table.takeRowsFrom(kept);
        m_session.recorder().continueAfterRows();
        table.clear();
    }
    // A last line without its end gets one, so the next row starts a line.
    m_needsLineEnd = last != '\n' && last != '\r';
    return true;
}

void TableFileOutput::closeFile()
{
    if (!m_file.isOpen())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_syncFd.reset();
    }
    JournalFile::syncToDisk(m_file.handle());
    m_file.close();
}

bool TableFileOutput::addRow(int row, qint64 ms, QString &error)
{
    if (hasDatePattern(m_pattern)) {
        const QDate day = m_clock.date(ms);
        if (day != m_day) {
            // The rows of the day before go to their file first.
            if (!endFrame(error))
                return false;
            m_day = day;
            if (!openFile(fileNameFor(m_pattern, day), m_append, error))
                return false;
        }
    }
    m_encoder.appendRow(row);
    return true;
}

bool TableFileOutput::endFrame(QString &error)
{
    const QByteArrayView bytes = m_encoder.bytes();
    if (bytes.isEmpty() || !m_file.isOpen())
        return true;
    const qint64 written = m_file.write(bytes.data(), bytes.size());
    m_encoder.clear();
    if (written != bytes.size()) {
        error = QStringLiteral("cannot write %1: %2").arg(m_fileName, m_file.errorString());
        return false;
    }
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        wake = !m_dirty;
        m_dirty = true;
    }
    if (wake)
        m_wake.notify_one();
    return true;
}

void TableFileOutput::flushLoop()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_dirty || m_quit; });
        if (m_quit)
            return; // closing the file flushes it to the disk
        m_wake.wait_for(lock, SyncDelay, [this] { return m_quit; });
        m_dirty = false;
        const std::shared_ptr<int> fd = m_syncFd;
        if (!fd)
            continue;
        // The reading loop may write on while the disk is busy.
        lock.unlock();
        JournalFile::syncToDisk(*fd);
        lock.lock();
    }
}
