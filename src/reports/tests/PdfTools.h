// SPDX-License-Identifier: MIT
#pragma once

// Reading PDF files back with poppler-utils (pdfinfo, pdftotext), which the
// set-up script installs.

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

namespace PdfTools {

// Output of a poppler tool; a null string when the tool is missing or fails.
inline QString run(const QString &tool, const QStringList &arguments)
{
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty())
        return {};
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

inline bool available()
{
    return !QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty()
        && !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty();
}

// Number of pages, or -1 when the file is not a readable PDF.
inline int pageCount(const QString &path)
{
    const QString info = run(QStringLiteral("pdfinfo"), { path });
    const auto match = QRegularExpression(
        QStringLiteral("^Pages:\\s+(\\d+)$"), QRegularExpression::MultilineOption)
                           .match(info);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

// The text of one page (1-based), in its physical layout.
inline QString pageText(const QString &path, int page)
{
    const QString number = QString::number(page);
    return run(QStringLiteral("pdftotext"),
        { QStringLiteral("-layout"), QStringLiteral("-f"), number, QStringLiteral("-l"), number,
            path, QStringLiteral("-") });
}

} // namespace PdfTools

// Fails the running test when poppler-utils is missing.
#define REQUIRE_POPPLER()                                                                          \
    do {                                                                                           \
        if (!PdfTools::available())                                                                \
            QFAIL("pdfinfo/pdftotext not found: install poppler-utils "                            \
                  "(scripts/ensure-packages.sh does)");                                            \
    } while (false)
