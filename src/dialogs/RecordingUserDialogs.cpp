// SPDX-License-Identifier: MIT
#include "dialogs/RecordingUserDialogs.h"

void RecordingUserDialogs::message(
    QWidget *parent, Icon icon, const QString &caption, const QString &text)
{
    Call call;
    call.kind = Kind::Message;
    call.parent = parent;
    call.hadParent = parent != nullptr;
    call.icon = icon;
    call.caption = caption;
    call.text = text;
    m_calls.append(call);
}

int RecordingUserDialogs::choose(
    QWidget *parent, const QString &caption, const QString &text, const QStringList &buttons)
{
    Call call;
    call.kind = Kind::Choice;
    call.parent = parent;
    call.hadParent = parent != nullptr;
    call.icon = Icon::NoIcon;
    call.caption = caption;
    call.text = text;
    call.buttons = buttons;
    m_calls.append(call);
    return m_choices.isEmpty() ? -1 : m_choices.takeFirst();
}

UserDialogs::FileChoice RecordingUserDialogs::chooseSaveFile(
    QWidget *parent, const FileRequest &request)
{
    Call call;
    call.kind = Kind::Save;
    call.parent = parent;
    call.hadParent = parent != nullptr;
    call.caption = request.caption;
    call.file = request;
    m_calls.append(call);
    FileChoice reply = nextReply();
    if (reply.fileName.isEmpty())
        reply.filter = -1;
    return reply;
}

QString RecordingUserDialogs::openFileName(QWidget *parent, const FileRequest &request)
{
    Call call;
    call.kind = Kind::Open;
    call.parent = parent;
    call.hadParent = parent != nullptr;
    call.caption = request.caption;
    call.file = request;
    m_calls.append(call);
    return nextReply().fileName;
}

QList<RecordingUserDialogs::Call> RecordingUserDialogs::messages() const
{
    QList<Call> result;
    for (const Call &call : m_calls) {
        if (call.kind == Kind::Message)
            result.append(call);
    }
    return result;
}

void RecordingUserDialogs::clear()
{
    m_calls.clear();
    m_replies.clear();
    m_choices.clear();
}

UserDialogs::FileChoice RecordingUserDialogs::nextReply()
{
    return m_replies.isEmpty() ? FileChoice() : m_replies.takeFirst();
}
