// SPDX-License-Identifier: MIT
#pragma once

#include "journal/RecordingJournal.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class ReadingTable;
class Recorder;

// The journals of one program in one folder, as a window uses them: its own
// journal of its reading table, the journals that instances which ended left
// behind (offered back at start), and what happens to its own at exit.
//
// Each journal is a file "<program>-<start time>-<pid>.kmj" with a lock file
// beside it; a journal whose lock nobody holds was left by an instance that
// no longer runs.
class JournalKeeper : public QObject
{
    Q_OBJECT
public:
    // The answer to "Restore it?".
    enum class Answer { Restore, Discard, Later };
    // Asks the user; the text says what the journal holds.
    using Ask = std::function<Answer(const QString &text)>;
    // Tells the user something (a journal that cannot be read).
    using Tell = std::function<void(const QString &text)>;

    struct Options
    {
        QString folder; // empty: defaultFolder()
        RecordingJournal::Options journal;
    };

    JournalKeeper(ReadingTable &table, Recorder &recorder, Options options);
    ~JournalKeeper() override;

    // The user's data folder of the program, "journals" in it.
    static QString defaultFolder();

    // Starts the own journal. False when it cannot be written (it keeps trying).
    bool start();
    // Offers every left journal that holds unsaved rows, newest first, until
    // one is restored (the others stay for the next start). Left journals
    // without unsaved rows are removed; unreadable ones are put aside
    // (renamed, never deleted) and told about.
    void offerLeftJournals(const Ask &ask, const Tell &tell);
    // The journals left by instances that no longer run, newest first.
    QStringList leftJournals() const;

    // After every frame: hands the frame's rows to the system.
    void handOver();
    // The table was saved to a file.
    void markSaved(const QString &filePath);
    // A clean exit: the journal goes when nothing in it is unsaved, otherwise
    // it stays for the next start.
    void finish();

    RecordingJournal *journal() const { return m_journal.get(); }
    const QString &folder() const { return m_folder; }

Q_SIGNALS:
    // A line for the link history (the journal stopped or resumed).
    void historyLine(const QString &line);

private:
    QString newJournalPath() const;

    ReadingTable &m_table;
    Recorder &m_recorder;
    QString m_folder;
    Options m_options;
    std::unique_ptr<RecordingJournal> m_journal;
    bool m_finished = false;
};
