// SPDX-License-Identifier: MIT
#pragma once

#include <QFileIconProvider>
#include <QMimeDatabase>

class QCoreApplication;
class QFileDialog;

// Icons and type names for the entries of a file dialog, decided by the
// entry's kind (folder, file, drive) and its name only. Qt's own provider
// guesses a file's type from its contents when the name does not tell, which
// reads every listed file: a FIFO nobody writes to, or /proc/kmsg for root,
// blocks that read, and with it the whole program. Nothing here opens a file.
class NameOnlyIconProvider : public QFileIconProvider
{
public:
    using QFileIconProvider::icon;
    QIcon icon(const QFileInfo &info) const override;
    QString type(const QFileInfo &info) const override;

private:
    QMimeDatabase m_mimeTypes;
};

// Gives a Qt file dialog a name-only provider of its own, deleted with it.
void useNameOnlyIcons(QFileDialog &dialog);

// Gives every Qt file dialog of the program a name-only provider before it is
// shown, including those that Qt's own dialogs open (the print dialog's "print
// to file" chooser). The programs call it once, after making the application.
void useNameOnlyIconsInEveryFileDialog(QCoreApplication &application);
