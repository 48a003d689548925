// SPDX-License-Identifier: MIT
#pragma once

#include "core/ConversionError.h"
#include "core/ReadingText.h"
#include "models/common/DecoderOutputs.h"
#include "models/common/LcdDisplayState.h"
#include "models/common/LcdTexts.h"

#include <QLatin1StringView>
#include <QString>
#include <QStringView>
#include <QVarLengthArray>
#include <QtGlobal>

#include <algorithm>
#include <array>
#include <limits>
#include <span>

// Small pieces both decoders use. The display steps are templates over the
// meter's display state: they name elements that both panels have under the
// same names (rsUSB, stor1, LabFUL, the status marks).

// v, held inside the 32-bit range (gauge positions and bar sizes are 32-bit).
constexpr qint32 clampToInt(qint64 v)
{
    return qint32(std::clamp<qint64>(
        v, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
}

// Refuses a frame that is not length characters long, before anything changes.
inline void requireFrameLength(const QString &frame, int length, const char *meter)
{
    if (frame.size() != length) {
        throw ConversionError(QStringLiteral("a %1 frame has %2 characters, not %3")
                                  .arg(QLatin1StringView(meter), QString::number(length),
                                      QString::number(frame.size())));
    }
}

// What every frame starts with: the link indicator goes on, the panel is
// blanked (and the blanking reported), and the "USB" mark lights.
template<typename Display>
void beginFrame(DecoderOutputs &outputs, Display &display)
{
    using Element = typename Display::Element;
    outputs.LinkOn();
    display.DispInit(0);
    outputs.DispInit(0);
    display.show(Element::rsUSB);
}

// The four status nibbles S1..S4 that stand before a frame's "DA". Both meters
// put the same marks at the same bits (see the position table of a decoder).
struct FrameStatus
{
    int s1;
    int s2;
    int s3;
    int s4;
};

// Reads S1..S4 from four positions starting at firstPosition (1-based); a
// character that is not a hex digit throws ConversionError.
inline FrameStatus readStatus(const QString &frame, int firstPosition)
{
    const auto nibble = [&frame, firstPosition](
                            int i) { return ReadingText::hexNibble(frame[firstPosition - 1 + i]); };
    return { nibble(0), nibble(1), nibble(2), nibble(3) };
}

// The memory location number at firstPosition and the one after it: read as a
// number before either digit is shown (a letter throws first), FUL from 99 on,
// then each digit shown as it is.
template<typename Display>
void showMemory(Display &display, const QString &frame, int firstPosition)
{
    using Element = typename Display::Element;
    const QChar tens = frame[firstPosition - 1];
    const QChar units = frame[firstPosition];
    const int memory = ReadingText::twoDigitDecimal(tens, units);
    if (memory >= 99)
        display.show(Element::LabFUL);
    display.setText(Element::stor1, LcdTexts::character(tens.unicode()));
    display.setText(Element::stor2, LcdTexts::character(units.unicode()));
}

// The marks S1..S4 switch on or off, the sum mark with its text (sumMode for a
// sum display), and the time caption, which no frame shows.
template<typename Display>
void showStatusMarks(Display &display, const FrameStatus &status, bool sumMode)
{
    using Element = typename Display::Element;
    display.setVisible(Element::power, status.s1 & 0x1);
    display.setVisible(Element::danger, status.s1 & 0x8);
    display.setVisible(Element::Labmin, status.s2 & 0x8);
    display.setVisible(Element::Labmax, status.s2 & 0x4);
    display.setVisible(Element::LCDHold, status.s3 & 0x1);
    display.setVisible(Element::labMEM, status.s3 & 0x8);
    display.setVisible(Element::Labclr, status.s3 & 0x2);
    display.setText(Element::wsg, sumMode ? QStringLiteral("\u2211W") : QStringLiteral("\u2211"));
    display.setVisible(Element::wsg, status.s4 & 0x1);
    display.setVisible(Element::ol3, status.s4 & 0x2);
    display.setVisible(Element::ol2, status.s4 & 0x4);
    display.setVisible(Element::ol1, status.s4 & 0x8);
    display.hide(Element::Labtime);
}

// Four digit characters (0 for an unlit digit) into four digit elements.
template<typename Element>
void setDigits(LcdDisplay<Element> &display, const std::array<Element, 4> &elements,
    const std::array<char16_t, 4> &digits)
{
    for (size_t i = 0; i < 4; ++i)
        display.setText(elements[i], LcdTexts::character(digits[i]));
}

// The points of a row of four digits for a point code: 3 lights the point after
// the first digit (points[0]), 2 after the second, 1 after the third; 0 none.
// Codes 0-3 switch the other two off; codes 4-9 leave all three as they are.
template<typename Element>
void setPoints(LcdDisplay<Element> &display, int point, const std::array<Element, 3> &points)
{
    if (point > 3)
        return;
    display.setVisible(points[0], point == 3);
    display.setVisible(points[1], point == 2);
    display.setVisible(points[2], point == 1);
}

// Writes text into target unless it is already there. setUnicode() reuses the
// target's own buffer, so a steady run of frames does not allocate for the
// reading (assigning a literal would drop the buffer and the next frame would
// allocate a new one).
inline void assignText(QString &target, QStringView text)
{
    if (target != text)
        target.setUnicode(text.data(), text.size());
}

// A row's value text: four digit characters (0 for an unlit digit) with the
// separator at the point position; false when the point code keeps the old text.
inline bool buildValue(QString &target, bool negative, const std::array<char16_t, 4> &digits,
    int point, const QString &separator)
{
    if (point > 3)
        return false;
    QVarLengthArray<QChar, 16> text;
    if (negative)
        text.append(u'-');
    for (int i = 0; i < 4; ++i) {
        if (digits[size_t(i)] != 0)
            text.append(QChar(digits[size_t(i)]));
        // Point 3 follows the first digit, 2 the second, 1 the third.
        if (point != 0 && i == 3 - point)
            text.append(separator.constData(), separator.size());
    }
    assignText(target, QStringView(text.constData(), text.size()));
    return true;
}

// The gauge scale and value-axis range a decoder chooses when the unit text of
// the main reading changes.
struct UnitScale
{
    QStringView unit;
    int index; // gauge scale
    double maximum; // the value axis runs from -maximum to maximum
};

// The entry of scales for unit, compared exactly; nullptr when there is none.
constexpr const UnitScale *findUnitScale(std::span<const UnitScale> scales, QStringView unit)
{
    for (const UnitScale &scale : scales) {
        if (scale.unit == unit)
            return &scale;
    }
    return nullptr;
}

// Which end of the value axis a decoder sets first after a scale switch. The
// two meters' decoders make these calls in opposite orders; the chart and the
// recorded call logs see the order, so each decoder keeps its own.
enum class AxisOrder { MinimumFirst, MaximumFirst };

// Reports a switch to scale: the scale row, the dial redraw, then the value
// axis range in the given order.
inline void announceScale(DecoderOutputs &outputs, const UnitScale &scale, AxisOrder order)
{
    outputs.SelectGaugeScale(scale.index);
    outputs.KDsetup();
    if (order == AxisOrder::MinimumFirst) {
        outputs.SetValueMinimum(-scale.maximum);
        outputs.SetValueMaximum(scale.maximum);
    } else {
        outputs.SetValueMaximum(scale.maximum);
        outputs.SetValueMinimum(-scale.maximum);
    }
}
