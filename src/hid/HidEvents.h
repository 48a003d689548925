// SPDX-License-Identifier: MIT
#pragma once

#include "hid/HidEvent.h"

#include <QtGlobal>

class THidDevice;
class THidDeviceController;

// The handler types of the HID device layer (see THidEvent in HidEvent.h).

// Data is valid only during the call; it holds Size bytes after the report ID.
using THidDataEvent
    = THidEvent<void(THidDevice *HidDev, quint8 ReportID, const quint8 *Data, quint16 Size)>;
// Error is a system error code (an errno value on Linux and macOS).
using THidDataErrorEvent = THidEvent<void(THidDevice *HidDev, quint32 Error)>;
using THidPlugEvent = THidEvent<void(THidDevice *HidDev)>;
// Returns true to go on with the next device.
using THidEnumerateEvent = THidEvent<bool(THidDevice *HidDev, qint32 Idx)>;
using THidNotifyEvent = THidEvent<void(THidDeviceController *Sender)>;
