// SPDX-License-Identifier: MIT
#include "hid/THidDeviceController.h"

#include <utility>

int THidDeviceController::s_count = 0;

namespace {

// Remembers a device and whether it still exists: a handler may destroy the
// device it is called with.
struct Held
{
    THidDevice *device;
    std::weak_ptr<char> alive;
};

} // namespace

// Sets a device's InHandler flag for the time of a handler call, so that the
// handler may open the device (for its strings) although nobody has claimed it.
class THidDeviceController::InHandlerScope
{
public:
    InHandlerScope(THidDevice *device, std::weak_ptr<char> alive)
        : m_device(device)
        , m_alive(std::move(alive))
    {
        m_device->m_inHandler = true;
    }
    ~InHandlerScope()
    {
        if (!m_alive.expired())
            m_device->m_inHandler = false;
    }
    Q_DISABLE_COPY_MOVE(InHandlerScope)

private:
    THidDevice *m_device;
    std::weak_ptr<char> m_alive;
};

THidDeviceController::THidDeviceController(std::shared_ptr<HidBackend> backend,
    std::unique_ptr<HidChangeNotifier> notifier, QObject *owner)
    : QObject(owner)
    , m_backend(std::move(backend))
    , m_hidSupported(m_backend && m_backend->available())
{
    if (s_count > 0)
        throw EControllerError("Only one THidDeviceController allowed per program");
    ++s_count;
    try {
        for (std::unique_ptr<THidDevice> &device : FillDeviceList())
            m_deviceList.append(device.release());
    } catch (...) {
        --s_count;
        throw;
    }
    if (m_hidSupported && notifier) {
        m_notifier = std::move(notifier);
        connect(m_notifier.get(), &HidChangeNotifier::changed, this,
            &THidDeviceController::DeviceChange);
    }
}

THidDeviceController::~THidDeviceController()
{
    --s_count;
    // Cleared without a pass: no handler of the owner runs from here on.
    m_onDeviceChange = {};
    setOnDeviceUnplug({});
    m_onEnumerate = {};
    m_notifier.reset();
    const QList<THidDevice *> devices = std::exchange(m_deviceList, {});
    for (THidDevice *device : devices) {
        device->m_controller = nullptr;
        if (device->Claimed())
            device->Unplug(); // its owner still holds it
        else
            delete device;
    }
}

THidDeviceController::DeviceBatch THidDeviceController::FillDeviceList()
{
    DeviceBatch list;
    if (!m_hidSupported)
        return list;
    for (const HidInterface &interface : m_backend->enumerate()) {
        auto info
            = std::make_unique<THidPnPInfo>(THidPnPInfo { interface.instanceId, interface.path });
        try {
            list.push_back(std::make_unique<THidDevice>(std::move(info), this));
        } catch (const EControllerError &) {
            // An interface that cannot be opened or identified is left out.
        }
    }
    return list;
}

void THidDeviceController::destroyOwned(THidDevice *device)
{
    device->m_controller = nullptr;
    delete device;
}

void THidDeviceController::DeviceChange()
{
    if (m_inDeviceChange) {
        m_changeAgain = true;
        return;
    }
    struct Guard
    {
        bool &flag;
        ~Guard() { flag = false; }
    } guard { m_inDeviceChange };
    m_inDeviceChange = true;
    do {
        m_changeAgain = false;
        changePass();
    } while (m_changeAgain);
}

void THidDeviceController::changePass()
{
    DeviceBatch fresh = FillDeviceList();
    // Devices of the fresh list are linked to this controller; one that is not
    // taken over is unlinked before it is destroyed, so it does not touch the list.
    struct Unlink
    {
        DeviceBatch &batch;
        ~Unlink()
        {
            for (std::unique_ptr<THidDevice> &device : batch) {
                if (device)
                    device->m_controller = nullptr;
            }
        }
    } unlink { fresh };
    bool changed = false;

    // Departures, from the last device to the first.
    QList<Held> held;
    for (THidDevice *device : std::as_const(m_deviceList))
        held.append({ device, device->m_alive });
    for (qsizetype i = held.size() - 1; i >= 0; --i) {
        THidDevice *device = held[i].device;
        if (held[i].alive.expired())
            continue;
        bool found = false;
        for (auto it = fresh.rbegin(); it != fresh.rend() && device->Present(); ++it) {
            if ((*it)->DeviceInfo().DevInst == device->DeviceInfo().DevInst) {
                found = true;
                break;
            }
        }
        if (found)
            continue;
        changed = true;
        device->Unplug();
        if (held[i].alive.expired())
            continue;
        if (m_onRemoval) {
            const THidPlugEvent handler = m_onRemoval;
            InHandlerScope scope(device, held[i].alive);
            handler(device);
            if (held[i].alive.expired())
                continue;
        }
        if (!device->Claimed()) {
            m_deviceList.removeOne(device);
            destroyOwned(device);
        }
    }

    // Survivors: an interface already in the list is not added again.
    for (std::unique_ptr<THidDevice> &entry : fresh) {
        for (THidDevice *device : std::as_const(m_deviceList)) {
            if (device->Present() && device->DeviceInfo().DevInst == entry->DeviceInfo().DevInst) {
                entry->m_controller = nullptr;
                entry.reset();
                break;
            }
        }
    }

    // Arrivals, in order.
    QList<Held> arrived;
    for (std::unique_ptr<THidDevice> &entry : fresh) {
        if (!entry)
            continue;
        THidDevice *device = entry.release();
        m_deviceList.append(device);
        arrived.append({ device, device->m_alive });
        changed = true;
    }
    for (const Held &arrival : std::as_const(arrived)) {
        if (arrival.alive.expired() || !m_onArrival)
            continue;
        const THidPlugEvent handler = m_onArrival;
        InHandlerScope scope(arrival.device, arrival.alive);
        handler(arrival.device);
    }

    if (changed || !m_changeReported) {
        if (const THidNotifyEvent handler = m_onDeviceChange)
            handler(this);
    }
}

void THidDeviceController::setOnDeviceChange(const THidNotifyEvent &handler)
{
    if (handler == m_onDeviceChange)
        return;
    m_onDeviceChange = handler;
    DeviceChange();
    m_changeReported = true;
}

qint32 THidDeviceController::EnumerateDevices()
{
    qint32 count = 0;
    QList<Held> held;
    for (THidDevice *device : std::as_const(m_deviceList))
        held.append({ device, device->m_alive });
    for (const Held &entry : std::as_const(held)) {
        THidDevice *device = entry.device;
        if (entry.alive.expired() || !device->Present())
            continue;
        ++count;
        if (!m_onEnumerate)
            break;
        const THidEnumerateEvent handler = m_onEnumerate;
        const qint32 index = qint32(m_deviceList.indexOf(device));
        bool goOn;
        {
            InHandlerScope scope(device, entry.alive);
            goOn = handler(device, index);
        }
        if (!entry.alive.expired() && !device->Claimed())
            device->closeHandles();
        if (!goOn)
            break;
    }
    return count;
}

std::unique_ptr<THidDevice> THidDeviceController::ClaimDevice(qint32 Idx)
{
    if (Idx < 0 || Idx >= m_deviceList.size() || m_deviceList[Idx]->Claimed())
        return nullptr;
    THidDevice *device = m_deviceList[Idx];
    device->m_claimed = true;
    device->StartReading();
    return std::unique_ptr<THidDevice>(device);
}

void THidDeviceController::handBack(THidDevice *device, std::unique_ptr<THidPnPInfo> info,
    const THidDataEvent &dataHandler, const THidPlugEvent &unplugHandler, qint32 sleepTime)
{
    const qsizetype index = m_deviceList.indexOf(device);
    if (index < 0)
        return;
    if (!device->Present()) {
        m_deviceList.removeAt(index);
        return;
    }
    try {
        auto *replacement = new THidDevice(std::move(info), this);
        replacement->m_dataHandler = dataHandler; // not claimed: nothing starts
        replacement->m_unplugHandler = unplugHandler;
        replacement->m_sleepTime = sleepTime;
        m_deviceList[index] = replacement;
    } catch (const EControllerError &) {
        // The interface can no longer be opened: it leaves the list, and comes
        // back as an arrival once it can.
        m_deviceList.removeAt(index);
    }
}

void THidDeviceController::setOnDeviceData(const THidDataEvent &handler)
{
    if (handler == m_onDeviceData)
        return;
    // Stopping a device's reading runs its pending hand-over, whose handler
    // may destroy devices: walk a copy and skip what is gone.
    QList<Held> held;
    for (THidDevice *device : std::as_const(m_deviceList))
        held.append({ device, device->m_alive });
    for (const Held &entry : std::as_const(held)) {
        if (!entry.alive.expired() && entry.device->DataHandler() == m_onDeviceData)
            entry.device->setDataHandler(handler);
    }
    m_onDeviceData = handler;
}

void THidDeviceController::setOnDeviceDataError(const THidDataErrorEvent &handler)
{
    if (handler == m_onDeviceDataError)
        return;
    for (THidDevice *device : std::as_const(m_deviceList)) {
        if (device->DataErrorHandler() == m_onDeviceDataError)
            device->m_dataErrorHandler = handler;
    }
    m_onDeviceDataError = handler;
}

void THidDeviceController::setOnDeviceUnplug(const THidPlugEvent &handler)
{
    if (handler == m_onDeviceUnplug)
        return;
    for (THidDevice *device : std::as_const(m_deviceList)) {
        if (device->UnplugHandler() == m_onDeviceUnplug)
            device->m_unplugHandler = handler;
    }
    m_onDeviceUnplug = handler;
}

void THidDeviceController::setDevThreadSleepTime(qint32 ms)
{
    if (ms == m_devThreadSleepTime)
        return;
    for (THidDevice *device : std::as_const(m_deviceList)) {
        if (device->SleepTime() == m_devThreadSleepTime)
            device->setSleepTime(ms);
    }
    m_devThreadSleepTime = ms;
}
