// SPDX-License-Identifier: MIT
#include "hid/THidDevice.h"

#include "hid/THidDeviceController.h"
#include "hid/THidDeviceReadThread.h"

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
    , m_deviceInfo(std::move(info))
{
    // The controller's handlers; the data handler through the setter, which
    // starts nothing because the device is not claimed.
    setSleepTime(controller->DevThreadSleepTime());
    setDataHandler(controller->OnDeviceData());
    m_unplugHandler = controller->OnDeviceUnplug();
    m_dataErrorHandler = controller->OnDeviceDataError();

    if (!openMainHandle())
        throw EControllerError("device cannot be opened");
    const std::optional<HIDD_ATTRIBUTES> attributes = m_mainHandle->attributes();
    if (!attributes) {
        CloseMain();
        throw EControllerError("device cannot be identified");
    }
    m_attributes = *attributes;
    m_attributes.Size = 12;
    CloseMain();
}

THidDevice::~THidDevice()
{
    // What a fresh device for the same interface keeps.
    const THidDataEvent dataHandler = m_dataHandler;
    const THidPlugEvent unplugHandler = m_unplugHandler;
    const qint32 sleepTime = m_sleepTime;

    // Destroyed by a handler that its own stop is running: the thread must not
    // hand anything more to this device.
    if (m_readThread && m_stopping)
        m_readThread->forgetDevice();
    setDataHandler({});
    m_unplugHandler = {};
    CloseMain();
    if (THidDeviceController *controller = std::exchange(m_controller, nullptr))
        controller->handBack(this, std::move(m_deviceInfo), dataHandler, unplugHandler, sleepTime);
}

bool THidDevice::openMainHandle()
{
    quint32 error = 0;
    m_mainHandle = m_backend->open(m_deviceInfo->DevicePath, HidAccess::ReadWrite, &error);
    m_canReadWrite = bool(m_mainHandle);
    if (!m_mainHandle)
        m_mainHandle = m_backend->open(m_deviceInfo->DevicePath, HidAccess::QueryOnly, &error);
    return bool(m_mainHandle);
}

bool THidDevice::OpenMain()
{
    if (Accessible() && !m_mainHandle)
        openMainHandle();
    return bool(m_mainHandle);
}

void THidDevice::CloseMain()
{
    m_mainHandle.reset();
}

QString THidDevice::ProductText()
{
    if (m_productText.isEmpty() && OpenMain()) {
        if (const std::optional<QString> product = m_mainHandle->productString())
            m_productText = textOf(zeroedBuffer(*product));
        CloseMain();
    }
    return m_productText;
}

QString THidDevice::SerialText()
{
    if (!m_serialText.isEmpty() || !OpenMain())
        return m_serialText;

    if (const std::optional<QString> serial = m_mainHandle->serialNumberString()) {
        const auto S = zeroedBuffer(*serial);
        if (!m_mainHandle->canReadIndexedStrings()) {
            // Nothing to compare with: take the serial number as read.
            m_serialText = textOf(S);
        } else {
            // The language list (index 0) in a buffer of 0xFFFF units, so that
            // we can see how much of it the query wrote.
            std::array<char16_t, kStringUnits> L;
            L.fill(0xFFFF);
            if (const std::optional<QString> list = m_mainHandle->indexedString(0)) {
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
                    m_serialText = textOf(S);
                    break;
                }
            }
        }
    }
    CloseMain();
    return m_serialText;
}

bool THidDevice::SendFeature(QByteArrayView report)
{
    if (!OpenMain())
        return false;
    return m_mainHandle->setFeature(report);
}

void THidDevice::setDataHandler(const THidDataEvent &handler)
{
    if (!handler)
        StopReading();
    m_dataHandler = handler;
    StartReading();
}

void THidDevice::setSleepTime(qint32 ms)
{
    if (!sleepTimeAccepted(ms))
        return;
    m_sleepTime = ms;
    if (m_readThread)
        m_readThread->setSleepTime(ms);
}

void THidDevice::StartReading()
{
    // m_stopping: a handler run by StopReading must not start a second thread
    // while the first one is still ending.
    if (!m_dataHandler || !m_present || !m_claimed || !m_canReadWrite || m_readThread || m_stopping)
        return;
    quint32 error = hidDeviceGoneError();
    std::unique_ptr<HidHandle> readHandle;
    if (Accessible())
        readHandle = m_backend->open(m_deviceInfo->DevicePath, HidAccess::Read, &error);
    m_readThread
        = new THidDeviceReadThread(this, m_backend, std::move(readHandle), error, m_sleepTime);
    m_readThread->start();
}

void THidDevice::StopReading()
{
    if (!m_readThread || m_stopping)
        return;
    m_stopping = true;
    THidDeviceReadThread *thread = m_readThread;
    const std::weak_ptr<char> alive = m_alive;
    const bool ended = thread->finishOrDetach();
    if (ended)
        delete thread;
    // A handler run while stopping may have destroyed this device.
    if (alive.expired())
        return;
    m_readThread = nullptr;
    m_stopping = false;
}

void THidDevice::Unplug()
{
    CloseMain();
    if (m_readThread)
        m_readThread->deviceGone();
    m_present = false;
    // Cleared before the call, so that the handler may destroy the device.
    if (const THidPlugEvent handler = std::exchange(m_unplugHandler, {}))
        handler(this);
}
