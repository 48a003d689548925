// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// The plug-and-play record of one interface: the identity the controller
// matches devices by, and the path it is opened by.
struct THidPnPInfo
{
    QString DevInst;
    QString DevicePath;
};
