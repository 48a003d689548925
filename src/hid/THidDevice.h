// SPDX-License-Identifier: MIT
#pragma once

#include "hid/EControllerError.h"
#include "hid/HidBackend.h"
#include "hid/HidEvents.h"
#include "hid/THidPnPInfo.h"

#include <QByteArrayView>
#include <QString>

#include <memory>

class THidDeviceController;
class THidDeviceReadThread;

// One HID interface present in the system (or that was, until Unplug).
//
// The controller creates a device for every interface it finds and owns the
// devices nobody has claimed. ClaimDevice hands one out; the claimer owns it
// until it destroys it, which hands the slot back to the controller (a fresh
// unclaimed device takes its place while the interface is present).
class THidDevice
{
public:
    // Opens the interface read-write, or query-only where that is refused, and
    // reads its attributes. Throws EControllerError "device cannot be opened"
    // or "device cannot be identified".
    THidDevice(std::unique_ptr<THidPnPInfo> info, THidDeviceController *controller);
    ~THidDevice();
    Q_DISABLE_COPY_MOVE(THidDevice)

    // Identity.
    const THidPnPInfo &DeviceInfo() const { return *m_deviceInfo; }
    HIDD_ATTRIBUTES Attributes() const { return m_attributes; }
    // The product string, cached once read (at most 254 UTF-16 units); empty
    // when it could not be read, and then asked for again next time.
    QString ProductText();
    // The serial-number string, cached once read; empty when there is none or
    // when it only repeats the language list (string index 0).
    QString SerialText();

    // State.
    bool Present() const { return m_present; }
    bool Claimed() const { return m_claimed; }
    bool InHandler() const { return m_inHandler; }
    // Present and (Claimed or InHandler): every open after creation needs it.
    bool Accessible() const { return m_present && (m_claimed || m_inHandler); }
    // Whether the last open got read and write access.
    bool CanReadWrite() const { return m_canReadWrite; }
    THidDeviceController *Controller() const { return m_controller; }
    // The running read thread, or null.
    THidDeviceReadThread *ReadThread() const { return m_readThread; }

    // Sends a feature report (byte 0 is the report ID) on the main handle,
    // which stays open afterwards. False when the device cannot be opened or
    // the system refuses the report.
    bool SendFeature(QByteArrayView report);

    // Installing a handler starts reading when the device is claimed, present
    // and read-write; removing it (an empty handler) stops reading first.
    const THidDataEvent &DataHandler() const { return m_dataHandler; }
    void setDataHandler(const THidDataEvent &handler);
    const THidDataErrorEvent &DataErrorHandler() const { return m_dataErrorHandler; }
    void setDataErrorHandler(const THidDataErrorEvent &handler) { m_dataErrorHandler = handler; }
    // Called once when the device leaves the system, then cleared.
    const THidPlugEvent &UnplugHandler() const { return m_unplugHandler; }
    void setUnplugHandler(const THidPlugEvent &handler) { m_unplugHandler = handler; }

    // How long the read thread waits in one slice, and so at most how late it
    // notices a stop. Taken only within 10 ... 10000 ms.
    qint32 SleepTime() const { return m_sleepTime; }
    void setSleepTime(qint32 ms);

    // The main handle (read-write, or query-only). OpenMain needs Accessible.
    bool OpenMain();
    void CloseMain();
    bool MainOpen() const { return bool(m_mainHandle); }

    // Read-thread control; StartReading starts a thread only when a handler is
    // set and the device is present, claimed and read-write.
    void StartReading();
    void StopReading();

    // Called by the controller when the interface has left the system.
    void Unplug();

private:
    friend class THidDeviceController;

    static constexpr qint32 kDefaultSleepTime = 100;

    bool openMainHandle();
    void closeHandles() { CloseMain(); }

    THidDeviceController *m_controller;
    const std::shared_ptr<HidBackend> m_backend;
    std::unique_ptr<THidPnPInfo> m_deviceInfo;
    std::unique_ptr<HidHandle> m_mainHandle;
    HIDD_ATTRIBUTES m_attributes;
    QString m_productText;
    QString m_serialText;
    qint32 m_sleepTime = kDefaultSleepTime;
    THidDataEvent m_dataHandler;
    THidDataErrorEvent m_dataErrorHandler;
    THidPlugEvent m_unplugHandler;
    THidDeviceReadThread *m_readThread = nullptr;
    bool m_present = true;
    bool m_claimed = false;
    bool m_inHandler = false;
    bool m_canReadWrite = false;
    bool m_stopping = false;
    // Expires when the device is destroyed, so that the controller can tell
    // whether a handler it called destroyed the device.
    const std::shared_ptr<char> m_alive = std::make_shared<char>();
};
