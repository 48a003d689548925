// SPDX-License-Identifier: MIT
#include "dialogs/QtUserDialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace {

QMessageBox::Icon boxIcon(UserDialogs::Icon icon)
{
    switch (icon) {
    case UserDialogs::Icon::Information:
        return QMessageBox::Information;
    case UserDialogs::Icon::Warning:
        return QMessageBox::Warning;
    case UserDialogs::Icon::Error:
        return QMessageBox::Critical;
    case UserDialogs::Icon::NoIcon:
        break;
    }
    return QMessageBox::NoIcon;
}

QString runFileDialog(
    QWidget *parent, const UserDialogs::FileRequest &request, QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(parent, request.caption);
    dialog.setAcceptMode(mode);
    // Open dialogs accept a name that does not exist: the caller reports it.
    dialog.setFileMode(QFileDialog::AnyFile);
    const QStringList filters = nameFiltersFromPairs(request.filter);
    if (!filters.isEmpty())
        dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (mode == QFileDialog::AcceptSave && !request.confirmOverwrite)
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.constFirst().isEmpty())
        return {};
    return QFileInfo(chosen.constFirst()).absoluteFilePath();
}

} // namespace

void QtUserDialogs::message(QWidget *parent, Icon icon, const QString &caption, const QString &text)
{
    QMessageBox box(boxIcon(icon), caption, text, QMessageBox::Ok, parent);
    box.exec();
}

int QtUserDialogs::choose(
    QWidget *parent, const QString &caption, const QString &text, const QStringList &buttons)
{
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::NoButton, parent);
    QList<QAbstractButton *> pressed;
    for (const QString &b : buttons)
        pressed << box.addButton(b, QMessageBox::ActionRole);
    if (!pressed.isEmpty())
        box.setDefaultButton(static_cast<QPushButton *>(pressed.first()));
    box.exec();
    return int(pressed.indexOf(box.clickedButton()));
}

QString QtUserDialogs::saveFileName(QWidget *parent, const FileRequest &request)
{
    return runFileDialog(parent, request, QFileDialog::AcceptSave);
}

QString QtUserDialogs::openFileName(QWidget *parent, const FileRequest &request)
{
    return runFileDialog(parent, request, QFileDialog::AcceptOpen);
}
