// SPDX-License-Identifier: MIT
#include "KmApplication.h"

#include "ErrorReport.h"
#include "UserDialogs.h"

#include <exception>

KmApplication::KmApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{ }

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
