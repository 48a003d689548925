// SPDX-License-Identifier: MIT
#include "hid/HidapiBackend.h"

#include <cerrno>
#include <cwchar>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

// Room for the longest report hidraw hands on, plus the report ID we may add.
constexpr size_t kMaxReportBytes = 16384;
// String queries: the layer keeps at most 254 units; one more shows a cut.
constexpr size_t kStringChars = 256;

void clearSystemError()
{
#ifdef Q_OS_WIN
    SetLastError(0);
#else
    errno = 0;
#endif
}

// The code the failed call left, or a generic I/O error where it left none.
quint32 systemError()
{
#ifdef Q_OS_WIN
    const DWORD code = GetLastError();
    return code ? quint32(code) : quint32(ERROR_GEN_FAILURE);
#else
    return errno ? quint32(errno) : quint32(EIO);
#endif
}

QString fromWide(const wchar_t *text, size_t maxLength = size_t(-1))
{
    if (!text)
        return {};
    return QString::fromWCharArray(text, qsizetype(wcsnlen(text, maxLength)));
}

template<typename Query>
std::optional<QString> wideQuery(Query query)
{
    wchar_t buffer[kStringChars] = {};
    if (query(buffer, kStringChars) < 0)
        return std::nullopt;
    return fromWide(buffer, kStringChars);
}

QString instanceIdentity(const hid_device_info &info)
{
    return QStringLiteral("%1|%2:%3:%4|if%5|%6")
        .arg(QString::fromLocal8Bit(info.path))
        .arg(info.vendor_id, 4, 16, QLatin1Char('0'))
        .arg(info.product_id, 4, 16, QLatin1Char('0'))
        .arg(info.release_number, 4, 16, QLatin1Char('0'))
        .arg(info.interface_number)
        .arg(fromWide(info.serial_number));
}

} // namespace

class HidapiBackend::QueryHandle : public HidHandle
{
public:
    explicit QueryHandle(Entry entry)
        : m_entry(std::move(entry))
    { }

    std::optional<HIDD_ATTRIBUTES> attributes() override { return m_entry.attributes; }
    std::optional<QString> productString() override { return m_entry.product; }
    std::optional<QString> serialNumberString() override { return m_entry.serial; }
    bool canReadIndexedStrings() const override { return false; }
    std::optional<QString> indexedString(int) override { return std::nullopt; }
    bool setFeature(QByteArrayView) override { return false; }
    HidReadResult read(QByteArray &, int) override { return HidReadResult::failure(EBADF); }
    void cancel() override { }

private:
    const Entry m_entry;
};

class HidapiBackend::DeviceHandle : public HidHandle
{
public:
    DeviceHandle(std::shared_ptr<const HidapiCalls> calls, hid_device *device,
        std::optional<Entry> entry, bool numberedReports)
        : m_calls(std::move(calls))
        , m_device(device)
        , m_entry(std::move(entry))
        , m_numberedReports(numberedReports)
    { }
    ~DeviceHandle() override { m_calls->close(m_device); }

    std::optional<HIDD_ATTRIBUTES> attributes() override
    {
        if (!m_entry)
            return std::nullopt;
        return m_entry->attributes;
    }
    std::optional<QString> productString() override
    {
        return wideQuery([this](wchar_t *text, size_t n) {
            return m_calls->getProductString(m_device, text, n);
        });
    }
    std::optional<QString> serialNumberString() override
    {
        return wideQuery([this](wchar_t *text, size_t n) {
            return m_calls->getSerialNumberString(m_device, text, n);
        });
    }
    bool canReadIndexedStrings() const override { return m_calls->indexedStrings; }
    std::optional<QString> indexedString(int index) override
    {
        if (!m_calls->indexedStrings)
            return std::nullopt;
        return wideQuery([this, index](wchar_t *text, size_t n) {
            return m_calls->getIndexedString(m_device, index, text, n);
        });
    }
    bool setFeature(QByteArrayView report) override
    {
        // hidapi takes the report ID as byte 0, as the layer hands it over.
        if (report.isEmpty())
            return false;
        return m_calls->sendFeatureReport(m_device,
                   reinterpret_cast<const unsigned char *>(report.data()), size_t(report.size()))
            >= 0;
    }
    HidReadResult read(QByteArray &report, int timeoutMs) override
    {
        // Unnumbered reports come bare: read them one byte in and put a 0 in front.
        const qsizetype offset = m_numberedReports ? 0 : 1;
        report.resize(qsizetype(kMaxReportBytes) + offset);
        auto *buffer = reinterpret_cast<unsigned char *>(report.data());
        clearSystemError();
        const int n = m_calls->readTimeout(m_device, buffer + offset, kMaxReportBytes, timeoutMs);
        if (n < 0) {
            const quint32 code = systemError();
            report.clear();
            return HidReadResult::failure(code);
        }
        if (n == 0) {
            report.clear();
            return HidReadResult::timeout();
        }
        if (offset)
            buffer[0] = 0;
        report.resize(qsizetype(n) + offset);
        return HidReadResult::report();
    }
    void cancel() override { }

private:
    const std::shared_ptr<const HidapiCalls> m_calls;
    hid_device *const m_device;
    const std::optional<Entry> m_entry;
    const bool m_numberedReports;
};

HidapiBackend::HidapiBackend(HidapiCalls calls)
    : m_calls(std::make_shared<const HidapiCalls>(std::move(calls)))
{
    m_available = m_calls->init() == 0;
}

HidapiBackend::~HidapiBackend()
{
    if (m_available)
        m_calls->exit();
}

QList<HidInterface> HidapiBackend::enumerate()
{
    QList<HidInterface> list;
    m_entries.clear();
    if (!m_available)
        return list;
    hid_device_info *first = m_calls->enumerate(0, 0);
    for (const hid_device_info *info = first; info; info = info->next) {
        if (!info->path)
            continue;
        const QString path = QString::fromLocal8Bit(info->path);
        if (m_entries.contains(path))
            continue; // a further top-level collection of the same interface
        Entry entry;
        entry.attributes.VendorID = info->vendor_id;
        entry.attributes.ProductID = info->product_id;
        entry.attributes.VersionNumber = info->release_number;
        entry.product = fromWide(info->product_string);
        entry.serial = fromWide(info->serial_number);
        m_entries.insert(path, entry);
        list.append({ instanceIdentity(*info), path });
    }
    m_calls->freeEnumeration(first);
    return list;
}

std::unique_ptr<HidHandle> HidapiBackend::open(
    const QString &path, HidAccess access, quint32 *error)
{
    const auto known = m_entries.constFind(path);
    if (access == HidAccess::QueryOnly) {
        if (known == m_entries.cend()) {
            if (error)
                *error = ENODEV;
            return nullptr;
        }
        return std::make_unique<QueryHandle>(*known);
    }
    clearSystemError();
    hid_device *device = m_calls->openPath(path.toLocal8Bit().constData());
    if (!device) {
        if (error)
            *error = systemError();
        return nullptr;
    }
    const std::optional<QByteArray> descriptor = m_calls->reportDescriptor(device, path);
    const bool numbered = descriptor && descriptorUsesReportIds(*descriptor);
    std::optional<Entry> entry;
    if (known != m_entries.cend())
        entry = *known;
    return std::make_unique<DeviceHandle>(m_calls, device, std::move(entry), numbered);
}

bool HidapiBackend::descriptorUsesReportIds(QByteArrayView descriptor)
{
    qsizetype i = 0;
    while (i < descriptor.size()) {
        const auto prefix = quint8(descriptor[i]);
        if (prefix == 0xFE) {
            // Long item: prefix, data size, long tag, data.
            if (i + 1 >= descriptor.size())
                return false;
            i += 3 + quint8(descriptor[i + 1]);
            continue;
        }
        if ((prefix & 0xFC) == 0x84) // Report ID (global item, tag 8)
            return true;
        const int dataSize = (prefix & 0x03) == 3 ? 4 : (prefix & 0x03);
        i += 1 + dataSize;
    }
    return false;
}
