// SPDX-License-Identifier: MIT
#pragma once

// The USB HID device layer: the HID interfaces present in the system
// (THidDeviceController), one interface (THidDevice) with its plug-and-play
// record (THidPnPInfo) and its read thread (THidDeviceReadThread), the
// handler types (HidEvents.h) and the error raised when a controller or a
// device cannot be created (EControllerError).
//
// Everything here is used from the main thread only, except the inside of a
// read thread. A read thread hands every report and every failed read to the
// main thread and waits until the handler has returned, so handlers run on the
// main thread, one at a time, in read order.
//
// This chief header includes the header of every class of the layer; each
// class has its own header, named after it.

#include "hid/EControllerError.h"
#include "hid/HidBackend.h"
#include "hid/HidChangeNotifier.h"
#include "hid/HidEvent.h"
#include "hid/HidEvents.h"
#include "hid/THidDevice.h"
#include "hid/THidDeviceController.h"
#include "hid/THidDeviceReadThread.h"
#include "hid/THidPnPInfo.h"
