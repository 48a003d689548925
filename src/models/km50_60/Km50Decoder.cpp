// SPDX-License-Identifier: MIT
//
// KM50/KM60 frame: 21 FrameDigits characters, one upper-case hex digit per frame
// byte (the byte's low nibble). Positions count from 1.
//
//   pos    meaning                              read as
//   1      function code 0-9                    decimal digit
//   2      voltage range                        not interpreted
//   3      current range                        "B" forces the main digits to 0000
//   4-7    main digits A B C D                  shown as they are
//   8      main decimal point                   decimal digit: 1 before D, 2 before C,
//                                               3 before B, 0 and 4-9 none
//   9-12   secondary digits                     shown as they are; "B" at 9 forces 0000
//   13     secondary decimal point              decimal digit, as position 8
//                                               (not read in energy mode)
//   14-15  memory count, tens and units         each shown; together a decimal number
//   16     S1   bit0 battery      bit1 -        bit2 minus sign   bit3 high voltage
//   17     S2   bit0 sec. overl.  bit1 main ovl bit2 MAX          bit3 MIN
//   18     S3   bit0 HOLD         bit1 CLR      bit2 -            bit3 MEM
//   19     S4   bit0 sum sign     bit1 mark 3   bit2 mark 2       bit3 mark 1
//   20-21  "D" "A"                              end of frame (CR LF on the wire)
//
//   function  quantity                         Unit  mode
//   0         voltage, frequency secondary     V
//   1         current, voltage secondary       A
//   2         power                            KW
//   3         apparent, reactive secondary     KVA
//   4         power factor                     PF    power factor
//   5         energy                           KWh   energy (no secondary display)
//   6         temperature                      ℃     temperature
//   7         sum power                        kept  sum power (display and Value only)
//   8, 9      none                             kept
#include "models/km50_60/Km50Decoder.h"

#include "models/common/DecoderSupport.h"
#include "models/common/LcdTexts.h"
#include "models/km50_60/Km50GaugeScales.h"

#include <algorithm>
#include <array>

namespace {

using E = Km50Element;

constexpr int km50FrameLength = Km50Decoder::FrameLength;

constexpr UnitScale unitScales[] = {
    { u"V", 0, 600 },
    { u"KW", 0, 600 },
    { u"KVA", 0, 600 },
    { u"A", 1, 1000 },
    { u"KWh", 1, 1000 },
    { u"PF", 3, 1 },
    { u"\u2103", 2, 1300 },
};

} // namespace

Km50Decoder::Km50Decoder(DecoderOutputs &outputs, CurrentReading &reading, QString localeDecimal)
    : MeterDecoder(outputs, reading, std::move(localeDecimal))
{ }

void Km50Decoder::ShowData50(const QString &frame)
{
    requireFrameLength(frame, km50FrameLength, "KM50/60");
    const auto at = [&frame](int position) { return frame[position - 1]; };

    // The link indicator goes on, the panel is blanked and the "USB" mark is on
    // for every frame; the mode flags and the sign start cleared.
    beginFrame(m_outputs, m_display);
    bool temperatureMode = false;
    bool energyMode = false;
    bool powerFactorMode = false;
    bool sumPowerMode = false;
    bool negative = false;

    // Positions 20-21 hold "DA": the link passes no other frame, and they carry
    // nothing further, so they are not read.

    const int function = ReadingText::decimalDigit(at(1));
    const FrameStatus status = readStatus(frame, 16);

    // Memory count: read as a number before either digit is shown.
    showMemory(m_display, frame, 14);

    // Main digits A B C D.
    const std::array<char16_t, 4> main
        = LcdTexts::rowDigits(frame, 4, status.s2 & 0x2, at(3) == u'B');
    setDigits(m_display, { E::LabelA, E::LabelB, E::LabelC, E::LabelD }, main);

    if (status.s1 & 0x4) {
        negative = true;
        m_display.show(E::LabelF);
    }

    // Value: sign and digits with the locale's separator at the meter's point.
    // Point digits other than 0-3 show no point and keep the previous Value.
    const int mainPoint = ReadingText::decimalDigit(at(8));
    if (buildValue(m_reading.Value, negative, main, mainPoint, m_localeDecimal))
        setPoints(m_display, mainPoint, { E::Point1, E::Point2, E::Point3 });

    // B + C reading "0@" is the overload mark; such a Value is not a number.
    const bool overloadMark = main[1] == u'0' && main[2] == u'@';

    // Value read as a number once; every later step uses this.
    double value = 0;
    qint32 integerPart = 0;
    if (!overloadMark) {
        value = ReadingText::valueNumber(m_reading.Value, m_localeDecimal);
        integerPart = ReadingText::integerPart(value);
    }

    switch (function) {
    case 0:
        m_display.show(E::kvar1);
        m_display.show(E::kvar);
        m_display.show(E::freq);
        m_display.show(E::labac);
        m_display.setText(E::kvar1, QStringLiteral("Hz"));
        m_display.setText(E::kvar, QStringLiteral("V"));
        m_reading.Unit = QStringLiteral("V");
        break;
    case 1:
        m_display.show(E::dc1);
        m_display.show(E::labac);
        m_display.show(E::kvar1);
        m_display.show(E::kvar);
        m_display.setText(E::dc1, QStringLiteral("AC"));
        m_display.setText(E::kvar1, QStringLiteral("V"));
        m_display.setText(E::kvar, QStringLiteral("A"));
        m_reading.Unit = QStringLiteral("A");
        break;
    case 2:
        m_display.show(E::pg);
        m_display.show(E::labac);
        m_display.show(E::kwh);
        m_display.show(E::Lab0);
        m_display.setText(E::kwh, QStringLiteral("KW"));
        m_reading.Unit = QStringLiteral("KW");
        break;
    case 3:
        m_display.show(E::dc1);
        m_display.show(E::kvar1);
        m_display.show(E::labac);
        m_display.show(E::kvar);
        m_display.setText(E::dc1, QStringLiteral("AC"));
        m_display.setText(E::kvar1, QStringLiteral("KVAr"));
        m_display.setText(E::kvar, QStringLiteral("KVA"));
        m_reading.Unit = QStringLiteral("KVA");
        break;
    case 4:
        m_display.show(E::pg);
        m_display.show(E::pf);
        m_display.show(E::Lab0);
        m_reading.Unit = QStringLiteral("PF");
        powerFactorMode = true;
        break;
    case 5:
        m_display.show(E::labac);
        m_display.show(E::kwh);
        m_display.setText(E::kwh, QStringLiteral("KWh"));
        m_reading.Unit = QStringLiteral("KWh");
        energyMode = true;
        break;
    case 6:
        m_display.show(E::Labtemp);
        m_display.show(E::f1);
        m_display.show(E::c);
        m_reading.Unit = QStringLiteral("\u2103");
        temperatureMode = true;
        break;
    case 7:
        sumPowerMode = true;
        break;
    default: // 8 and 9: no quantity; the unit of the frame before stays
        break;
    }

    // Annunciators.
    showStatusMarks(m_display, status, sumPowerMode);

    // Secondary display: not used in energy mode.
    const bool secondaryShown = !energyMode;
    m_display.setVisible(E::H_Time1, secondaryShown);
    m_display.setVisible(E::H_Time2, secondaryShown);
    m_display.setVisible(E::M_Time1, secondaryShown);
    m_display.setVisible(E::M_Time2, secondaryShown);
    if (secondaryShown) {
        const std::array<char16_t, 4> secondary
            = LcdTexts::rowDigits(frame, 9, status.s2 & 0x1, at(9) == u'B');
        setDigits(m_display, { E::H_Time1, E::H_Time2, E::M_Time1, E::M_Time2 }, secondary);
        setPoints(m_display, ReadingText::decimalDigit(at(13)),
            { E::T_Point1, E::T_Point2, E::T_Point3 });
    }

    switchScaleOnUnitChange();

    // A sum-power frame only updates the display and Value.
    if (!sumPowerMode) {
        const qint32 fullSpan = clampToInt(10 * qint64(m_scale.Step));
        const qint32 powerFactorScaled
            = powerFactorMode && !overloadMark ? ReadingText::scaledInteger(value, 1000) : 0;
        const qint32 magnitude = clampToInt(qAbs(qint64(integerPart)));

        // Needle.
        qint64 position;
        if (overloadMark && negative)
            position = 0;
        else if (overloadMark)
            position = powerFactorMode ? 2000 : fullSpan;
        else if (powerFactorMode)
            position = qint64(powerFactorScaled) + m_scale.ZeroOffset;
        else if (temperatureMode)
            position = qint64(ReadingText::scaledInteger(value, integerPart < 1 ? 8 : 0.3))
                + m_scale.ZeroOffset;
        else
            position = qint64(m_scale.ZeroOffset) + integerPart;
        m_outputs.KDrun(clampToInt(position));

        // Level bar: the size of the reading, never empty.
        qint32 barMax;
        qint32 barPos;
        if (powerFactorMode) {
            barMax = m_scale.BarMax;
            barPos = overloadMark ? m_scale.BarMax : std::max(powerFactorScaled, 1);
        } else if (temperatureMode) {
            barMax = integerPart < 0 ? 50 : 1300;
            barPos = overloadMark ? 1300 : std::max(magnitude, 1);
        } else {
            barMax = m_scale.BarMax;
            barPos = overloadMark ? m_scale.BarMax : std::max(magnitude, 1);
        }
        m_outputs.BarMax(barMax);
        m_outputs.BarPos(barPos);

        // Chart point, plotted only when the reading would be recorded now.
        double y = value;
        if (overloadMark) {
            const double top = powerFactorMode ? 1.0
                : temperatureMode              ? 1310.0
                                               : double(m_scale.FullScale);
            const double bottom = powerFactorMode ? -1.0 : temperatureMode ? -45.0 : -top;
            y = negative ? bottom : top;
        }
        if (m_outputs.RecordingTest())
            m_outputs.AddValue(y);
    }

    if (overloadMark)
        assignText(m_reading.Value, u"OL");

    if (!sumPowerMode)
        m_outputs.INDataToTable(1);
}

void Km50Decoder::switchScaleOnUnitChange()
{
    if (m_reading.Unit != m_previousUnit) {
        if (const UnitScale *found = findUnitScale(unitScales, m_reading.Unit)) {
            const UnitScale &scale = *found;
            SelectGaugeScale(m_scale, km50GaugeScales, scale.index);
            announceScale(m_outputs, scale, AxisOrder::MaximumFirst);
        }
    }
    m_previousUnit = m_reading.Unit;
}
