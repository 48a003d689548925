// SPDX-License-Identifier: MIT
#include "journal/RecordingJournal.h"

#include "journal/JournalFile.h"
#include "journal/JournalFormat.h"
#include "recording/ReadingTable.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <array>
#include <cstring>
#include <span>

using namespace JournalFormat;
using namespace JournalFile;

namespace {

// Encoded rows are handed over at the latest when this much waits, so a long
// run of rows without a frame between them (a benchmark) stays bounded.
constexpr qsizetype HandOverBytes = 256 * 1024;

} // namespace

RecordingJournal::RecordingJournal(ReadingTable &table, const QString &path, Options options)
    : m_table(table)
    , m_path(path)
    , m_options(std::move(options))
{
    if (!m_options.sync)
        m_options.sync = &syncToDisk;
    m_retry.setInterval(m_options.retryMs);
    connect(&m_retry, &QTimer::timeout, this, &RecordingJournal::retry);
    // Appended rows are not followed through the model's signal (a slot call
    // for every row costs as much as encoding it): handOver() encodes the rows
    // beyond those already journaled. The table only ever appends, clears and
    // replaces, and the last two reset the model.
    connect(&m_table, &QAbstractItemModel::modelReset, this, &RecordingJournal::tableReset);
    m_flusher = std::thread([this] { flushLoop(); });
}

RecordingJournal::~RecordingJournal()
{
    handOver();
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
    m_flusher.join();
    closeFile();
}

qint64 RecordingJournal::now() const
{
    return m_options.clock ? m_options.clock() : QDateTime::currentMSecsSinceEpoch();
}

qint16 RecordingJournal::utcOffsetMinutes(qint64 ms)
{
    // The time zone is asked at most once a second: it is slow, and an offset
    // changes only at a zone's transitions.
    if (ms >= m_offsetUntilMs || ms < m_offsetUntilMs - 1000) {
        m_offset = qint16(QDateTime::fromMSecsSinceEpoch(ms).offsetFromUtc() / 60);
        m_offsetUntilMs = ms - ms % 1000 + 1000;
    }
    return m_offset;
}

bool RecordingJournal::start()
{
    m_stopped = false;
    if (!openFile(true, 0)) {
        fail(m_error);
        return false;
    }
    m_pending.resize(0);
    encodeStart();
    setSaved(m_table.rowCount() == 0);
    handOver();
    return isWriting();
}

void RecordingJournal::encodeStart()
{
    m_pending.append(Magic, MagicSize);
    Header header;
    header.program = m_options.program;
    header.startMs = now();
    header.utcOffsetMinutes = utcOffsetMinutes(header.startMs);
    header.columns = m_table.columnNames();
    appendRecord(m_pending, Type::Header, headerPayload(header));
    m_textsWritten = 0;
    m_rowsJournaled = 0;
    if (m_table.rowCount() > 0)
        encodeWholeTable(header.startMs, header.utcOffsetMinutes);
}

bool RecordingJournal::adopt(
    const QString &path, qint64 validBytes, std::unique_ptr<QLockFile> lock)
{
    closeFile();
    m_lock = std::move(lock);
    m_path = path;
    m_stopped = false;
    if (!openFile(false, validBytes)) {
        fail(m_error);
        return false;
    }
    m_pending.clear();
    setSaved(m_table.rowCount() == 0);
    m_rowsJournaled = m_table.rowCount();
    // The table's texts are numbered as this program stored them, not as the
    // left journal did: the dictionary starts again with all of them.
    m_textsWritten = 0;
    encodeTexts(quint32(m_table.textCount()));
    handOver();
    return isWriting();
}

bool RecordingJournal::openFile(bool truncate, qint64 keepBytes)
{
    closeFile();
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    // A lock file that went with its folder is taken again, so that no other
    // instance takes this journal for a left one.
    if (m_lock && !QFileInfo::exists(m_lock->fileName()))
        m_lock.reset();
    if (!m_lock) {
        m_lock = std::make_unique<QLockFile>(m_path + QStringLiteral(".lock"));
        // A running instance holds its lock for days: never take it by age.
        m_lock->setStaleLockTime(0);
        if (!m_lock->tryLock(0)) {
            m_error = QStringLiteral("its lock %1 is held").arg(m_lock->fileName());
            m_lock.reset();
            return false;
        }
    }
    const int fd = openForWriting(m_path, truncate);
    if (fd < 0) {
        m_error = lastError();
        return false;
    }
    if (!truncate && !cutTo(fd, keepBytes)) {
        m_error = lastError();
        closeHandle(fd);
        return false;
    }
    m_fd = fd;
    const int syncFd = duplicate(fd);
    std::lock_guard lock(m_mutex);
    m_syncFd = syncFd < 0 ? nullptr : std::shared_ptr<int>(new int(syncFd), [](int *p) {
        closeHandle(*p);
        delete p;
    });
    return true;
}

void RecordingJournal::closeFile()
{
    if (m_fd >= 0) {
        closeHandle(m_fd);
        m_fd = -1;
    }
    std::lock_guard lock(m_mutex);
    m_syncFd.reset(); // the flush thread may still hold it for a flush under way
}

bool RecordingJournal::writeAll(const QByteArray &bytes)
{
    const char *p = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const qint64 n = writeSome(m_fd, p, left);
        if (n <= 0) {
            m_error = n < 0 ? lastError() : QStringLiteral("nothing could be written");
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

void RecordingJournal::setMuted(bool muted)
{
    m_muted = muted;
    // Rows that arrived while muted are not journaled.
    if (!muted)
        m_rowsJournaled = m_table.rowCount();
}

void RecordingJournal::setSaved(bool saved)
{
    m_saved = saved;
    m_savedRows = m_table.rowCount();
}

bool RecordingJournal::savedSinceLastChange() const
{
    return m_saved && m_table.rowCount() == m_savedRows;
}

void RecordingJournal::encodeNewRows()
{
    const int rows = m_table.rowCount();
    if (m_muted || m_fd < 0 || rows <= m_rowsJournaled)
        return;
    // The rows appended since the last hand-over are those of one frame: they
    // carry the time of the hand-over, which follows the frame at once.
    const qint64 ms = now();
    const qint16 offset = utcOffsetMinutes(ms);
    for (int r = m_rowsJournaled; r < rows; ++r) {
        encodeRow(r, ms, offset);
        if (m_pending.size() >= HandOverBytes && !writePending())
            return;
    }
    m_rowsJournaled = rows;
}

bool RecordingJournal::writePending()
{
    // Whole records only, so a crash in the middle of a long run leaves whole
    // records behind.
    if (!writeAll(m_pending)) {
        fail(m_error);
        return false;
    }
    m_pending.resize(0); // keeps its room for the next frame
    return true;
}

void RecordingJournal::handOver()
{
    encodeNewRows();
    if (m_pending.isEmpty() || m_fd < 0)
        return;
    if (!writeAll(m_pending)) {
        fail(m_error);
        return;
    }
    m_pending.resize(0); // keeps its room for the next frame
    // A file whose folder was removed still takes writes, into nowhere: the
    // journal starts again in a new file.
    if (isRemoved(m_fd)) {
        fail(QStringLiteral("the journal file was removed"));
        return;
    }
    markDirty();
}

void RecordingJournal::fail(const QString &reason)
{
    m_pending.clear();
    closeFile();
    if (!m_stopped) {
        m_stopped = true;
        Q_EMIT stopped(reason);
    }
    m_retry.start();
}

void RecordingJournal::retry()
{
    if (!openFile(true, 0))
        return; // still not possible; the timer tries again
    m_retry.stop();
    m_stopped = false;
    // Start afresh with the whole table; rows recorded before carry the time of the restart.
    m_pending.resize(0);
    encodeStart();
    if (!writeAll(m_pending)) {
        m_pending.clear();
        closeFile();
        m_retry.start();
        return;
    }
    m_pending.clear();
    markDirty();
    Q_EMIT resumed();
}

void RecordingJournal::markSaved(const QString &filePath)
{
    // The rows saved come before the mark that says so.
    encodeNewRows();
    setSaved(true);
    if (m_fd < 0)
        return;
    QByteArray payload;
    putText(payload, filePath);
    appendRecord(m_pending, Type::Saved, payload);
    handOver();
}

void RecordingJournal::tableReset()
{
    setSaved(m_table.rowCount() == 0);
    // Rows appended since the last hand-over went with the reset.
    m_rowsJournaled = m_table.rowCount();
    if (m_muted || m_fd < 0)
        return;
    const qint64 ms = now();
    // The table's texts are numbered afresh after a clear or a replacement,
    // and so is the journal's dictionary.
    m_textsWritten = 0;
    if (m_table.rowCount() == 0)
        appendRecord(m_pending, Type::Clear, {});
    else
        encodeWholeTable(ms, utcOffsetMinutes(ms));
    // An opened file or a clear reaches the system at once, not at the next frame.
    handOver();
}

void RecordingJournal::encodeWholeTable(qint64 ms, qint16 offset)
{
    QByteArray count;
    putU32(count, quint32(m_table.rowCount()));
    appendRecord(m_pending, Type::Replace, count);
    for (int r = 0; r < m_table.rowCount(); ++r) {
        encodeRow(r, ms, offset);
        // A crash in the middle leaves an unfinished replacement, which a
        // reader ignores.
        if (m_pending.size() >= HandOverBytes && m_fd >= 0 && !writePending())
            return;
    }
    appendRecord(m_pending, Type::ReplaceEnd, {});
    m_rowsJournaled = m_table.rowCount();
}

namespace {

// Writes a text as a varint byte count and UTF-8 at d, which has room for
// MaxVarintSize + 3 bytes a character; returns the end.
char *putDictionaryText(char *d, QStringView text)
{
    const char16_t *s = text.utf16();
    const qsizetype n = text.size();
    bool ascii = true;
    for (qsizetype i = 0; i < n; ++i)
        ascii = ascii && s[i] < 0x80;
    if (ascii) {
        d = putVarint(d, quint32(n));
        for (qsizetype i = 0; i < n; ++i)
            d[i] = char(s[i]);
        return d + n;
    }
    const QByteArray utf8 = text.toUtf8();
    d = putVarint(d, quint32(utf8.size()));
    std::memcpy(d, utf8.constData(), size_t(utf8.size()));
    return d + utf8.size();
}

// A row defines at most this many new texts in its own record; more (a
// journal going on with a table that holds many texts) go into Texts records
// first, so that no record comes near the longest a reader accepts.
constexpr quint32 TextsPerRecord = 4096;

} // namespace

char *RecordingJournal::beginRecord(qsizetype room)
{
    const qsizetype head = m_pending.size();
    if (m_pending.capacity() < head + room)
        m_pending.reserve(qMax(2 * (head + room), qsizetype(4096)));
    m_pending.resize(head + room);
    return m_pending.data() + head;
}

void RecordingJournal::endRecord(char *base, char *end, Type type)
{
    // The record's head is filled in once the payload's length and checksum
    // are known, and the buffer is cut to what was written.
    const qsizetype payloadSize = end - (base + RecordHeadSize);
    qToLittleEndian(quint32(payloadSize), base);
    qToLittleEndian(
        checksumOf(quint8(type), QByteArrayView(base + RecordHeadSize, payloadSize)), base + 4);
    base[8] = char(type);
    m_pending.resize((base - m_pending.data()) + RecordHeadSize + payloadSize);
}

void RecordingJournal::encodeTexts(quint32 upTo)
{
    while (m_textsWritten < upTo) {
        const quint32 last = qMin(upTo, m_textsWritten + TextsPerRecord);
        qsizetype room = RecordHeadSize + MaxVarintSize;
        for (quint32 id = m_textsWritten + 1; id <= last; ++id)
            room += MaxVarintSize + 3 * m_table.storedText(id).size();
        char *const base = beginRecord(room);
        char *d = putVarint(base + RecordHeadSize, m_textsWritten + 1);
        for (quint32 id = m_textsWritten + 1; id <= last; ++id)
            d = putDictionaryText(d, m_table.storedText(id));
        endRecord(base, d, Type::Texts);
        m_textsWritten = last;
    }
}

void RecordingJournal::encodeRow(int row, qint64 ms, qint16 offset)
{
    // A row is written straight into the buffer through a pointer: the room a
    // row can take at most is made first. This runs once for every recorded
    // reading, so a row holds the numbers of its texts, and each text is
    // written once, by the first row that holds it.
    const std::span<const quint32> ids = m_table.textIds(row);
    quint32 newest = m_textsWritten;
    for (const quint32 id : ids)
        newest = qMax(newest, id);
    if (newest - m_textsWritten > TextsPerRecord)
        encodeTexts(newest);
    qsizetype room = RecordHeadSize + MaxVarintSize + 15 + MaxVarintSize * qsizetype(ids.size());
    for (quint32 id = m_textsWritten + 1; id <= newest; ++id)
        room += MaxVarintSize + 3 * m_table.storedText(id).size();
    char *const base = beginRecord(room);
    char *d = putVarint(base + RecordHeadSize, newest - m_textsWritten);
    for (quint32 id = m_textsWritten + 1; id <= newest; ++id)
        d = putDictionaryText(d, m_table.storedText(id));
    m_textsWritten = newest;
    qToLittleEndian(ms, d);
    qToLittleEndian(offset, d + 8);
    const std::optional<qint32> no = m_table.no(row);
    d[10] = char(no ? 1 : 0);
    qToLittleEndian(no.value_or(0), d + 11);
    d += 15;
    for (const quint32 id : ids)
        d = putVarint(d, id);
    endRecord(base, d, Type::TextRow);
}

void RecordingJournal::closeAndRemove()
{
    m_retry.stop();
    m_pending.clear();
    closeFile();
    QFile::remove(m_path);
    m_lock.reset(); // unlocking removes the lock file
}

void RecordingJournal::markDirty()
{
    // Only the first write after a flush wakes the flush thread: the writes
    // that follow join the flush it is gathering.
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        wake = !m_dirty;
        m_dirty = true;
    }
    if (wake)
        m_wake.notify_one();
}

bool RecordingJournal::flushPending() const
{
    std::lock_guard lock(m_mutex);
    return m_dirty || m_syncing;
}

void RecordingJournal::flushLoop()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_dirty || m_quit; });
        if (!m_dirty && m_quit)
            return;
        // Let the writes of the next moments join this flush.
        if (!m_quit)
            m_wake.wait_for(
                lock, std::chrono::milliseconds(m_options.syncDelayMs), [this] { return m_quit; });
        m_dirty = false;
        const std::shared_ptr<int> fd = m_syncFd;
        if (!fd)
            continue;
        m_syncing = true;
        lock.unlock();
        m_options.sync(*fd);
        lock.lock();
        m_syncing = false;
    }
}
