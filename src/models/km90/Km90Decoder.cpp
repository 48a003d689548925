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

#include "models/common/DecoderSupport.h"
#include "models/common/LcdTexts.h"
#include "models/km90/Km90GaugeScales.h"

#include <algorithm>
#include <array>

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

// One of the three value rows: where its four digits stand (its point code
// follows them) and the elements that show them.
struct ValueRow
{
    int firstPosition;
    std::array<E, 4> digits;
    std::array<E, 3> points; // after the first, second and third digit
};

constexpr ValueRow mainRow { 4, { E::LabelA, E::LabelB, E::LabelC, E::LabelD },
    { E::Point1, E::Point2, E::Point3 } };
constexpr ValueRow voltageRow { 9, { E::LCDAA, E::LCDBB, E::LCDCC, E::LCDDD },
    { E::point11, E::point22, E::point33 } };
constexpr ValueRow currentRow { 14, { E::H_Time1, E::H_Time2, E::M_Time1, E::M_Time2 },
    { E::T_Point1, E::T_Point2, E::T_Point3 } };

// What a frame says about one row beyond its digits.
struct RowMarks
{
    bool overload = false; // show the overload mark instead of the digits
    bool zeroed = false; // show 0000 instead of the digits
    bool negative = false; // the value text starts with a minus
};

// Shows one row's digits, then reads its point code (a letter there ends the
// frame with the digits shown). Codes 0-3 write the row's value text and set
// its three points; codes 4-9 keep the value text and leave the points as they
// are.
void decodeRow(Km90Display &display, const QString &frame, const ValueRow &row,
    const RowMarks &marks, QString &value, const QString &separator)
{
    const std::array<char16_t, 4> digits
        = LcdTexts::rowDigits(frame, row.firstPosition, marks.overload, marks.zeroed);
    setDigits(display, row.digits, digits);
    const int pointPosition = row.firstPosition + 4;
    const int point = ReadingText::decimalDigit(frame[pointPosition - 1]);
    if (buildValue(value, marks.negative, digits, point, separator))
        setPoints(display, point, row.points);
}

} // namespace

Km90Decoder::Km90Decoder(DecoderOutputs &outputs, CurrentReading &reading, QString localeDecimal)
    : MeterDecoder(outputs, reading, std::move(localeDecimal))
{ }

void Km90Decoder::ShowData50(const QString &frame)
{
    requireFrameLength(frame, km90FrameLength, "KM90");
    const auto at = [&frame](int position) { return frame[position - 1]; };

    // The link indicator goes on, the panel is blanked and the "USB" mark is on
    // for every decoded frame; the modes start cleared.
    beginFrame(m_outputs, m_display);
    bool PfMode = false;
    bool SumMode = false;

    const int function = ReadingText::decimalDigit(at(1));
    const FrameStatus status = readStatus(frame, 21);

    // Memory location number.
    showMemory(m_display, frame, 19);

    // Sign of the main reading.
    const bool negative = status.s1 & 0x4;
    if (negative)
        m_display.show(E::LabelF);

    // Main row: the overload mark wins over the zero marker; the point code
    // writes Value.
    const bool MainOverload = status.s2 & 0x2;
    decodeRow(m_display, frame, mainRow,
        { .overload = MainOverload, .zeroed = at(3) == u'B', .negative = negative },
        m_reading.Value, m_localeDecimal);

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

    // Annunciators; the current row's digits are always on.
    showStatusMarks(m_display, status, SumMode);
    for (E e : { E::H_Time1, E::H_Time2, E::M_Time1, E::M_Time2 })
        m_display.show(e);

    // Voltage row: overload mark or digits, no sign. Only its three points are
    // not blanked: codes 4-9 leave them as they were.
    decodeRow(m_display, frame, voltageRow, { .overload = bool(status.s2 & 0x1) },
        m_reading.V_Value, m_localeDecimal);

    // Current row: digits only, no overload and no sign.
    decodeRow(m_display, frame, currentRow, {}, m_reading.I_Value, m_localeDecimal);

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
            announceScale(m_outputs, scale, AxisOrder::MinimumFirst);
        }
    }
    m_previousUnit = m_reading.Unit;
}
