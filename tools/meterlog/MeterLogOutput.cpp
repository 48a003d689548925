// SPDX-License-Identifier: MIT
#include "meterlog/MeterLogOutput.h"

#include "journal/JournalFile.h"
#include "models/ModelDescription.h"
#include "recording/ReadingTable.h"
#include "session/MeterSession.h"

#include <QDateTime>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <cmath>

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
    m_isoSecond = local.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    const int offset = local.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    m_offset = QStringLiteral("%1%2:%3")
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

QString WallClock::isoText(qint64 ms)
{
    enterSecond(ms);
    const int milli = int(ms - m_second * 1000);
    return m_isoSecond + u'.' + QString::number(milli).rightJustified(3, u'0') + m_offset;
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

QByteArray jsonRow(const ModelDescription &model, const ReadingTable &table, int row,
    const QString &recorded, const QString &decimal)
{
    QJsonObject object;
    QJsonObject numbers;
    object.insert(QStringLiteral("model"), model.name);
    object.insert(QStringLiteral("recorded"), recorded);
    for (int c = 0; c < table.columnCount(); ++c) {
        const QString name = table.columnName(c);
        if (c == ReadingTable::NoColumn) {
            const auto no = table.no(row);
            object.insert(name, no ? QJsonValue(*no) : QJsonValue(QJsonValue::Null));
            continue;
        }
        const QStringView text = TableFiles::trimmedField(table.textView(row, c));
        if (text.isEmpty()) {
            object.insert(name, QJsonValue(QJsonValue::Null));
            continue;
        }
        object.insert(name, text.toString());
        if (name.endsWith(u"Value", Qt::CaseInsensitive)) {
            QString number = text.toString();
            if (!decimal.isEmpty() && decimal != u".")
                number.replace(decimal, QStringLiteral("."));
            bool ok = false;
            const double value = number.toDouble(&ok);
            if (ok && std::isfinite(value))
                numbers.insert(name, value);
        }
    }
    object.insert(QStringLiteral("numbers"), numbers);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
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
