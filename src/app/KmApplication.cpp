// SPDX-License-Identifier: MIT
#include "app/KmApplication.h"

#include "app/ErrorReport.h"
#include "app/FontWarmUp.h"
#include "dialogs/FileIconProvider.h"
#include "dialogs/UserDialogs.h"
#include "widgets/StandardIcons.h"

#include <QStyle>
#include <QStyleFactory>

#include <exception>

KmApplication::KmApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
    // fontconfig's start on the warm-up thread (if any) ends before anything
    // here uses a font, so that it is not read twice.
    FontSystemWarmUp::waitUntilReady();
    useProgramStyle();
    // No file dialog of the program, its own or one Qt opens, reads a file's
    // contents to draw its list.
    useNameOnlyIconsInEveryFileDialog(*this);
}

QString KmApplication::useProgramStyle()
{
    if (qEnvironmentVariableIsEmpty("QT_STYLE_OVERRIDE")) {
        // The style's standard icons (the record tool bar's, the menu bar's
        // overflow button) read their pictures only when drawn.
        if (QStyle *style = QStyleFactory::create(QStringLiteral("Windows")))
            QApplication::setStyle(new OnDemandIconStyle(style));
    }
    const QStyle *style = QApplication::style();
    if (const auto *proxy = qobject_cast<const QProxyStyle *>(style))
        style = proxy->baseStyle();
    return style->name();
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
