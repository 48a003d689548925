// SPDX-License-Identifier: MIT
#pragma once

#include "hid/HidBackend.h"

#include <hidapi.h>

#include <QHash>

#include <functional>

// The few hidapi calls the hidapi backend makes, as a table, so that tests can
// run the backend against a stub. systemHidapiCalls() gives the real ones.
// Failing calls leave the system error code in errno (GetLastError() on
// Windows), as hidapi's platform code does.
struct HidapiCalls
{
    std::function<int()> init;
    std::function<int()> exit;
    std::function<hid_device_info *(unsigned short vendorId, unsigned short productId)> enumerate;
    std::function<void(hid_device_info *list)> freeEnumeration;
    std::function<hid_device *(const char *path)> openPath;
    std::function<void(hid_device *device)> close;
    std::function<int(hid_device *device, wchar_t *text, size_t maxLength)> getProductString;
    std::function<int(hid_device *device, wchar_t *text, size_t maxLength)> getSerialNumberString;
    std::function<int(hid_device *device, int index, wchar_t *text, size_t maxLength)>
        getIndexedString;
    std::function<int(hid_device *device, const unsigned char *data, size_t length)>
        sendFeatureReport;
    std::function<int(hid_device *device, unsigned char *data, size_t length, int timeoutMs)>
        readTimeout;
    // The report descriptor of an open device, where the platform gives it.
    std::function<std::optional<QByteArray>(hid_device *device, const QString &path)>
        reportDescriptor;
    // Whether hid_get_indexed_string works on this platform (it does not on
    // Linux hidraw or macOS).
    bool indexedStrings = false;
};

HidapiCalls systemHidapiCalls();

// HID interfaces through hidapi (hidraw on Linux; the same code serves Windows
// and macOS).
//
// - hidapi lists one entry per top-level collection; entries sharing a path are
//   one interface. The instance identity is the path together with the
//   interface's numbers, serial number and interface number, so a different
//   device that gets the same node is not taken for the old one.
// - Reports are handed on with the report ID as their first byte. hidapi
//   returns reports of a device without numbered reports bare, so a 0 is put in
//   front; a device whose report descriptor declares report IDs already has
//   its ID in front.
// - A query-only handle opens nothing: it answers from the enumeration, which
//   needs no access to the device node.
// - A read of 0 bytes is a timeout; a failed read is an error with the system
//   error code (EIO where hidapi left none).
// - cancel() does nothing: hidapi cannot interrupt a read, which ends at its
//   timeout.
class HidapiBackend : public HidBackend
{
public:
    explicit HidapiBackend(HidapiCalls calls = systemHidapiCalls());
    ~HidapiBackend() override;

    bool available() const override { return m_available; }
    QList<HidInterface> enumerate() override;
    std::unique_ptr<HidHandle> open(const QString &path, HidAccess access, quint32 *error) override;

    // Whether a report descriptor declares report IDs (a Report ID item).
    static bool descriptorUsesReportIds(QByteArrayView descriptor);

    // What one enumeration told about an interface.
    struct Entry
    {
        HIDD_ATTRIBUTES attributes;
        QString product;
        QString serial;
    };

private:
    class DeviceHandle;
    class QueryHandle;

    const std::shared_ptr<const HidapiCalls> m_calls;
    bool m_available = false;
    QHash<QString, Entry> m_entries; // by path, from the last enumeration
};
