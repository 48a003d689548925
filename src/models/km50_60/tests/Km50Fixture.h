// SPDX-License-Identifier: MIT
#pragma once

// KM50/KM60 frames and expectations that several tests use (the decoder's, the
// display's, the panel's).

#include "models/km50_60/Km50Display.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace Km50Fixture {

// Temperature 1300 ℃, secondary display 0000, memory 00.
inline const QString temperature1300 = QStringLiteral("6001300000004000000DA");
// Sum power -0.600 with 1121 on the secondary display, MEM and the sum sign.
inline const QString sumPower = QStringLiteral("7000600311210004081DA");

// The elements that show digits: the main display, the memory count and the
// secondary display.
inline const QList<Km50Element> digitElements { Km50Element::LabelA, Km50Element::LabelB,
    Km50Element::LabelC, Km50Element::LabelD, Km50Element::stor1, Km50Element::stor2,
    Km50Element::H_Time1, Km50Element::H_Time2, Km50Element::M_Time1, Km50Element::M_Time2 };

inline QStringList digitNames()
{
    QStringList names;
    for (Km50Element e : digitElements)
        names << QString::fromLatin1(km50Elements[size_t(e)].name);
    return names;
}

} // namespace Km50Fixture
