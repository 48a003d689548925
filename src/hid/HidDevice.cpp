// SPDX-License-Identifier: MIT
#include "hid/HidControllerClass.h"

#include <array>
#include <utility>

namespace {

// String queries ask for at most 508 bytes: 254 UTF-16 units.
constexpr qsizetype kStringUnits = 254;

// A string as a zeroed 254-unit buffer would hold it.
std::array<char16_t, kStringUnits> zeroedBuffer(const QString &text)
{
    std::array<char16_t, kStringUnits> buffer {};
    const qsizetype n = std::min(text.size(), kStringUnits);
    for (qsizetype i = 0; i < n; ++i)
        buffer[size_t(i)] = text.at(i).unicode();
    return buffer;
}

// The text of a buffer up to its terminating zero (at most 254 units).
QString textOf(const std::array<char16_t, kStringUnits> &buffer)
{
    qsizetype n = 0;
    while (n < kStringUnits && buffer[size_t(n)] != 0)
        ++n;
    return QString(reinterpret_cast<const QChar *>(buffer.data()), n);
}

bool sleepTimeAccepted(qint32 ms)
{
    return ms >= 10 && ms <= 10000;
}

} // namespace

THidDevice::THidDevice(std::unique_ptr<THidPnPInfo> info, THidDeviceController *controller)
    : m_controller(controller)
    , m_backend(controller->backend())
    , m_DeviceInfo(std::move(info))
{
    // The controller's handlers; the data handler through the setter, which
    // starts nothing because the device is not claimed.
    setSleepTime(controller->DevThreadSleepTime());
    setDataHandler(controller->OnDeviceData());
    m_UnplugHandler = controller->OnDeviceUnplug();
    m_DataErrorHandler = controller->OnDeviceDataError();

    if (!openMainHandle())
        throw EControllerError("device cannot be opened");
    const std::optional<HIDD_ATTRIBUTES> attributes = m_MainHandle->attributes();
    if (!attributes) {
        CloseMain();
        throw EControllerError("device cannot be identified");
    }
    m_Attributes = *attributes;
    m_Attributes.Size = 12;
    CloseMain();
}

THidDevice::~THidDevice()
{
    // What a fresh device for the same interface keeps.
    const THidDataEvent dataHandler = m_DataHandler;
    const THidPlugEvent unplugHandler = m_UnplugHandler;
    const qint32 sleepTime = m_SleepTime;

    // Destroyed by a handler that its own stop is running: the thread must not
    // hand anything more to this device.
    if (m_ReadThread && m_stopping)
        m_ReadThread->forgetDevice();
    setDataHandler({});
    m_UnplugHandler = {};
    CloseMain();
    if (THidDeviceController *controller = std::exchange(m_controller, nullptr))
        controller->handBack(this, std::move(m_DeviceInfo), dataHandler, unplugHandler, sleepTime);
}

bool THidDevice::openMainHandle()
{
    quint32 error = 0;
    m_MainHandle = m_backend->open(m_DeviceInfo->DevicePath, HidAccess::ReadWrite, &error);
    m_CanReadWrite = bool(m_MainHandle);
    if (!m_MainHandle)
        m_MainHandle = m_backend->open(m_DeviceInfo->DevicePath, HidAccess::QueryOnly, &error);
    return bool(m_MainHandle);
}

bool THidDevice::OpenMain()
{
    if (Accessible() && !m_MainHandle)
        openMainHandle();
    return bool(m_MainHandle);
}

void THidDevice::CloseMain()
{
    m_MainHandle.reset();
}

QString THidDevice::ProductText()
{
    if (m_ProductText.isEmpty() && OpenMain()) {
        if (const std::optional<QString> product = m_MainHandle->productString())
            m_ProductText = textOf(zeroedBuffer(*product));
        CloseMain();
    }
    return m_ProductText;
}

QString THidDevice::SerialText()
{
    if (!m_SerialText.isEmpty() || !OpenMain())
        return m_SerialText;

    if (const std::optional<QString> serial = m_MainHandle->serialNumberString()) {
        const auto S = zeroedBuffer(*serial);
        if (!m_MainHandle->canReadIndexedStrings()) {
            // Nothing to compare with: take the serial number as read.
            m_SerialText = textOf(S);
        } else {
            // The language list (index 0) in a buffer of 0xFFFF units, so that
            // we can see how much of it the query wrote.
            std::array<char16_t, kStringUnits> L;
            L.fill(0xFFFF);
            if (const std::optional<QString> list = m_MainHandle->indexedString(0)) {
                const qsizetype n = std::min(list->size(), kStringUnits);
                for (qsizetype i = 0; i < n; ++i)
                    L[size_t(i)] = list->at(i).unicode();
                if (n < kStringUnits)
                    L[size_t(n)] = 0;
            }
            qsizetype length = 0;
            for (qsizetype i = kStringUnits - 1; i >= 0; --i) {
                if (L[size_t(i)] != 0xFFFF) {
                    length = L[size_t(i)] == 0 ? i : i + 1;
                    break;
                }
            }
            // A serial number that repeats the language list is no serial number.
            for (qsizetype i = 0; i < length; ++i) {
                if (S[size_t(i)] != L[size_t(i)]) {
                    m_SerialText = textOf(S);
                    break;
                }
            }
        }
    }
    CloseMain();
    return m_SerialText;
}

bool THidDevice::SendFeature(QByteArrayView report)
{
    if (!OpenMain())
        return false;
    return m_MainHandle->setFeature(report);
}

void THidDevice::setDataHandler(const THidDataEvent &handler)
{
    if (!handler)
        StopReading();
    m_DataHandler = handler;
    StartReading();
}

void THidDevice::setSleepTime(qint32 ms)
{
    if (!sleepTimeAccepted(ms))
        return;
    m_SleepTime = ms;
    if (m_ReadThread)
        m_ReadThread->setSleepTime(ms);
}

void THidDevice::StartReading()
{
    // m_stopping: a handler run by StopReading must not start a second thread
    // while the first one is still ending.
    if (!m_DataHandler || !m_Present || !m_Claimed || !m_CanReadWrite || m_ReadThread || m_stopping)
        return;
    quint32 error = hidDeviceGoneError();
    std::unique_ptr<HidHandle> readHandle;
    if (Accessible())
        readHandle = m_backend->open(m_DeviceInfo->DevicePath, HidAccess::Read, &error);
    m_ReadThread
        = new THidDeviceReadThread(this, m_backend, std::move(readHandle), error, m_SleepTime);
    m_ReadThread->start();
}

void THidDevice::StopReading()
{
    if (!m_ReadThread || m_stopping)
        return;
    m_stopping = true;
    THidDeviceReadThread *thread = m_ReadThread;
    const std::weak_ptr<char> alive = m_alive;
    const bool ended = thread->finishOrDetach();
    if (ended)
        delete thread;
    // A handler run while stopping may have destroyed this device.
    if (alive.expired())
        return;
    m_ReadThread = nullptr;
    m_stopping = false;
}

void THidDevice::Unplug()
{
    CloseMain();
    if (m_ReadThread)
        m_ReadThread->deviceGone();
    m_Present = false;
    // Cleared before the call, so that the handler may destroy the device.
    if (const THidPlugEvent handler = std::exchange(m_UnplugHandler, {}))
        handler(this);
}
