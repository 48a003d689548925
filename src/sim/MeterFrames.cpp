// SPDX-License-Identifier: MIT
#include "sim/MeterFrames.h"

namespace {

QChar hexChar(int nibble)
{
    return QChar(u"0123456789ABCDEF"[nibble & 0xF]);
}

int nibble(bool b0, bool b1, bool b2, bool b3)
{
    return (b0 ? 1 : 0) | (b1 ? 2 : 0) | (b2 ? 4 : 0) | (b3 ? 8 : 0);
}

// Four characters, padded with "0" or cut, so that a frame always has its length.
QString fourDigits(const QString &digits)
{
    return digits.left(4).leftJustified(4, u'0');
}

QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(qBound(0, value, 99), 2, 10, QChar(u'0'));
}

} // namespace

QString MeterStatus::digits() const
{
    QString s;
    s += hexChar(nibble(battery, false, minus, highVoltage));
    s += hexChar(nibble(secondOverload, mainOverload, max, min));
    s += hexChar(nibble(hold, clr, false, mem));
    s += hexChar(nibble(sum, mark3, mark2, mark1));
    return s;
}

QString Km90Frame::frameDigits() const
{
    QString f;
    f.reserve(26);
    f += QChar(u'0' + qBound(0, function, 9));
    f += u'0';
    f += zeroMarker ? u'B' : u'0';
    f += fourDigits(mainDigits);
    f += QChar(u'0' + qBound(0, mainPoint, 9));
    f += fourDigits(voltageDigits);
    f += QChar(u'0' + qBound(0, voltagePoint, 9));
    f += fourDigits(currentDigits);
    f += QChar(u'0' + qBound(0, currentPoint, 9));
    f += twoDigits(memory);
    f += status.digits();
    f += QStringLiteral("DA");
    return f;
}

QByteArray Km90Frame::bytes() const
{
    return frameBytesFromDigits(frameDigits());
}

QString Km50Frame::frameDigits() const
{
    QString f;
    f.reserve(21);
    f += QChar(u'0' + qBound(0, function, 9));
    f += voltageRange;
    f += zeroMarker ? u'B' : u'0';
    f += fourDigits(mainDigits);
    f += QChar(u'0' + qBound(0, mainPoint, 9));
    f += fourDigits(secondaryDigits);
    f += QChar(u'0' + qBound(0, secondaryPoint, 9));
    f += twoDigits(memory);
    f += status.digits();
    f += QStringLiteral("DA");
    return f;
}

QByteArray Km50Frame::bytes() const
{
    return frameBytesFromDigits(frameDigits());
}

QByteArray frameBytesFromDigits(const QString &frameDigits)
{
    QByteArray bytes;
    bytes.reserve(frameDigits.size());
    for (QChar c : frameDigits) {
        const char16_t u = c.unicode();
        int value = 0;
        if (u >= u'0' && u <= u'9')
            value = u - u'0';
        else if (u >= u'A' && u <= u'F')
            value = u - u'A' + 10;
        else if (u >= u'a' && u <= u'f')
            value = u - u'a' + 10;
        bytes.append(char(0x30 | value));
    }
    if (frameDigits.endsWith(QStringLiteral("DA"))) {
        bytes[bytes.size() - 2] = '\r';
        bytes[bytes.size() - 1] = '\n';
    }
    return bytes;
}
