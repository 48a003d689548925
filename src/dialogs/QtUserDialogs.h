// SPDX-License-Identifier: MIT
#pragma once

#include "dialogs/UserDialogs.h"

// The real dialogs: QMessageBox and QFileDialog (Qt's own, with icons chosen by
// name only; see FileIconProvider.h) and QProgressDialog, shown modally.
class QtUserDialogs : public UserDialogs
{
public:
    void message(QWidget *parent, Icon icon, const QString &caption, const QString &text) override;
    int choose(QWidget *parent, const QString &caption, const QString &text,
        const QStringList &buttons) override;
    FileChoice chooseSaveFile(QWidget *parent, const FileRequest &request) override;
    QString openFileName(QWidget *parent, const FileRequest &request) override;
    // The progress dialog is a QProgressDialog shown after half a second.
    bool runJob(QWidget *parent, const QString &label, const BackgroundJob::Work &work) override;
};
