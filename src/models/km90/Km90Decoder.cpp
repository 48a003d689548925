// SPDX-License-Identifier: MIT
//
// KM90 frame: 26 FrameDigits characters, one upper-case hex digit per frame byte
// (the byte's low nibble). Positions count from 1.
//
//   pos    meaning                              read as
//   1      function code                        decimal digit (table below)
//   2      -                                    ignored
//   3      main-row zero marker                 "B" forces the main digits to 0000
//   4-7    main digits, most significant first  shown as they are
//   8      main point                           decimal digit: 1 after the 3rd digit,
//                                               2 after the 2nd, 3 after the 1st,
//                                               0 none, 4-9 none and Value kept
//   9-12   voltage digits (row 2)               shown as they are
//   13     voltage point                        as position 8
//   14-17  current digits (row 3)               shown as they are
//   18     current point                        as position 8
//   19-20  memory location number               two decimal digits, 0-99
//   21     S1   bit0 battery      bit1 -          bit2 minus sign   bit3 high voltage
//   22     S2   bit0 row-2 ovl.   bit1 main ovl.  bit2 MAX          bit3 MIN
//   23     S3   bit0 HOLD         bit1 CLR        bit2 -            bit3 MEM
//   24     S4   bit0 sum mark     bit1 mark 3     bit2 mark 2       bit3 mark 1
//   25-26  "D" "A"                              frame end (CR LF on the wire)
//
//   function  quantity          Unit    gauge scale   value axis
//   0         active power      KW      0 (+-600)     +-1000
//   1         apparent power    KVA     0             +-1000
//   2         reactive power    KVAr    0             +-1000
//   3         power factor      PF      3 (+-1)       +-1
//   4         phase angle       o       1 (+-360)     +-400
//   5         frequency         Hz      0             +-1000
//   6, 8, 9   -                 kept    kept          kept
//   7         sum display       kept    kept          kept (display only)
#include "models/km90/Km90Decoder.h"

#include "core/ConversionError.h"
#include "models/common/DecoderSupport.h"
#include "models/common/LcdTexts.h"
#include "models/km90/Km90GaugeScales.h"

#include <QVarLengthArray>

#include <algorithm>
#include <limits>

namespace {

using E = Km90Element;

constexpr int km90FrameLength = Km90Decoder::FrameLength;

constexpr UnitScale unitScales[] = {
    { u"KVAr", 0, 1000 },
    { u"KW", 0, 1000 },
    { u"KVA", 0, 1000 },
    { u"Hz", 0, 1000 },
    { u"PF", 3, 1 },
    { u"o", 1, 400 },
};

// Writes text into target unless it is already there. setUnicode() reuses the
// target's own buffer, so a steady run of frames does not allocate for the
// reading (assigning a literal would drop the buffer and the next frame would
// allocate a new one).
void assignText(QString &target, QStringView text)
{
    if (target != text)
        target.setUnicode(text.data(), text.size());
}

// A row's value text: four digit characters (0 for an unlit digit) with the
// separator at the point position; false when the point code keeps the old text.
bool buildValue(QString &target, bool negative, const std::array<char16_t, 4> &digits, int point,
    const QString &separator)
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

void setDigits(
    Km90Display &display, const std::array<E, 4> &elements, const std::array<char16_t, 4> &digits)
{
    for (size_t i = 0; i < 4; ++i)
        display.setText(elements[i], LcdTexts::character(digits[i]));
}

} // namespace

Km90Decoder::Km90Decoder(DecoderOutputs &outputs, CurrentReading &reading, QString localeDecimal)
    : m_outputs(outputs)
    , m_reading(reading)
    , m_localeDecimal(std::move(localeDecimal))
{ }

void Km90Decoder::ShowData50(const QString &frame)
{
    if (frame.size() != km90FrameLength) {
        throw ConversionError(QStringLiteral("a KM90 frame has %1 characters, not %2")
                                  .arg(km90FrameLength)
                                  .arg(frame.size()));
    }
    const auto at = [&frame](int position) { return frame[position - 1]; };

    // The link indicator goes on; the modes start cleared.
    m_outputs.LinkOn();
    bool PfMode = false;
    bool SumMode = false;

    // Blank the panel; the "USB" mark is on for every decoded frame.
    m_display.DispInit(0);
    m_outputs.DispInit(0);
    m_display.show(E::rsUSB);

    const int function = ReadingText::decimalDigit(at(1));
    const int s1 = ReadingText::hexNibble(at(21));
    const int s2 = ReadingText::hexNibble(at(22));
    const int s3 = ReadingText::hexNibble(at(23));
    const int s4 = ReadingText::hexNibble(at(24));

    // Memory location number.
    const int memory = ReadingText::twoDigitDecimal(at(19), at(20));
    if (memory >= 99)
        m_display.show(E::LabFUL);
    m_display.setText(E::stor1, LcdTexts::character(at(19).unicode()));
    m_display.setText(E::stor2, LcdTexts::character(at(20).unicode()));

    // Sign of the main reading.
    const bool negative = s1 & 0x4;
    if (negative)
        m_display.show(E::LabelF);

    // Main digits: the overload mark wins over the zero marker.
    const bool MainOverload = s2 & 0x2;
    std::array<char16_t, 4> main;
    if (MainOverload)
        main = LcdTexts::overloadDigits;
    else if (at(3) == u'B')
        main = LcdTexts::zeroDigits;
    else
        main = LcdTexts::digitsAt(frame, 4);
    setDigits(m_display, { E::LabelA, E::LabelB, E::LabelC, E::LabelD }, main);

    // Main point and Value.
    const int mainPoint = ReadingText::decimalDigit(at(8));
    if (buildValue(m_reading.Value, negative, main, mainPoint, m_localeDecimal)) {
        if (mainPoint == 1)
            m_display.show(E::Point3);
        else if (mainPoint == 2)
            m_display.show(E::Point2);
        else if (mainPoint == 3)
            m_display.show(E::Point1);
    }

    // The reading as a number, read once: the gauge, the bar and the chart all
    // use it. An overloaded reading is not read.
    double value = 0;
    qint32 WholeReading = 0;
    if (!MainOverload) {
        value = ReadingText::valueNumber(m_reading.Value, m_localeDecimal);
        WholeReading = ReadingText::integerPart(value);
    }

    // Function code.
    switch (function) {
    case 0:
        m_reading.Unit = QStringLiteral("KW");
        m_display.setText(E::kwh, QStringLiteral("KW"));
        m_display.show(E::kwh);
        m_display.show(E::AC);
        m_display.hide(E::cos_dis);
        break;
    case 1:
    case 2:
        m_reading.Unit = function == 1 ? QStringLiteral("KVA") : QStringLiteral("KVAr");
        m_display.setText(E::kvar, m_reading.Unit);
        m_display.show(E::kvar);
        m_display.show(E::AC);
        m_display.hide(E::cos_dis);
        break;
    case 3:
        m_reading.Unit = QStringLiteral("PF");
        m_display.setText(E::cos_dis, QStringLiteral("Cos"));
        m_display.show(E::cos_dis);
        m_display.hide(E::AC);
        PfMode = true;
        break;
    case 4:
        m_reading.Unit = QStringLiteral("o");
        m_display.show(E::Lab0);
        m_display.setText(E::cos_dis, QString()); // its visibility stays as it was
        break;
    case 5:
        m_reading.Unit = QStringLiteral("Hz");
        m_display.hide(E::cos_dis);
        break;
    case 7:
        SumMode = true;
        break;
    default: // 6, 8, 9: no quantity; unit, scale and range of the frame before stay
        break;
    }
    if (function <= 5) {
        m_display.show(E::LcdAuto);
        m_display.setText(E::KVA, QStringLiteral("V"));
        m_display.setText(E::kvar1, QStringLiteral("A"));
        m_display.show(E::kvar1);
        for (E e : { E::THD, E::PEAK, E::PEAK1, E::PEAK2, E::KW, E::labelff })
            m_display.hide(e);
        m_display.setVisible(E::hz, function == 5);
        m_reading.V_Unit = QStringLiteral("v");
        m_reading.I_Unit = QStringLiteral("A");
    }

    // Annunciators.
    m_display.setVisible(E::power, s1 & 0x1);
    m_display.setVisible(E::danger, s1 & 0x8);
    m_display.setVisible(E::Labmin, s2 & 0x8);
    m_display.setVisible(E::Labmax, s2 & 0x4);
    m_display.setVisible(E::LCDHold, s3 & 0x1);
    m_display.setVisible(E::labMEM, s3 & 0x8);
    m_display.setVisible(E::Labclr, s3 & 0x2);
    m_display.setText(E::wsg, SumMode ? QStringLiteral("\u2211W") : QStringLiteral("\u2211"));
    m_display.setVisible(E::wsg, s4 & 0x1);
    m_display.setVisible(E::ol3, s4 & 0x2);
    m_display.setVisible(E::ol2, s4 & 0x4);
    m_display.setVisible(E::ol1, s4 & 0x8);
    m_display.hide(E::Labtime);
    for (E e : { E::H_Time1, E::H_Time2, E::M_Time1, E::M_Time2 })
        m_display.show(e);

    // Voltage row: overload mark or digits, no sign.
    const bool Row2Overload = s2 & 0x1;
    const std::array<char16_t, 4> voltage
        = Row2Overload ? LcdTexts::overloadDigits : LcdTexts::digitsAt(frame, 9);
    setDigits(m_display, { E::LCDAA, E::LCDBB, E::LCDCC, E::LCDDD }, voltage);
    const int voltagePoint = ReadingText::decimalDigit(at(13));
    if (buildValue(m_reading.V_Value, false, voltage, voltagePoint, m_localeDecimal)) {
        // Only these three points are not blanked; codes 4-9 leave them as they were.
        m_display.setVisible(E::point33, voltagePoint == 1);
        m_display.setVisible(E::point22, voltagePoint == 2);
        m_display.setVisible(E::point11, voltagePoint == 3);
    }

    // Current row: digits only, no overload and no sign.
    const std::array<char16_t, 4> current = LcdTexts::digitsAt(frame, 14);
    setDigits(m_display, { E::H_Time1, E::H_Time2, E::M_Time1, E::M_Time2 }, current);
    const int currentPoint = ReadingText::decimalDigit(at(18));
    if (buildValue(m_reading.I_Value, false, current, currentPoint, m_localeDecimal)) {
        if (currentPoint == 1)
            m_display.show(E::T_Point3);
        else if (currentPoint == 2)
            m_display.show(E::T_Point2);
        else if (currentPoint == 3)
            m_display.show(E::T_Point1);
    }

    switchScaleOnUnitChange();

    // Gauge, level bar and chart value, all from the number read above; the sum
    // display only updates the panel.
    double PlotValue = value;
    if (!SumMode) {
        const qint32 scaled = PfMode && !MainOverload ? ReadingText::scaledInteger(value, 1000) : 0;

        // Needle: an overload sits at the end of its sign.
        qint64 position;
        if (MainOverload)
            position = negative ? 0 : 10 * qint64(m_scale.Step);
        else if (PfMode)
            position = qint64(scaled) + m_scale.ZeroOffset;
        else
            position = qint64(m_scale.ZeroOffset) + WholeReading;
        m_outputs.KDrun(clampToInt(position));

        // Level bar: the size of the reading, never empty; full on overload.
        m_outputs.BarMax(m_scale.BarMax);
        const qint32 size = PfMode ? scaled : clampToInt(qAbs(qint64(WholeReading)));
        m_outputs.BarPos(MainOverload ? m_scale.BarMax : std::max(size, 1));

        if (MainOverload) {
            const double end = PfMode ? 1.0 : double(m_scale.FullScale);
            PlotValue = negative ? -end : end;
        }
    }

    // An overloaded reading is recorded as "OL", also in the sum display.
    if (MainOverload)
        assignText(m_reading.Value, u"OL");

    if (!SumMode) {
        m_outputs.INDataToTable(1);
        m_outputs.AddValue(PlotValue);
    }

    // The phi sign follows "Cos".
    m_display.setVisible(E::Image1, m_display.isVisible(E::cos_dis));
}

void Km90Decoder::switchScaleOnUnitChange()
{
    if (m_reading.Unit != m_previousUnit) {
        if (const UnitScale *found = findUnitScale(unitScales, m_reading.Unit)) {
            const UnitScale &scale = *found;
            SelectGaugeScale(m_scale, km90GaugeScales, scale.index);
            m_outputs.SelectGaugeScale(scale.index);
            m_outputs.KDsetup();
            m_outputs.SetValueMinimum(-scale.maximum);
            m_outputs.SetValueMaximum(scale.maximum);
        }
    }
    m_previousUnit = m_reading.Unit;
}
