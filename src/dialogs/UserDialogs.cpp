// SPDX-License-Identifier: MIT
#include "dialogs/UserDialogs.h"

#include <QRegularExpression>

namespace {

// "*.txt;*.log" and "*.txt *.log" both become "*.txt *.log".
QString spacedPatterns(const QString &patterns)
{
    QString spaced = patterns;
    spaced.replace(QLatin1Char(';'), QLatin1Char(' '));
    return spaced.simplified();
}

} // namespace

QStringList nameFiltersFromPairs(const QString &filter)
{
    static const QRegularExpression trailingGroup(QStringLiteral("\\s*\\(([^()]*)\\)\\s*$"));
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts.at(i).trimmed();
        const QString patterns = spacedPatterns(parts.at(i + 1));
        if (patterns.isEmpty())
            continue;
        // A description that already names its patterns keeps its words, but the
        // group is written again in the space-separated form QFileDialog parses.
        const QRegularExpressionMatch match = trailingGroup.match(description);
        if (match.hasMatch() && spacedPatterns(match.captured(1)) == patterns)
            description.truncate(match.capturedStart());
        if (description.isEmpty())
            result << QStringLiteral("(%1)").arg(patterns);
        else
            result << QStringLiteral("%1 (%2)").arg(description, patterns);
    }
    return result;
}
