// SPDX-License-Identifier: MIT
#pragma once

#include "dialogs/UserDialogs.h"

#include <QList>
#include <QPointer>
#include <QWidget>

// A stand-in for tests: records every box and dialog it is asked for and answers
// file dialogs from a queue of scripted replies (an empty reply, or an empty
// queue, means the user cancelled).
class RecordingUserDialogs : public UserDialogs
{
public:
    enum class Kind { Message, Save, Open, Choice, Job };

    struct Call
    {
        Kind kind = Kind::Message;
        QPointer<QWidget> parent;
        bool hadParent = false;
        Icon icon = Icon::NoIcon;
        QString caption;
        QString text;
        FileRequest file; // save and open only
        QStringList buttons; // choices only
        // Jobs only (text holds the label): the progress when the work ended
        // and whether it was asked to stop.
        qint64 jobDone = 0;
        qint64 jobTotal = 0;
        bool jobCanceled = false;
    };

    void message(QWidget *parent, Icon icon, const QString &caption, const QString &text) override;
    int choose(QWidget *parent, const QString &caption, const QString &text,
        const QStringList &buttons) override;
    FileChoice chooseSaveFile(QWidget *parent, const FileRequest &request) override;
    QString openFileName(QWidget *parent, const FileRequest &request) override;
    // Runs the work on its own thread as the real dialogs do, without a dialog.
    bool runJob(QWidget *parent, const QString &label, const BackgroundJob::Work &work) override;

    // Replies for the next file dialogs, in order; a save dialog also reports
    // the filter chosen (an index into the request's filter pairs, -1 none).
    void queueFileName(const QString &reply, int filter = -1)
    {
        m_replies.append({ reply, filter });
    }
    // Buttons pressed in the next questions, in order (-1: closed; an empty
    // queue closes the box).
    void queueChoice(int index) { m_choices.append(index); }
    // The next job is cancelled as a user's click would, once the part done
    // reaches this fraction of its total (0: before it does anything).
    void queueJobCancel(double fraction) { m_jobCancels.append(fraction); }

    const QList<Call> &calls() const { return m_calls; }
    QList<Call> messages() const;
    void clear();

private:
    FileChoice nextReply();

    QList<Call> m_calls;
    QList<FileChoice> m_replies;
    QList<int> m_choices;
    QList<double> m_jobCancels;
};
