// SPDX-License-Identifier: MIT
#include "hid/HidBackend.h"

#include <cerrno>

quint32 hidDeviceGoneError()
{
#ifdef Q_OS_WIN
    return 1167; // ERROR_DEVICE_NOT_CONNECTED
#else
    return ENODEV;
#endif
}
