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

bool RecordingUserDialogs::runJob(
    QWidget *parent, const QString &label, const BackgroundJob::Work &work)
{
    Call call;
    call.kind = Kind::Job;
    call.parent = parent;
    call.hadParent = parent != nullptr;
    call.text = label;
    BackgroundJob job(work);
    if (!m_jobCancels.isEmpty()) {
        const double at = m_jobCancels.takeFirst();
        if (at <= 0)
            job.progress().cancel();
        else
            job.progress().cancelAtFraction(at);
    }
    const auto record = [&] {
        call.jobDone = job.progress().done();
        call.jobTotal = job.progress().total();
        call.jobCanceled = job.progress().isCanceled();
        m_calls.append(call);
    };
    job.start();
    try {
        job.wait();
    } catch (...) {
        record();
        throw;
    }
    record();
    return call.jobCanceled;
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
    m_jobCancels.clear();
}

UserDialogs::FileChoice RecordingUserDialogs::nextReply()
{
    return m_replies.isEmpty() ? FileChoice() : m_replies.takeFirst();
}
