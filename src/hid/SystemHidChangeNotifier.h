// SPDX-License-Identifier: MIT
#pragma once

#include "hid/HidChangeNotifier.h"

#include <memory>

struct udev;
struct udev_monitor;
class QSocketNotifier;

// Watches udev for hidraw nodes that come and go. Events come from the "udev"
// source, after udev's rules have run, so a new node already carries the
// permissions the rules give it. All events waiting at one wake-up are taken
// together and reported as one change.
class UdevHidMonitor : public HidChangeNotifier
{
    Q_OBJECT
public:
    // Null where udev cannot be used (not built in, or no udev at run time).
    static std::unique_ptr<UdevHidMonitor> create();
    ~UdevHidMonitor() override;

private:
    UdevHidMonitor(udev *context, udev_monitor *monitor);
    void drain();

    udev *m_udev;
    udev_monitor *m_monitor;
    QSocketNotifier *m_notifier;
};

// The change notification of this system: the udev monitor where it works,
// otherwise re-enumeration every 2 s.
std::unique_ptr<HidChangeNotifier> createSystemHidChangeNotifier();
