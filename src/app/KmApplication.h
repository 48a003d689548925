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

    // Gives the running application the programs' look: the classic "Windows"
    // widget style, whose controls fit the windows' fixed pixel rectangles and
    // are cheap to redraw on every meter frame. A style named in
    // QT_STYLE_OVERRIDE wins. Its standard icons read their pictures only
    // when first drawn (OnDemandIconStyle). Returns the name of the style in
    // use (of the style it draws as).
    static QString useProgramStyle();

private:
    UserDialogs *m_dialogs = nullptr;
};
