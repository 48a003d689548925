// SPDX-License-Identifier: MIT
#include "app/HelpWindow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

HelpWindow::HelpWindow(QWidget *parent)
    : QDialog(parent)
    , m_browser(new QTextBrowser(this))
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Help"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    m_browser->setOpenExternalLinks(true);
    resize(560, 480);
}

bool HelpWindow::showContents(const QString &fileName)
{
    m_fileName = fileName;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        m_browser->setPlainText(QStringLiteral("The help file %1 cannot be opened: %2")
                                    .arg(QDir::toNativeSeparators(fileName), file.errorString()));
        return false;
    }
    m_browser->setSearchPaths({ QFileInfo(fileName).absolutePath() });
    m_browser->setHtml(QString::fromUtf8(file.readAll()));
    m_browser->moveCursor(QTextCursor::Start);
    return true;
}

QString HelpWindow::text() const
{
    return m_browser->toPlainText();
}
