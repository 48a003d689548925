// SPDX-License-Identifier: MIT
#pragma once

#include "hid/EControllerError.h"
#include "hid/HidBackend.h"
#include "hid/HidChangeNotifier.h"
#include "hid/HidEvents.h"
#include "hid/THidDevice.h"
#include "hid/THidPnPInfo.h"

#include <QList>
#include <QObject>

#include <memory>
#include <vector>

// The HID interfaces present in the system. Only one controller may exist at a
// time. It lists the interfaces at creation, runs DeviceChange whenever its
// notifier reports a possible change (on the main thread), and reports
// arrivals, removals and the change itself through its handlers.
class THidDeviceController : public QObject
{
    Q_OBJECT
public:
    // Throws EControllerError "Only one THidDeviceController allowed per
    // program" while another controller exists. Without HID support (no
    // backend, or one that is not available) the device list stays empty and
    // the notifier is not watched.
    explicit THidDeviceController(std::shared_ptr<HidBackend> backend,
        std::unique_ptr<HidChangeNotifier> notifier = {}, QObject *owner = nullptr);
    ~THidDeviceController() override;

    bool HidSupported() const { return m_hidSupported; }
    const std::shared_ptr<HidBackend> &backend() const { return m_backend; }

    // The devices in list order: every unclaimed device (owned here) and every
    // claimed one that has not been destroyed yet.
    const QList<THidDevice *> &DeviceList() const { return m_deviceList; }

    // Calls OnEnumerate for each present device in list order, with its list
    // index; stops when the handler returns false, or after the first device
    // when there is no handler. Returns the number of devices visited.
    qint32 EnumerateDevices();

    // Hands out the device at Idx if there is one and nobody has claimed it,
    // and starts its reading when it has a data handler and read-write access.
    // Destroying the returned device hands it back.
    [[nodiscard]] std::unique_ptr<THidDevice> ClaimDevice(qint32 Idx);

    qint32 DevThreadSleepTime() const { return m_devThreadSleepTime; }
    void setDevThreadSleepTime(qint32 ms);

    const THidPlugEvent &OnArrival() const { return m_onArrival; }
    void setOnArrival(const THidPlugEvent &handler) { m_onArrival = handler; }
    const THidEnumerateEvent &OnEnumerate() const { return m_onEnumerate; }
    void setOnEnumerate(const THidEnumerateEvent &handler) { m_onEnumerate = handler; }
    // Attaching a different handler runs DeviceChange at once; the first
    // attachment always reports a change.
    const THidNotifyEvent &OnDeviceChange() const { return m_onDeviceChange; }
    void setOnDeviceChange(const THidNotifyEvent &handler);
    // These three pass the new handler on to every device that still carries
    // the current one.
    const THidDataEvent &OnDeviceData() const { return m_onDeviceData; }
    void setOnDeviceData(const THidDataEvent &handler);
    const THidDataErrorEvent &OnDeviceDataError() const { return m_onDeviceDataError; }
    void setOnDeviceDataError(const THidDataErrorEvent &handler);
    const THidPlugEvent &OnDeviceUnplug() const { return m_onDeviceUnplug; }
    void setOnDeviceUnplug(const THidPlugEvent &handler);
    const THidPlugEvent &OnRemoval() const { return m_onRemoval; }
    void setOnRemoval(const THidPlugEvent &handler) { m_onRemoval = handler; }

public Q_SLOTS:
    // Matches the present interfaces against the list by instance identity:
    // departures (Unplug, OnRemoval, unclaimed ones leave the list), survivors
    // (kept), arrivals (appended, OnArrival); then OnDeviceChange if anything
    // changed. A call made while a pass is running (from one of its handlers)
    // runs as a further pass once the current one is done.
    void DeviceChange();

private:
    friend class THidDevice;

    using DeviceBatch = std::vector<std::unique_ptr<THidDevice>>;
    class InHandlerScope;

    DeviceBatch FillDeviceList();
    void changePass();
    void destroyOwned(THidDevice *device);
    // Called by a device being destroyed while it is linked to this controller.
    void handBack(THidDevice *device, std::unique_ptr<THidPnPInfo> info,
        const THidDataEvent &dataHandler, const THidPlugEvent &unplugHandler, qint32 sleepTime);

    static int s_count;

    const std::shared_ptr<HidBackend> m_backend;
    const bool m_hidSupported;
    std::unique_ptr<HidChangeNotifier> m_notifier;
    QList<THidDevice *> m_deviceList;
    qint32 m_devThreadSleepTime = 100;
    THidPlugEvent m_onArrival;
    THidEnumerateEvent m_onEnumerate;
    THidNotifyEvent m_onDeviceChange;
    THidDataEvent m_onDeviceData;
    THidDataErrorEvent m_onDeviceDataError;
    THidPlugEvent m_onDeviceUnplug;
    THidPlugEvent m_onRemoval;
    bool m_changeReported = false;
    bool m_inDeviceChange = false;
    bool m_changeAgain = false;
};
