// SPDX-License-Identifier: MIT
#include "hid/SystemHidChangeNotifier.h"

#include <QSocketNotifier>

#ifdef KM_HAVE_LIBUDEV
#include <libudev.h>
#endif

std::unique_ptr<UdevHidMonitor> UdevHidMonitor::create()
{
#ifdef KM_HAVE_LIBUDEV
    udev *context = udev_new();
    if (!context)
        return nullptr;
    udev_monitor *monitor = udev_monitor_new_from_netlink(context, "udev");
    if (!monitor || udev_monitor_filter_add_match_subsystem_devtype(monitor, "hidraw", nullptr) < 0
        || udev_monitor_enable_receiving(monitor) < 0 || udev_monitor_get_fd(monitor) < 0) {
        if (monitor)
            udev_monitor_unref(monitor);
        udev_unref(context);
        return nullptr;
    }
    return std::unique_ptr<UdevHidMonitor>(new UdevHidMonitor(context, monitor));
#else
    return nullptr;
#endif
}

UdevHidMonitor::UdevHidMonitor(udev *context, udev_monitor *monitor)
    : HidChangeNotifier(nullptr)
    , m_udev(context)
    , m_monitor(monitor)
    , m_notifier(nullptr)
{
#ifdef KM_HAVE_LIBUDEV
    m_notifier = new QSocketNotifier(udev_monitor_get_fd(m_monitor), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &UdevHidMonitor::drain);
#endif
}

UdevHidMonitor::~UdevHidMonitor()
{
#ifdef KM_HAVE_LIBUDEV
    delete m_notifier;
    udev_monitor_unref(m_monitor);
    udev_unref(m_udev);
#endif
}

void UdevHidMonitor::drain()
{
#ifdef KM_HAVE_LIBUDEV
    // The monitor's socket does not block: take every waiting event.
    bool any = false;
    while (udev_device *device = udev_monitor_receive_device(m_monitor)) {
        udev_device_unref(device);
        any = true;
    }
    if (any)
        Q_EMIT changed();
#endif
}

std::unique_ptr<HidChangeNotifier> createSystemHidChangeNotifier()
{
    if (std::unique_ptr<UdevHidMonitor> monitor = UdevHidMonitor::create())
        return monitor;
    return std::make_unique<HidPollingNotifier>();
}
