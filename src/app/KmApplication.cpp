// SPDX-License-Identifier: MIT
#include "app/KmApplication.h"

#include "app/ErrorReport.h"
#include "dialogs/FileIconProvider.h"
#include "dialogs/UserDialogs.h"

#include <QStyle>
#include <QStyleFactory>

#include <exception>

KmApplication::KmApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
    useProgramStyle();
    // No file dialog of the program, its own or one Qt opens, reads a file's
    // contents to draw its list.
    useNameOnlyIconsInEveryFileDialog(*this);
}

QString KmApplication::useProgramStyle()
{
    if (qEnvironmentVariableIsEmpty("QT_STYLE_OVERRIDE")) {
        if (QStyle *style = QStyleFactory::create(QStringLiteral("Windows")))
            QApplication::setStyle(style);
    }
    return QApplication::style()->name();
}

bool KmApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        reportError(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        reportError(QStringLiteral("Unknown error"));
    }
    return true;
}

void KmApplication::reportError(const QString &message)
{
    if (m_dialogs)
        m_dialogs->error(
            activeWindow(), ErrorReport::applicationTitle(), ErrorReport::boxText(message));
}
