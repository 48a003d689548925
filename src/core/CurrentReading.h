// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// The reading a decoder leaves behind for recording. Every field is text, exactly
// as the meter's digits were received (with the locale's decimal separator
// inserted), or "OL" for an overloaded main reading. The KM50_60 decoder only
// writes Value and Unit; the voltage and current fields stay empty there.
struct CurrentReading
{
    QString Value = QStringLiteral("0000");
    QString Unit;
    QString V_Value;
    QString V_Unit;
    QString I_Value;
    QString I_Unit;
};
