// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <array>

// Texts of single LCD characters. A decoder sets a dozen one-character texts per
// frame; sharing static text for the ASCII range keeps that free of allocations.
namespace LcdTexts {

namespace detail {
inline constexpr auto asciiTexts = [] {
    std::array<std::array<char16_t, 2>, 128> texts {};
    for (size_t i = 0; i < texts.size(); ++i)
        texts[i] = { char16_t(i), u'\0' };
    return texts;
}();
} // namespace detail

// The text of one character; 0 stands for an empty (unlit) digit.
inline QString character(char16_t c)
{
    if (c == 0)
        return QString();
    if (c < detail::asciiTexts.size())
        return QString::fromRawData(
            reinterpret_cast<const QChar *>(detail::asciiTexts[c].data()), 1);
    return QString(QChar(c));
}

// Digits shown for an overloaded row: empty, "0", "@", empty ("0@" reads as OL).
inline constexpr std::array<char16_t, 4> overloadDigits { 0, u'0', u'@', 0 };
inline constexpr std::array<char16_t, 4> zeroDigits { u'0', u'0', u'0', u'0' };

// Four frame characters from a 1-based position.
inline std::array<char16_t, 4> digitsAt(const QString &frame, int firstPosition)
{
    std::array<char16_t, 4> digits {};
    for (int i = 0; i < 4; ++i)
        digits[size_t(i)] = frame[firstPosition - 1 + i].unicode();
    return digits;
}

// The four digits a value row shows: the overload mark when the row is
// overloaded (it wins over the zero marker), 0000 when zeroed, else the four
// frame characters from firstPosition.
inline std::array<char16_t, 4> rowDigits(
    const QString &frame, int firstPosition, bool overload, bool zeroed)
{
    if (overload)
        return overloadDigits;
    if (zeroed)
        return zeroDigits;
    return digitsAt(frame, firstPosition);
}

} // namespace LcdTexts
