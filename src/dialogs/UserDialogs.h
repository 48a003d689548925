// SPDX-License-Identifier: MIT
#pragma once

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

    // The chosen file as an absolute path, or an empty string when the user cancels.
    virtual QString saveFileName(QWidget *parent, const FileRequest &request) = 0;
    virtual QString openFileName(QWidget *parent, const FileRequest &request) = 0;

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
