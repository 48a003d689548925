// SPDX-License-Identifier: MIT
#include "journal/JournalKeeper.h"

#include "journal/JournalReader.h"
#include "recording/ReadingTable.h"
#include "recording/Recorder.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

namespace {

const QString Suffix = QStringLiteral(".kmj");

QString localTime(qint64 ms, qint16 offsetMinutes)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::OffsetFromUTC, offsetMinutes * 60)
        .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

void removeJournal(const QString &path)
{
    QFile::remove(path);
}

// The lock of a left journal, taken; nullptr when a running instance holds it.
std::unique_ptr<QLockFile> takeLeftLock(const QString &journalPath)
{
    auto lock = std::make_unique<QLockFile>(journalPath + QStringLiteral(".lock"));
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0))
        return nullptr;
    return lock;
}

} // namespace

JournalKeeper::JournalKeeper(ReadingTable &table, Recorder &recorder, Options options)
    : m_table(table)
    , m_recorder(recorder)
    , m_folder(options.folder.isEmpty() ? defaultFolder() : options.folder)
    , m_options(std::move(options))
{ }

JournalKeeper::~JournalKeeper()
{
    finish();
}

QString JournalKeeper::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation)
        + QStringLiteral("/journals");
}

QString JournalKeeper::newJournalPath() const
{
    const QString stamp
        = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss-zzz"));
    return m_folder + u'/' + m_options.journal.program + u'-' + stamp + u'-'
        + QString::number(QCoreApplication::applicationPid()) + Suffix;
}

bool JournalKeeper::start()
{
    m_journal = std::make_unique<RecordingJournal>(m_table, newJournalPath(), m_options.journal);
    connect(m_journal.get(), &RecordingJournal::stopped, this, [this](const QString &reason) {
        Q_EMIT historyLine(QStringLiteral("JOURNAL STOPPED: %1 (%2); recording goes on in memory")
                               .arg(reason, m_journal->path()));
    });
    connect(m_journal.get(), &RecordingJournal::resumed, this, [this] {
        Q_EMIT historyLine(QStringLiteral("JOURNAL RESUMED: %1, with every row of the table")
                               .arg(m_journal->path()));
    });
    return m_journal->start();
}

QStringList JournalKeeper::leftJournals() const
{
    QStringList out;
    const QDir dir(m_folder);
    const QString own = m_journal ? QFileInfo(m_journal->path()).fileName() : QString();
    // Newest first: the file names start with the program and its start time.
    const QFileInfoList files
        = dir.entryInfoList({ m_options.journal.program + u'-' + u'*' + Suffix }, QDir::Files,
            QDir::Name | QDir::Reversed);
    for (const QFileInfo &f : files) {
        if (f.fileName() == own)
            continue;
        QLockFile probe(f.absoluteFilePath() + QStringLiteral(".lock"));
        probe.setStaleLockTime(0);
        if (probe.tryLock(0)) {
            probe.unlock();
            out << f.absoluteFilePath();
        }
    }
    return out;
}

void JournalKeeper::offerLeftJournals(const Ask &ask, const Tell &tell)
{
    const MeterModel model = m_table.meterModel();
    for (const QString &path : leftJournals()) {
        std::unique_ptr<QLockFile> lock = takeLeftLock(path);
        if (!lock)
            continue; // another instance took it meanwhile
        JournalContents contents = readJournal(path, model);
        switch (contents.status) {
        case JournalContents::Status::CannotOpen:
            tell(QStringLiteral("The recording journal %1 could not be opened: %2.")
                     .arg(QDir::toNativeSeparators(path), contents.error));
            continue;
        case JournalContents::Status::NewerVersion:
            continue; // a newer program's; left as it is for that program
        case JournalContents::Status::Unreadable: {
            const QString aside = path + QStringLiteral(".unreadable");
            QFile::remove(aside);
            const bool moved = QFile::rename(path, aside);
            tell(QStringLiteral("The recording journal %1 could not be read (%2). %3")
                     .arg(QDir::toNativeSeparators(path), contents.error,
                         moved ? QStringLiteral("It was kept as %1.")
                                     .arg(QDir::toNativeSeparators(aside))
                               : QStringLiteral("It was left where it is.")));
            continue;
        }
        case JournalContents::Status::Complete:
        case JournalContents::Status::Damaged:
            break;
        }
        const int rows = contents.table->rowCount();
        if (rows == 0 || (contents.savedSinceLastChange && contents.unreadableRecords == 0)) {
            removeJournal(path); // nothing in it that is not in a file
            continue;
        }
        QString text = QStringLiteral("The last recording of %1 readings (%2 – %3) was not saved. "
                                      "Restore it?")
                           .arg(rows)
                           .arg(localTime(contents.firstMs, contents.firstOffsetMinutes),
                               localTime(contents.lastMs, contents.lastOffsetMinutes));
        if (contents.unreadableRecords > 0)
            text += QStringLiteral("\n\n%1 records at its end could not be read; every reading "
                                   "before them is offered.")
                        .arg(contents.unreadableRecords);
        switch (ask(text)) {
        case Answer::Restore: {
            // The table takes the rows; the left journal becomes this window's
            // own, going on from its last whole record.
            if (!m_journal)
                m_journal = std::make_unique<RecordingJournal>(m_table, path, m_options.journal);
            else
                m_journal->closeAndRemove();
            m_journal->setMuted(true);
            m_table.takeRowsFrom(*contents.table);
            m_journal->setMuted(false);
            m_recorder.continueAfterRows();
            if (!m_journal->adopt(path, contents.validBytes, std::move(lock)))
                m_journal->start(); // the old file cannot go on: a fresh one with the rows
            Q_EMIT historyLine(QStringLiteral("JOURNAL RESTORED: %1 readings from %2")
                                   .arg(rows)
                                   .arg(QDir::toNativeSeparators(path)));
            return; // the other left journals wait for the next start
        }
        case Answer::Discard:
            removeJournal(path);
            break;
        case Answer::Later:
            break; // the lock goes, the journal stays
        }
    }
}

void JournalKeeper::handOver()
{
    if (m_journal)
        m_journal->handOver();
}

void JournalKeeper::markSaved(const QString &filePath)
{
    if (m_journal)
        m_journal->markSaved(filePath);
}

void JournalKeeper::finish()
{
    if (m_finished || !m_journal)
        return;
    m_finished = true;
    if (m_table.rowCount() == 0 || m_journal->savedSinceLastChange())
        m_journal->closeAndRemove();
    m_journal.reset(); // flushed and closed; an unsaved recording stays for the next start
}
