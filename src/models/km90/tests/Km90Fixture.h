// SPDX-License-Identifier: MIT
#pragma once

// KM90 frames and expectations that several tests use (the decoder's, the
// panel's) and the panel snapshot tool shows.

#include "models/km90/Km90Display.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace Km90Fixture {

// Active power 123.4 KW at 230.1 V and 5.360 A, memory 05, battery low.
inline const QString power = QStringLiteral("000123412301153603051000DA");
// Power factor -0.500 at 229.8 V and 12.50 A, memory 00.
inline const QString powerFactor = QStringLiteral("300050032298112502004000DA");
// Main overload with minus, HOLD, memory 12 (after a power frame: still KW).
inline const QString overloadHeld = QStringLiteral("000999902301153603124210DA");

// The elements that show digits: the main, voltage and current rows and the
// memory number.
inline const QList<Km90Element> digitElements { Km90Element::LabelA, Km90Element::LabelB,
    Km90Element::LabelC, Km90Element::LabelD, Km90Element::LCDAA, Km90Element::LCDBB,
    Km90Element::LCDCC, Km90Element::LCDDD, Km90Element::H_Time1, Km90Element::H_Time2,
    Km90Element::M_Time1, Km90Element::M_Time2, Km90Element::stor1, Km90Element::stor2 };

inline QStringList digitNames()
{
    QStringList names;
    for (Km90Element e : digitElements)
        names << QString::fromLatin1(km90Elements[size_t(e)].name);
    return names;
}

} // namespace Km90Fixture
