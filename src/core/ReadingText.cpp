// SPDX-License-Identifier: MIT
#include "core/ReadingText.h"

#include "core/ConversionError.h"

#include <QLocale>

#include <charconv>
#include <cmath>
#include <limits>

namespace ReadingText {

namespace {

[[noreturn]] void fail(const QString &what)
{
    throw ConversionError(what);
}

qint32 clampToInt32(double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= static_cast<double>(std::numeric_limits<qint32>::max()))
        return std::numeric_limits<qint32>::max();
    if (v <= static_cast<double>(std::numeric_limits<qint32>::min()))
        return std::numeric_limits<qint32>::min();
    return static_cast<qint32>(v);
}

} // namespace

int decimalDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    fail(QStringLiteral("'%1' is not a valid decimal digit").arg(c));
}

int hexNibble(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    fail(QStringLiteral("'%1' is not a valid hexadecimal digit").arg(c));
}

int twoDigitDecimal(QChar tens, QChar units)
{
    const char16_t t = tens.unicode();
    const char16_t u = units.unicode();
    if (t >= u'0' && t <= u'9' && u >= u'0' && u <= u'9')
        return (t - u'0') * 10 + (u - u'0');
    fail(QStringLiteral("'%1%2' is not a valid decimal number").arg(tens, units));
}

std::optional<double> parseValue(QStringView text, QStringView separator)
{
    // Longest text a decoder can form is a few characters; anything that would
    // not fit this buffer is far beyond a meter reading and is refused.
    char buffer[64];
    qsizetype out = 0;
    qsizetype i = 0;
    const qsizetype n = text.size();
    if (n == 0 || n >= qsizetype(sizeof buffer))
        return std::nullopt;
    if (text[0] == u'-') {
        buffer[out++] = '-';
        ++i;
    }
    bool seenSeparator = false;
    bool digitBefore = false; // a digit since the start or since the separator
    while (i < n) {
        const char16_t u = text[i].unicode();
        if (u >= u'0' && u <= u'9') {
            buffer[out++] = char(u);
            digitBefore = true;
            ++i;
            continue;
        }
        if (!separator.isEmpty() && !seenSeparator && digitBefore
            && text.sliced(i).startsWith(separator)) {
            seenSeparator = true;
            digitBefore = false;
            buffer[out++] = '.';
            i += separator.size();
            continue;
        }
        return std::nullopt;
    }
    if (!digitBefore)
        return std::nullopt; // no digits at all, or a separator with nothing after it
    double value = 0;
    const auto [ptr, ec] = std::from_chars(buffer, buffer + out, value);
    if (ec != std::errc() || ptr != buffer + out)
        return std::nullopt;
    return value;
}

double valueNumber(QStringView text, QStringView separator)
{
    if (const auto v = parseValue(text, separator))
        return *v;
    fail(QStringLiteral("'%1' is not a valid floating point value").arg(text));
}

qint32 integerPart(double value)
{
    return clampToInt32(std::trunc(value));
}

qint32 scaledInteger(double value, double factor)
{
    // The product rounded to 15 significant digits (printf's "%.15g", which
    // to_chars writes without printf's cost and locale), read back exactly.
    char text[64];
    const double product = value * factor;
    const auto [end, error]
        = std::to_chars(text, text + sizeof text, product, std::chars_format::general, 15);
    if (error != std::errc())
        return clampToInt32(std::trunc(product));
    double rounded = 0;
    if (std::from_chars(text, end, rounded).ec != std::errc())
        return clampToInt32(std::trunc(product)); // not finite: nothing was rounded
    return clampToInt32(std::trunc(rounded));
}

QString formatNumber(double value)
{
    if (value == 0)
        return QStringLiteral("0"); // also for -0
    return QString::number(value, 'g', 15);
}

QString systemDecimalSeparator()
{
    return QLocale::system().decimalPoint();
}

} // namespace ReadingText
