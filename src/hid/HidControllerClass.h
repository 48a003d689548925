// SPDX-License-Identifier: MIT
#pragma once

#include "hid/HidBackend.h"
#include "hid/HidChangeNotifier.h"
#include "hid/HidEvent.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <vector>

// The USB HID device layer: the HID interfaces present in the system
// (THidDeviceController), one interface (THidDevice) with its plug-and-play
// record (THidPnPInfo) and its read thread (THidDeviceReadThread).
//
// Everything here is used from the main thread only, except the inside of a
// read thread. A read thread hands every report and every failed read to the
// main thread and waits until the handler has returned, so handlers run on the
// main thread, one at a time, in read order.

class THidDevice;
class THidDeviceController;

// Raised when a controller or a device cannot be created. The texts are fixed:
// "Only one THidDeviceController allowed per program", "device cannot be
// opened", "device cannot be identified".
class EControllerError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Data is valid only during the call; it holds Size bytes after the report ID.
using THidDataEvent
    = THidEvent<void(THidDevice *HidDev, quint8 ReportID, const quint8 *Data, quint16 Size)>;
// Error is a system error code (an errno value on Linux and macOS).
using THidDataErrorEvent = THidEvent<void(THidDevice *HidDev, quint32 Error)>;
using THidPlugEvent = THidEvent<void(THidDevice *HidDev)>;
// Returns true to go on with the next device.
using THidEnumerateEvent = THidEvent<bool(THidDevice *HidDev, qint32 Idx)>;
using THidNotifyEvent = THidEvent<void(THidDeviceController *Sender)>;

// The plug-and-play record of one interface: the identity the controller
// matches devices by, and the path it is opened by.
struct THidPnPInfo
{
    QString DevInst;
    QString DevicePath;
};

// Reads input reports of one device and hands each one to the main thread.
//
// The hand-over is the only thing the read thread shares with the main thread:
// the thread posts a call to the main thread and waits until the main thread
// has run the handler. A stop from the main thread runs hand-overs that are
// already posted while it waits for the thread to end, so it never deadlocks.
// A handler that throws is caught at the hand-over and reading goes on.
//
// The read handle belongs to the thread object: opened by the main thread
// before the start, used by the read thread alone, closed when the object is
// destroyed after the thread has ended.
class THidDeviceReadThread : public QThread
{
    Q_OBJECT
public:
    THidDeviceReadThread(THidDevice *device, std::shared_ptr<HidBackend> backend,
        std::unique_ptr<HidHandle> readHandle, quint32 openError, qint32 sleepTime);
    ~THidDeviceReadThread() override;

    // The device it reads for; empty once the device has let go of the thread.
    THidDevice *device() const { return m_device; }

    // Main thread.
    void setSleepTime(qint32 ms);
    // The device has left: its handle is not read again, every further read
    // request fails with hidDeviceGoneError().
    void deviceGone();
    // Hand-overs from now on reach no device.
    void forgetDevice() { m_device = nullptr; }
    // Runs a posted hand-over now; false when none is waiting.
    bool runPendingHandOver();
    // Ends the thread: runs posted hand-overs until the thread has ended and
    // returns true; the caller then destroys the object. Called from inside
    // one of this thread's own handlers, the thread cannot end before that
    // handler returns; then it is told to stop, let go of its device, and
    // deletes itself once it has ended; the result is false.
    bool finishOrDetach();

protected:
    void run() override;

private:
    enum class HandOver { None, Data, Error };

    void handOver(HandOver kind); // read thread: post and wait
    void deliver(HandOver kind, THidDevice *device);
    void pauseAfterFailure();
    void requestStop();
    void serviceUntilEnded();

    THidDevice *m_device;
    const std::shared_ptr<HidBackend> m_backend; // outlives the handle
    const std::unique_ptr<HidHandle> m_readHandle;
    const quint32 m_openError;
    std::atomic<qint32> m_sleepTime;
    std::atomic<bool> m_gone { false };

    // Read thread only (read by the main thread during a hand-over).
    QByteArray m_Report;
    quint16 m_BytesRead = 0;
    quint32 m_LastError = 0;

    // The hand-over.
    std::mutex m_mutex;
    std::condition_variable m_cv;
    HandOver m_posted = HandOver::None;
    bool m_running = false; // a handler of this thread is running on the main thread
    bool m_stop = false;
    bool m_ended = false;
};

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
    const THidPnPInfo &DeviceInfo() const { return *m_DeviceInfo; }
    HIDD_ATTRIBUTES Attributes() const { return m_Attributes; }
    // The product string, cached once read (at most 254 UTF-16 units); empty
    // when it could not be read, and then asked for again next time.
    QString ProductText();
    // The serial-number string, cached once read; empty when there is none or
    // when it only repeats the language list (string index 0).
    QString SerialText();

    // State.
    bool Present() const { return m_Present; }
    bool Claimed() const { return m_Claimed; }
    bool InHandler() const { return m_InHandler; }
    // Present and (Claimed or InHandler): every open after creation needs it.
    bool Accessible() const { return m_Present && (m_Claimed || m_InHandler); }
    // Whether the last open got read and write access.
    bool CanReadWrite() const { return m_CanReadWrite; }
    THidDeviceController *Controller() const { return m_controller; }
    // The running read thread, or null.
    THidDeviceReadThread *ReadThread() const { return m_ReadThread; }

    // Sends a feature report (byte 0 is the report ID) on the main handle,
    // which stays open afterwards. False when the device cannot be opened or
    // the system refuses the report.
    bool SendFeature(QByteArrayView report);

    // Installing a handler starts reading when the device is claimed, present
    // and read-write; removing it (an empty handler) stops reading first.
    const THidDataEvent &DataHandler() const { return m_DataHandler; }
    void setDataHandler(const THidDataEvent &handler);
    const THidDataErrorEvent &DataErrorHandler() const { return m_DataErrorHandler; }
    void setDataErrorHandler(const THidDataErrorEvent &handler) { m_DataErrorHandler = handler; }
    // Called once when the device leaves the system, then cleared.
    const THidPlugEvent &UnplugHandler() const { return m_UnplugHandler; }
    void setUnplugHandler(const THidPlugEvent &handler) { m_UnplugHandler = handler; }

    // How long the read thread waits in one slice, and so at most how late it
    // notices a stop. Taken only within 10 ... 10000 ms.
    qint32 SleepTime() const { return m_SleepTime; }
    void setSleepTime(qint32 ms);

    // The main handle (read-write, or query-only). OpenMain needs Accessible.
    bool OpenMain();
    void CloseMain();
    bool MainOpen() const { return bool(m_MainHandle); }

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
    std::unique_ptr<THidPnPInfo> m_DeviceInfo;
    std::unique_ptr<HidHandle> m_MainHandle;
    HIDD_ATTRIBUTES m_Attributes;
    QString m_ProductText;
    QString m_SerialText;
    qint32 m_SleepTime = kDefaultSleepTime;
    THidDataEvent m_DataHandler;
    THidDataErrorEvent m_DataErrorHandler;
    THidPlugEvent m_UnplugHandler;
    THidDeviceReadThread *m_ReadThread = nullptr;
    bool m_Present = true;
    bool m_Claimed = false;
    bool m_InHandler = false;
    bool m_CanReadWrite = false;
    bool m_stopping = false;
    // Expires when the device is destroyed, so that the controller can tell
    // whether a handler it called destroyed the device.
    const std::shared_ptr<char> m_alive = std::make_shared<char>();
};

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
    const QList<THidDevice *> &DeviceList() const { return m_DeviceList; }

    // Calls OnEnumerate for each present device in list order, with its list
    // index; stops when the handler returns false, or after the first device
    // when there is no handler. Returns the number of devices visited.
    qint32 EnumerateDevices();

    // Hands out the device at Idx if there is one and nobody has claimed it,
    // and starts its reading when it has a data handler and read-write access.
    // Destroying the returned device hands it back.
    [[nodiscard]] std::unique_ptr<THidDevice> ClaimDevice(qint32 Idx);

    qint32 DevThreadSleepTime() const { return m_DevThreadSleepTime; }
    void setDevThreadSleepTime(qint32 ms);

    const THidPlugEvent &OnArrival() const { return m_OnArrival; }
    void setOnArrival(const THidPlugEvent &handler) { m_OnArrival = handler; }
    const THidEnumerateEvent &OnEnumerate() const { return m_OnEnumerate; }
    void setOnEnumerate(const THidEnumerateEvent &handler) { m_OnEnumerate = handler; }
    // Attaching a different handler runs DeviceChange at once; the first
    // attachment always reports a change.
    const THidNotifyEvent &OnDeviceChange() const { return m_OnDeviceChange; }
    void setOnDeviceChange(const THidNotifyEvent &handler);
    // These three pass the new handler on to every device that still carries
    // the current one.
    const THidDataEvent &OnDeviceData() const { return m_OnDeviceData; }
    void setOnDeviceData(const THidDataEvent &handler);
    const THidDataErrorEvent &OnDeviceDataError() const { return m_OnDeviceDataError; }
    void setOnDeviceDataError(const THidDataErrorEvent &handler);
    const THidPlugEvent &OnDeviceUnplug() const { return m_OnDeviceUnplug; }
    void setOnDeviceUnplug(const THidPlugEvent &handler);
    const THidPlugEvent &OnRemoval() const { return m_OnRemoval; }
    void setOnRemoval(const THidPlugEvent &handler) { m_OnRemoval = handler; }

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
    QList<THidDevice *> m_DeviceList;
    qint32 m_DevThreadSleepTime = 100;
    THidPlugEvent m_OnArrival;
    THidEnumerateEvent m_OnEnumerate;
    THidNotifyEvent m_OnDeviceChange;
    THidDataEvent m_OnDeviceData;
    THidDataErrorEvent m_OnDeviceDataError;
    THidPlugEvent m_OnDeviceUnplug;
    THidPlugEvent m_OnRemoval;
    bool m_ChangeReported = false;
    bool m_inDeviceChange = false;
    bool m_changeAgain = false;
};
