// SPDX-License-Identifier: MIT
#pragma once

#include "models/common/LcdDisplayState.h"

#include <array>

// Every element of the KM50/KM60 panel: name, design-time caption (nullptr for
// the two pictures), visible before the first frame, hidden by DispInit(0).
// The enum and the element table are both generated from this one list, so an
// enumerator's value is always the index of the element with the same name.
// Order: Panel4, the memory panel Panel5, the secondary display Panel6, the
// main display.
#define KM50_ELEMENTS(X)                                                                           \
    X(LCDHold, u"\"", true, true)                                                                  \
    X(LcdAuto, u"AUTO", true, true)                                                                \
    X(ol1, u"}  1", true, true)                                                                    \
    X(ol2, u"}   2", true, true)                                                                   \
    X(ol3, u"}   3", true, true)                                                                   \
    X(rsUSB, u"USB", true, true)                                                                   \
    X(wsg, u"%W", true, true)                                                                      \
    X(power, nullptr, true, true)                                                                  \
    X(dc1, u"AC", true, true)                                                                      \
    X(freq, u"FREQ", true, true)                                                                   \
    X(f1, u"?", true, true)                                                                        \
    X(Lab0, u"\u00B0", false, true)                                                                \
    X(pg, u"PG", true, true)                                                                       \
    X(kvar1, u"KVAr", true, true)                                                                  \
    X(Labmr, u"MR", true, true)                                                                    \
    X(Labclr, u"CLR", true, true)                                                                  \
    X(Labcal, u"CAL", true, true)                                                                  \
    X(Labtemp, u"TEMP", true, true)                                                                \
    X(Labmax, u"MAX", true, true)                                                                  \
    X(Labmin, u"MIN", true, true)                                                                  \
    X(c, u"#", true, true)                                                                         \
    X(pf, u"PF", true, true)                                                                       \
    X(kwh, u"KWh", true, true)                                                                     \
    X(kvar, u" KVAr", true, true)                                                                  \
    X(labMEM, u"MEM", true, true)                                                                  \
    X(LabFUL, u"FUL", false, true)                                                                 \
    X(stor1, u"8", true, false)                                                                    \
    X(stor2, u"8", true, false)                                                                    \
    X(Labtime, u"Time   mm:ss", true, true)                                                        \
    X(T_LabelF, u"-", true, true)                                                                  \
    X(H_Time1, u"8", true, false)                                                                  \
    X(T_Point1, u".", true, true)                                                                  \
    X(H_Time2, u"8", true, false)                                                                  \
    X(T_Point2, u".", true, true)                                                                  \
    X(M_Time1, u"8", true, false)                                                                  \
    X(T_Point3, u".", true, true)                                                                  \
    X(M_Time2, u"8", true, false)                                                                  \
    X(LabelF, u"-", true, true)                                                                    \
    X(labac, u"AC", true, true)                                                                    \
    X(danger, nullptr, true, true)                                                                 \
    X(LabelA, u"8", true, false)                                                                   \
    X(Point1, u".", true, true)                                                                    \
    X(LabelB, u"8", true, false)                                                                   \
    X(Point2, u".", true, true)                                                                    \
    X(LabelC, u"8", true, false)                                                                   \
    X(Point3, u".", true, true)                                                                    \
    X(LabelD, u"8", true, false)

enum class Km50Element { KM50_ELEMENTS(LCD_ELEMENT_ENUMERATOR) };
inline constexpr int km50ElementCount = 0 KM50_ELEMENTS(LCD_ELEMENT_COUNT);
inline constexpr std::array<LcdElementInfo, km50ElementCount> km50Elements { { KM50_ELEMENTS(
    LCD_ELEMENT_INFO) } };

// The decoded state of the KM50/KM60 LCD: visibility and caption of every
// element, starting with the look before the first frame.
class Km50Display : public LcdDisplay<Km50Element>
{
public:
    Km50Display();

    // Blanking with mode 0: hides every annunciator, decimal point, unit and mode
    // element (the "USB" mark included). Captions stay, and the digit elements
    // (main, secondary, memory) keep their text and visibility. Other modes do
    // nothing.
    void DispInit(int mode);

    // Whether DispInit(0) hides this element.
    static bool isBlanked(Km50Element element);
};
