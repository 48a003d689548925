// SPDX-License-Identifier: MIT
#pragma once

#include "models/common/LcdDisplayState.h"

#include <array>

// Every element of the KM90 panel: name, start-up text (nullptr for pictures),
// visible before the first frame, hidden by DispInit(0). The enum and the
// element table are both generated from this one list, so an enumerator's value
// is always the index of the element with the same name. Order: the panel
// itself, the memory group Panel5, the main digit group, the voltage group
// Panel8, the current group Panel6.
#define KM90_ELEMENTS(X)                                                                           \
    X(danger, nullptr, true, true)                                                                 \
    X(Labcal, u"CAL", true, true)                                                                  \
    X(rsUSB, u"USB", true, true)                                                                   \
    X(LCDHold, u"\"", true, true)                                                                  \
    X(RST, nullptr, true, true)                                                                    \
    X(power, nullptr, true, true)                                                                  \
    X(Labmr, u"MR", true, true)                                                                    \
    X(Labclr, u"CLR", true, true)                                                                  \
    X(ol1, u"}  1", true, true)                                                                    \
    X(ol2, u"}   2", true, true)                                                                   \
    X(ol3, u"}   3", true, true)                                                                   \
    X(wsg, u"%W", true, true)                                                                      \
    X(Lab0, u"\u00B0", true, true)                                                                 \
    X(hz, u"Hz", true, false)                                                                      \
    X(PEAK, u"PEAK", true, false)                                                                  \
    X(kvar, u" KVAr", true, true)                                                                  \
    X(kwh, u"KWh", true, true)                                                                     \
    X(LcdAuto, u"AUTO", true, true)                                                                \
    X(Labmax, u"MAX", true, true)                                                                  \
    X(Labmin, u"MIN", true, true)                                                                  \
    X(KW, u"KW", true, false)                                                                      \
    X(PEAK2, u"PEAK", true, false)                                                                 \
    X(KVA, u"KVA", true, false)                                                                    \
    X(THD, u"%THD", true, false)                                                                   \
    X(PEAK1, u"PEAK1", true, false)                                                                \
    X(kvar1, u"KVAr", true, true)                                                                  \
    X(LabFUL, u"FUL", true, true)                                                                  \
    X(labMEM, u"MEM", true, true)                                                                  \
    X(stor1, u"8", true, false)                                                                    \
    X(stor2, u"8", true, false)                                                                    \
    X(AC, nullptr, true, false)                                                                    \
    X(LabelF, u"-", true, true)                                                                    \
    X(LabelA, u"8", true, false)                                                                   \
    X(Point1, u".", true, true)                                                                    \
    X(LabelB, u"8", true, false)                                                                   \
    X(Point2, u".", true, true)                                                                    \
    X(LabelC, u"8", true, false)                                                                   \
    X(Point3, u".", true, true)                                                                    \
    X(LabelD, u"8", true, false)                                                                   \
    X(cos_dis, u"Cos", true, false)                                                                \
    X(Image1, nullptr, false, false)                                                               \
    X(AC1, nullptr, true, false)                                                                   \
    X(labelff, u"-", true, true)                                                                   \
    X(LCDAA, u"8", true, false)                                                                    \
    X(point11, u".", true, false)                                                                  \
    X(LCDBB, u"8", true, false)                                                                    \
    X(point22, u".", true, false)                                                                  \
    X(LCDCC, u"8", true, false)                                                                    \
    X(point33, u".", true, false)                                                                  \
    X(LCDDD, u"8", true, false)                                                                    \
    X(Labtime, u"Time h:mm:s", true, true)                                                         \
    X(AC2, nullptr, true, false)                                                                   \
    X(T_LabelF, u"-", true, true)                                                                  \
    X(H_Time1, u"8", true, false)                                                                  \
    X(T_Point1, u".", true, true)                                                                  \
    X(H_Time2, u"8", true, false)                                                                  \
    X(T_Point2, u".", true, true)                                                                  \
    X(T_dPoint1, u":", false, true)                                                                \
    X(M_Time1, u"8", true, false)                                                                  \
    X(T_Point3, u".", true, true)                                                                  \
    X(M_Time2, u"8", true, false)

enum class Km90Element { KM90_ELEMENTS(LCD_ELEMENT_ENUMERATOR) };
inline constexpr int km90ElementCount = 0 KM90_ELEMENTS(LCD_ELEMENT_COUNT);
inline constexpr std::array<LcdElementInfo, km90ElementCount> km90Elements { { KM90_ELEMENTS(
    LCD_ELEMENT_INFO) } };

// The decoded state of the KM90 LCD: visibility and text of every element,
// starting with the all-segments look before the first frame.
class Km90Display : public LcdDisplay<Km90Element>
{
public:
    Km90Display();

    // Blanking with mode 0: hides the annunciators, signs, main and current-row
    // points, units and the marks no frame shows again. It changes no text and
    // leaves every other element alone (the digits, the voltage-row points,
    // cos_dis, AC, Image1, the KVA unit, hz, PEAK, THD, KW). Other modes do nothing.
    void DispInit(int mode);

    // Whether DispInit(0) hides this element.
    static bool isBlanked(Km90Element element);
};
