// SPDX-License-Identifier: MIT
#pragma once

#include <QApplication>

class UserDialogs;

// The programs' application object. An exception that leaves an event handler
// is shown by the general error report (an error box captioned with the
// application title) and the event loop carries on.
class KmApplication : public QApplication
{
    Q_OBJECT
public:
    KmApplication(int &argc, char **argv);

    void setDialogs(UserDialogs *dialogs) { m_dialogs = dialogs; }
    bool notify(QObject *receiver, QEvent *event) override;

    // Shows the general error report for message.
    void reportError(const QString &message);

private:
    UserDialogs *m_dialogs = nullptr;
};
