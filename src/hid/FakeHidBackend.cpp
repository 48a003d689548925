// SPDX-License-Identifier: MIT
#include "hid/FakeHidBackend.h"

#include <chrono>

class FakeHidBackend::Handle : public HidHandle
{
public:
    Handle(FakeHidBackend *backend, QString path, HidAccess access)
        : m_backend(backend)
        , m_path(std::move(path))
        , m_access(access)
    { }
    ~Handle() override
    {
        std::lock_guard lock(m_backend->m_mutex);
        --m_backend->m_streams[m_path].openHandles[int(m_access)];
    }

    std::optional<HIDD_ATTRIBUTES> attributes() override
    {
        std::lock_guard lock(m_backend->m_mutex);
        const Interface *i = m_backend->findByPath(m_path);
        if (!i || !i->identifiable)
            return std::nullopt;
        return i->attributes;
    }
    std::optional<QString> productString() override
    {
        std::lock_guard lock(m_backend->m_mutex);
        const Interface *i = m_backend->findByPath(m_path);
        return i ? i->product : std::nullopt;
    }
    std::optional<QString> serialNumberString() override
    {
        std::lock_guard lock(m_backend->m_mutex);
        const Interface *i = m_backend->findByPath(m_path);
        return i ? i->serial : std::nullopt;
    }
    bool canReadIndexedStrings() const override
    {
        std::lock_guard lock(m_backend->m_mutex);
        const Interface *i = m_backend->findByPath(m_path);
        return i && i->indexedStrings;
    }
    std::optional<QString> indexedString(int index) override
    {
        std::lock_guard lock(m_backend->m_mutex);
        const Interface *i = m_backend->findByPath(m_path);
        if (!i || !i->indexedStrings || index != 0)
            return std::nullopt;
        return i->languages;
    }
    bool setFeature(QByteArrayView report) override
    {
        std::lock_guard lock(m_backend->m_mutex);
        const Interface *i = m_backend->findByPath(m_path);
        if (!i || m_access != HidAccess::ReadWrite || !i->featureAccepted)
            return false;
        m_backend->m_streams[m_path].features.append(report.toByteArray());
        return true;
    }
    HidReadResult read(QByteArray &report, int timeoutMs) override
    {
        std::unique_lock lock(m_backend->m_mutex);
        if (m_access == HidAccess::QueryOnly)
            return HidReadResult::failure(9); // EBADF
        const auto deadline
            = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            if (m_cancelled) {
                m_cancelled = false;
                return HidReadResult::timeout();
            }
            if (!m_backend->findByPath(m_path))
                return HidReadResult::failure(hidDeviceGoneError());
            Stream &stream = m_backend->m_streams[m_path];
            if (!stream.queue.empty()) {
                const Item item = stream.queue.front();
                stream.queue.pop_front();
                ++stream.taken;
                m_backend->m_cv.notify_all();
                if (item.error)
                    return HidReadResult::failure(item.error);
                report = item.report;
                return HidReadResult::report();
            }
            if (m_backend->m_cv.wait_until(lock, deadline) == std::cv_status::timeout)
                return HidReadResult::timeout();
        }
    }
    void cancel() override
    {
        {
            std::lock_guard lock(m_backend->m_mutex);
            m_cancelled = true;
            ++m_backend->m_streams[m_path].cancels;
        }
        m_backend->m_cv.notify_all();
    }

private:
    FakeHidBackend *const m_backend;
    const QString m_path;
    const HidAccess m_access;
    bool m_cancelled = false; // guarded by the backend's lock
};

FakeHidBackend::Interface FakeHidBackend::makeInterface(
    const QString &instanceId, const QString &product, quint16 vendorId, quint16 productId)
{
    Interface i;
    i.instanceId = instanceId;
    i.path = QStringLiteral("/fake/") + instanceId;
    i.attributes.VendorID = vendorId;
    i.attributes.ProductID = productId;
    i.attributes.VersionNumber = 0x0100;
    i.product = product;
    return i;
}

FakeHidBackend::FakeHidBackend(bool available)
    : m_available(available)
{ }

const FakeHidBackend::Interface *FakeHidBackend::findByPath(const QString &path) const
{
    for (const Interface &i : m_interfaces) {
        if (i.path == path)
            return &i;
    }
    return nullptr;
}

QList<HidInterface> FakeHidBackend::enumerate()
{
    std::lock_guard lock(m_mutex);
    QList<HidInterface> list;
    for (const Interface &i : std::as_const(m_interfaces))
        list.append({ i.instanceId, i.path });
    return list;
}

std::unique_ptr<HidHandle> FakeHidBackend::open(
    const QString &path, HidAccess access, quint32 *error)
{
    std::lock_guard lock(m_mutex);
    const Interface *i = findByPath(path);
    const bool allowed = i && (access == HidAccess::QueryOnly ? i->queryOnly : i->readWrite);
    if (!allowed) {
        if (error)
            *error = i ? i->openError : hidDeviceGoneError();
        return nullptr;
    }
    ++m_streams[path].openHandles[int(access)];
    return std::make_unique<Handle>(this, path, access);
}

void FakeHidBackend::plug(const Interface &interface)
{
    {
        std::lock_guard lock(m_mutex);
        m_interfaces.append(interface);
    }
    m_cv.notify_all();
}

void FakeHidBackend::unplug(const QString &instanceId)
{
    {
        std::lock_guard lock(m_mutex);
        m_interfaces.removeIf([&](const Interface &i) { return i.instanceId == instanceId; });
    }
    m_cv.notify_all(); // a waiting read fails now
}

void FakeHidBackend::update(
    const QString &instanceId, const std::function<void(Interface &)> &change)
{
    std::lock_guard lock(m_mutex);
    for (Interface &i : m_interfaces) {
        if (i.instanceId == instanceId)
            change(i);
    }
}

void FakeHidBackend::queueReport(const QString &path, const QByteArray &reportWithId)
{
    {
        std::lock_guard lock(m_mutex);
        m_streams[path].queue.push_back({ reportWithId, 0 });
    }
    m_cv.notify_all();
}

void FakeHidBackend::queueReadError(const QString &path, quint32 error)
{
    {
        std::lock_guard lock(m_mutex);
        m_streams[path].queue.push_back({ {}, error });
    }
    m_cv.notify_all();
}

int FakeHidBackend::itemsTaken(const QString &path) const
{
    std::lock_guard lock(m_mutex);
    return m_streams.value(path).taken;
}

bool FakeHidBackend::waitForItemsTaken(const QString &path, int count, int timeoutMs) const
{
    std::unique_lock lock(m_mutex);
    return m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
        [&] { return m_streams.value(path).taken >= count; });
}

QList<QByteArray> FakeHidBackend::featureReports(const QString &path) const
{
    std::lock_guard lock(m_mutex);
    return m_streams.value(path).features;
}

int FakeHidBackend::openHandles(const QString &path) const
{
    std::lock_guard lock(m_mutex);
    int n = 0;
    for (int count : m_streams.value(path).openHandles)
        n += count;
    return n;
}

int FakeHidBackend::openHandles(const QString &path, HidAccess access) const
{
    std::lock_guard lock(m_mutex);
    return m_streams.value(path).openHandles.value(int(access));
}

int FakeHidBackend::cancels(const QString &path) const
{
    std::lock_guard lock(m_mutex);
    return m_streams.value(path).cancels;
}

std::unique_ptr<HidChangeNotifier> FakeHidBackend::createNotifier()
{
    auto notifier = std::make_unique<HidChangeNotifier>();
    m_notifiers.append(notifier.get());
    return notifier;
}

void FakeHidBackend::notifyChange()
{
    for (const QPointer<HidChangeNotifier> &notifier : std::as_const(m_notifiers)) {
        if (notifier)
            Q_EMIT notifier->changed();
    }
}
