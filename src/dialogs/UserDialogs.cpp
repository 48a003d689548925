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

struct NameFilter
{
    QString text;
    int pair;
};

QList<NameFilter> nameFilters(const QString &filter)
{
    static const QRegularExpression trailingGroup(QStringLiteral("\\s*\\(([^()]*)\\)\\s*$"));
    const QStringList parts = filter.split(QLatin1Char('|'));
    QList<NameFilter> result;
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
        const QString text = description.isEmpty()
            ? QStringLiteral("(%1)").arg(patterns)
            : QStringLiteral("%1 (%2)").arg(description, patterns);
        result.append({ text, int(i / 2) });
    }
    return result;
}

} // namespace

QStringList nameFiltersFromPairs(const QString &filter)
{
    QStringList result;
    for (const NameFilter &f : nameFilters(filter))
        result << f.text;
    return result;
}

QList<int> nameFilterPairs(const QString &filter)
{
    QList<int> result;
    for (const NameFilter &f : nameFilters(filter))
        result << f.pair;
    return result;
}

QString filterSuffix(const QString &filter, int pair)
{
    static const QRegularExpression plainPattern(QStringLiteral("^\\*\\.([^*?.\\[\\]]+)$"));
    const QStringList parts = filter.split(QLatin1Char('|'));
    if (pair < 0 || 2 * qsizetype(pair) + 1 >= parts.size())
        return {};
    const QStringList patterns = spacedPatterns(parts.at(2 * pair + 1)).split(QLatin1Char(' '));
    const QRegularExpressionMatch match = plainPattern.match(patterns.constFirst());
    return match.hasMatch() ? match.captured(1) : QString();
}
