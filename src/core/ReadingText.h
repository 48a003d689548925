// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// Number reading for frame characters and value texts. Every reader either
// returns a value or throws ConversionError, so a decoder can stop a frame at
// exactly the step that read the bad character.
namespace ReadingText {

// A frame character read as one decimal digit ("0".."9").
int decimalDigit(QChar c);

// A frame character read as one hexadecimal digit ("0".."9", "A".."F", either case).
int hexNibble(QChar c);

// Two frame characters read together as a two-digit decimal number.
int twoDigitDecimal(QChar tens, QChar units);

// A value text read as a number. Only an optional "-", then digits with at most
// one separator between two digits, is a number: "-0.500", "123.4", "0000".
// A hexadecimal letter, "0@", "OL", an exponent, blanks or a dangling separator
// are not. An empty separator means the text must be plain digits.
std::optional<double> parseValue(QStringView text, QStringView separator);

// parseValue() or ConversionError.
double valueNumber(QStringView text, QStringView separator);

// The value truncated toward zero, clamped to the 32-bit range.
qint32 integerPart(double value);

// The scaled integer of a value: value * factor written with 15 significant
// digits, and that text truncated toward zero. Rounding to 15 digits first makes
// 0.856 * 1000 give 856 rather than 855. Clamped to the 32-bit range.
qint32 scaledInteger(double value, double factor);

// Text of a number with up to 15 significant digits and a full stop, as the
// diagnostics print chart values: 1000, -0.5, 0.856, 123.4.
QString formatNumber(double value);

// Decimal separator of the system locale (QLocale::system()).
QString systemDecimalSeparator();

} // namespace ReadingText
