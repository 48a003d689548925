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
    enum class Kind { Message, Save, Open, Choice };

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
    };

    void message(QWidget *parent, Icon icon, const QString &caption, const QString &text) override;
    int choose(QWidget *parent, const QString &caption, const QString &text,
        const QStringList &buttons) override;
    FileChoice chooseSaveFile(QWidget *parent, const FileRequest &request) override;
    QString openFileName(QWidget *parent, const FileRequest &request) override;

    // Replies for the next file dialogs, in order; a save dialog also reports
    // the filter chosen (an index into the request's filter pairs, -1 none).
    void queueFileName(const QString &reply, int filter = -1)
    {
        m_replies.append({ reply, filter });
    }
    // Buttons pressed in the next questions, in order (-1: closed; an empty
    // queue closes the box).
    void queueChoice(int index) { m_choices.append(index); }

    const QList<Call> &calls() const { return m_calls; }
    QList<Call> messages() const;
    void clear();

private:
    FileChoice nextReply();

    QList<Call> m_calls;
    QList<FileChoice> m_replies;
    QList<int> m_choices;
};
