// SPDX-License-Identifier: MIT
#include "dialogs/QtUserDialogs.h"

#include "dialogs/FileIconProvider.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

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

UserDialogs::FileChoice runFileDialog(
    QWidget *parent, const UserDialogs::FileRequest &request, QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(parent, request.caption);
    // The dialog never reads a file's contents to draw its list.
    useNameOnlyIcons(dialog);
    dialog.setAcceptMode(mode);
    // Open dialogs accept a name that does not exist: the caller reports it.
    dialog.setFileMode(QFileDialog::AnyFile);
    const QStringList filters = nameFiltersFromPairs(request.filter);
    const QList<int> pairs = nameFilterPairs(request.filter);
    if (!filters.isEmpty())
        dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (mode == QFileDialog::AcceptSave && request.suffixFollowsFilter) {
        const auto follow = [&dialog, &request, &filters, &pairs](const QString &chosen) {
            const qsizetype index = filters.indexOf(chosen);
            const QString suffix
                = index < 0 ? QString() : filterSuffix(request.filter, pairs[index]);
            dialog.setDefaultSuffix(suffix.isEmpty() ? request.defaultSuffix : suffix);
        };
        // Start on the filter of the default suffix.
        for (qsizetype i = 0; i < filters.size(); ++i) {
            if (filterSuffix(request.filter, pairs[i]) == request.defaultSuffix) {
                dialog.selectNameFilter(filters[i]);
                break;
            }
        }
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, follow);
        follow(dialog.selectedNameFilter());
    }
    if (mode == QFileDialog::AcceptSave && !request.confirmOverwrite)
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.constFirst().isEmpty())
        return {};
    UserDialogs::FileChoice choice;
    choice.fileName = QFileInfo(chosen.constFirst()).absoluteFilePath();
    const qsizetype filter = filters.indexOf(dialog.selectedNameFilter());
    choice.filter = filter < 0 ? -1 : pairs[filter];
    return choice;
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

UserDialogs::FileChoice QtUserDialogs::chooseSaveFile(QWidget *parent, const FileRequest &request)
{
    return runFileDialog(parent, request, QFileDialog::AcceptSave);
}

QString QtUserDialogs::openFileName(QWidget *parent, const FileRequest &request)
{
    return runFileDialog(parent, request, QFileDialog::AcceptOpen).fileName;
}

bool QtUserDialogs::runJob(QWidget *parent, const QString &label, const BackgroundJob::Work &work)
{
    // Work that ends within half a second shows nothing; meanwhile clicks and
    // keys wait for the dialog (or for the end of the work) instead of acting
    // on a window whose data is being written.
    constexpr int kQuietMs = 500;
    constexpr int kSteps = 1000;
    BackgroundJob job(work);
    job.start();
    if (job.wait(kQuietMs, QEventLoop::ExcludeUserInputEvents))
        return job.progress().isCanceled();

    QProgressDialog dialog(label, QProgressDialog::tr("Cancel"), 0, kSteps, parent);
    dialog.setWindowTitle(label);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setMinimumDuration(0);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    JobProgress &progress = job.progress();
    QObject::connect(
        &dialog, &QProgressDialog::canceled, &dialog, [&progress] { progress.cancel(); });
    const auto show = [&] {
        if (progress.isCanceled())
            return;
        if (progress.total() <= 0) {
            dialog.setRange(0, 0); // the total is not known: a busy bar
        } else {
            dialog.setRange(0, kSteps);
            dialog.setValue(int(progress.fraction() * kSteps));
        }
    };
    QTimer refresh;
    refresh.setInterval(50);
    QObject::connect(&refresh, &QTimer::timeout, &dialog, show);
    show();
    dialog.show();
    refresh.start();
    job.wait();
    return progress.isCanceled();
}
