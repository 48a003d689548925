// SPDX-License-Identifier: MIT
#pragma once

#include "jobs/BackgroundJob.h"

#include <QString>
#include <QStringList>

class QWidget;

// The one place where the programs ask the user something or tell the user
// something in a modal box. Windows and panels take a reference to this
// interface; the programs pass QtUserDialogs, tests pass RecordingUserDialogs so
// that no test ever waits on a dialog.
class UserDialogs
{
public:
    enum class Icon { NoIcon, Information, Warning, Error };

    // What a save or open dialog is asked to show.
    struct FileRequest
    {
        QString caption; // empty: the platform's default title
        // Filter pairs "description|patterns|description|patterns...", patterns
        // separated by ';' (for example "Bitmaps (*.bmp)|*.bmp").
        QString filter;
        QString defaultSuffix; // without the dot; added to a name typed without one
        QString fileName; // name or path the dialog starts with
        bool confirmOverwrite = true; // save dialogs only: ask before replacing a file
        // Save dialogs only: a name typed without an extension gets the
        // extension of the filter chosen in the dialog (defaultSuffix while the
        // chosen filter names none), so that the overwrite question and the
        // name handed back are those of the file that will be written.
        bool suffixFollowsFilter = false;
    };

    // What the user chose in a save dialog.
    struct FileChoice
    {
        QString fileName; // absolute path; empty when the user cancelled
        // The filter chosen when the dialog closed: the index of its pair in
        // FileRequest::filter (0 for the first pair), -1 when not known.
        int filter = -1;
    };

    virtual ~UserDialogs() = default;

    // A modal box with one OK button. parent may be null (a box without owner).
    virtual void message(QWidget *parent, Icon icon, const QString &caption, const QString &text)
        = 0;

    // A modal question with its own buttons, the first one the default. Returns
    // the index of the button pressed, or -1 when the box was closed without one.
    virtual int choose(QWidget *parent, const QString &caption, const QString &text,
        const QStringList &buttons)
        = 0;

    // The chosen file and filter of a save dialog.
    virtual FileChoice chooseSaveFile(QWidget *parent, const FileRequest &request) = 0;
    // The chosen file as an absolute path, or an empty string when the user cancels.
    virtual QString openFileName(QWidget *parent, const FileRequest &request) = 0;
    QString saveFileName(QWidget *parent, const FileRequest &request)
    {
        return chooseSaveFile(parent, request).fileName;
    }

    // Runs a long piece of work on a thread of its own (see jobs/BackgroundJob.h)
    // and returns once it has ended. Meanwhile the program's event loop turns
    // (frames are read and recorded); clicks and keys wait. When the work takes
    // longer than half a second, a modal progress dialog with label, the part
    // done and a Cancel button appears; Cancel asks the work to stop. Returns
    // true when the work was asked to stop; what it did then is for the work to
    // tell (a job that had already finished has still finished). What the work
    // throws is thrown here.
    virtual bool runJob(QWidget *parent, const QString &label, const BackgroundJob::Work &work) = 0;

    void information(QWidget *parent, const QString &caption, const QString &text)
    {
        message(parent, Icon::Information, caption, text);
    }
    void error(QWidget *parent, const QString &caption, const QString &text)
    {
        message(parent, Icon::Error, caption, text);
    }
};

// Turns a "description|patterns|..." filter into the name filters of QFileDialog,
// e.g. "Bitmaps (*.bmp)|*.bmp" gives {"Bitmaps (*.bmp)"} and "Text|*.txt;*.log"
// gives {"Text (*.txt *.log)"}. A description that already ends in its patterns
// in parentheses is kept as it is. A trailing description without patterns is dropped.
QStringList nameFiltersFromPairs(const QString &filter);

// The index, among the pairs of a "description|patterns|..." filter, of each
// entry nameFiltersFromPairs gives (pairs without patterns have none).
QList<int> nameFilterPairs(const QString &filter);

// The extension a pair of a filter stands for: that of its first pattern when
// it is a plain "*.ext" ("Text|*.txt;*.log" gives "txt"), otherwise empty
// (also for an index outside the filter).
QString filterSuffix(const QString &filter, int pair);
