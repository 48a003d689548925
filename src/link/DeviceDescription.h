// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// The text the device list shows for a HID device: its product string, or
// "Device VID=1A86 PID=E008" when it has none, followed by " (Serial=…)" when
// it has a serial number. The interface cable is the line that reads exactly
// cableDescription().
inline QString deviceDescription(
    const QString &product, const QString &serial, quint16 vendorId, quint16 productId)
{
    QString text = product;
    if (text.isEmpty()) {
        const auto hex4
            = [](quint16 v) { return QString::number(v, 16).toUpper().rightJustified(4, u'0'); };
        text = QStringLiteral("Device VID=") + hex4(vendorId) + QStringLiteral(" PID=")
            + hex4(productId);
    }
    if (!serial.isEmpty())
        text += QStringLiteral(" (Serial=") + serial + u')';
    return text;
}

inline QString cableDescription()
{
    return QStringLiteral("USB to Serial");
}
