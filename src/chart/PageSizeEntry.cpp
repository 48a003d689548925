// SPDX-License-Identifier: MIT
#include "chart/PageSizeEntry.h"

#include <limits>

namespace {

// A decimal whole number: optional sign, then at least one digit, nothing else.
bool parseDecimal(const QString &text, qint64 &value)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    if (i == text.size())
        return false;
    qint64 magnitude = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return false;
        magnitude = magnitude * 10 + (c - u'0');
        if (magnitude > qint64(std::numeric_limits<qint32>::max()) + 1)
            return false;
    }
    value = negative ? -magnitude : magnitude;
    return value >= std::numeric_limits<qint32>::min()
        && value <= std::numeric_limits<qint32>::max();
}

} // namespace

PageSizeEntry resolvePageSizeEntry(const QString &text, bool rewriteDecimal)
{
    PageSizeEntry entry;
    qint64 value = 0;
    if (!parseDecimal(text, value) || value <= 0) {
        entry.text = QStringLiteral("100");
        entry.pageSize = 100;
        return entry;
    }
    entry.pageSize = qint32(value);
    entry.text = rewriteDecimal ? QString::number(entry.pageSize) : text;
    return entry;
}

bool isPageSizeKey(QChar typed)
{
    return (typed >= QLatin1Char('0') && typed <= QLatin1Char('9')) || typed == QChar(0x08);
}
