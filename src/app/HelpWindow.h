// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>
#include <QString>

class QTextBrowser;

// A small help viewer: shows an HTML help file at its start, and says so
// itself when the file cannot be read.
class HelpWindow : public QDialog
{
    Q_OBJECT
public:
    explicit HelpWindow(QWidget *parent = nullptr);

    // Shows the contents page of the file; false when it cannot be read (the
    // window then shows a short note naming the file instead).
    bool showContents(const QString &fileName);
    QString fileName() const { return m_fileName; }
    QString text() const;

private:
    QTextBrowser *m_browser;
    QString m_fileName;
};
