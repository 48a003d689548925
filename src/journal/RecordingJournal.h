// SPDX-License-Identifier: MIT
#pragma once

#include "journal/JournalFormat.h"

#include <QByteArray>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <QTimer>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class ReadingTable;

// Keeps a journal of a reading table on disk (format: JournalFormat.h), so that
// whatever ends the program, the rows come back at the next start.
//
// Every change of the table is journaled: appended rows (with the date and
// time of recording to the millisecond), a clear, a replacement by an opened
// file. handOver(), which the window calls after every frame, before the next
// one is processed, encodes the rows the frame appended (stamped with the
// time of the hand-over) and hands everything to the operating system with
// one write: a crash or kill loses nothing shown in the grid. A
// thread of its own then flushes the file to the disk (fdatasync) within a
// fraction of a second, so a power cut loses at most the last second; the
// window's thread never waits for the disk.
//
// When the file cannot be written (disk full, folder removed, no right), the
// journal stops, says why once (stopped()), and tries again every few seconds
// to start afresh with the whole table (resumed()). The table itself never
// depends on the journal.
//
// The journal owns the lock file beside its file (path + ".lock"): while it is
// held, no other instance takes the journal for a left one.
class RecordingJournal : public QObject
{
    Q_OBJECT
public:
    // Flushes a file to the disk; false on failure. The default is fdatasync.
    using SyncFunction = std::function<bool(int fd)>;

    struct Options
    {
        QString program; // written into the header
        SyncFunction sync; // empty: fdatasync
        int syncDelayMs = 200; // gathers writes into one flush
        int retryMs = 5000; // a stopped journal tries again this often
        std::function<qint64()> clock; // ms since 1970 UTC; empty: the system clock
    };

    RecordingJournal(ReadingTable &table, const QString &path, Options options);
    // Flushes what was handed over and closes the file; the file stays.
    ~RecordingJournal() override;

    const QString &path() const { return m_path; }
    // Creates the file (an existing one is replaced) with the header and, when
    // the table holds rows, those rows. False when it cannot; the journal then
    // retries like a stopped one.
    bool start();
    // Goes on with a journal left by an instance that ended: the file is cut
    // to validBytes (a damaged tail goes) and appended to from there. The
    // table must already hold what the file gives back. lock is the file's
    // lock, held (nullptr: taken here).
    bool adopt(const QString &path, qint64 validBytes, std::unique_ptr<QLockFile> lock = {});

    // Encodes the rows appended since the last hand-over and writes what was
    // encoded with one write.
    void handOver();
    // The table's rows are all in this file now.
    void markSaved(const QString &filePath);
    bool savedSinceLastChange() const;
    // While muted, changes of the table are not journaled (a restore).
    void setMuted(bool muted);
    bool isWriting() const { return m_fd >= 0; }
    const QString &lastError() const { return m_error; }

    // Closes the file and removes it with its lock.
    void closeAndRemove();

    // Flushes waiting in the flush thread or running in it (for tests).
    bool flushPending() const;

Q_SIGNALS:
    // The journal could not be written and stopped; reason says why.
    void stopped(const QString &reason);
    // A stopped journal writes again, starting with the whole table.
    void resumed();

private:
    // Encodes the rows appended since the last hand-over.
    void encodeNewRows();
    // Writes what is encoded; false (and the journal stopped) when it cannot.
    bool writePending();
    void setSaved(bool saved);
    void tableReset();
    void encodeRow(int row, qint64 ms, qint16 offset);
    // Texts of the table not yet in the journal's dictionary, up to number upTo.
    void encodeTexts(quint32 upTo);
    // Makes room for a record at the end of m_pending; returns where it starts.
    char *beginRecord(qsizetype room);
    // Fills in the head of the record at base whose payload ends at end.
    void endRecord(char *base, char *end, JournalFormat::Type type);
    void encodeWholeTable(qint64 ms, qint16 offset);
    // The start of a file: its first bytes, the header, the table's rows.
    void encodeStart();
    bool openFile(bool truncate, qint64 keepBytes);
    bool writeAll(const QByteArray &bytes);
    void fail(const QString &reason);
    void closeFile();
    void retry();
    qint16 utcOffsetMinutes(qint64 ms);
    qint64 now() const;

    // The flush thread.
    void flushLoop();
    void markDirty();

    ReadingTable &m_table;
    QString m_path;
    Options m_options;
    std::unique_ptr<QLockFile> m_lock;
    int m_fd = -1;
    QByteArray m_pending;
    bool m_saved = true;
    int m_savedRows = 0; // rows of the table when m_saved was set
    int m_rowsJournaled = 0; // rows of the table already encoded
    bool m_muted = false;
    bool m_stopped = false;
    QString m_error;
    QTimer m_retry;
    qint64 m_offsetUntilMs = 0;
    qint16 m_offset = 0;
    // Texts of the table written into the journal's dictionary: numbers 1 to this.
    quint32 m_textsWritten = 0;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::shared_ptr<int> m_syncFd; // a duplicate of m_fd for the flush thread
    bool m_dirty = false;
    bool m_syncing = false;
    bool m_quit = false;
    std::thread m_flusher;
};
