// SPDX-License-Identifier: MIT
#include "hid/HidapiBackend.h"

#include <QFile>
#include <QFileInfo>

namespace {

std::optional<QByteArray> reportDescriptorOf(
    [[maybe_unused]] hid_device *device, [[maybe_unused]] const QString &path)
{
#if HID_API_VERSION >= HID_API_MAKE_VERSION(0, 14, 0)
    unsigned char buffer[HID_API_MAX_REPORT_DESCRIPTOR_SIZE];
    const int n = hid_get_report_descriptor(device, buffer, sizeof buffer);
    if (n >= 0)
        return QByteArray(reinterpret_cast<const char *>(buffer), n);
    return std::nullopt;
#elif defined(Q_OS_LINUX)
    // hidraw: /dev/hidrawN describes itself in sysfs, readable by everyone.
    QFile file(QStringLiteral("/sys/class/hidraw/%1/device/report_descriptor")
                   .arg(QFileInfo(path).fileName()));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
#else
    return std::nullopt; // taken as a device without numbered reports
#endif
}

} // namespace

HidapiCalls systemHidapiCalls()
{
    HidapiCalls calls;
    calls.init = hid_init;
    calls.exit = hid_exit;
    calls.enumerate = hid_enumerate;
    calls.freeEnumeration = hid_free_enumeration;
    calls.openPath = hid_open_path;
    calls.close = hid_close;
    calls.getProductString = hid_get_product_string;
    calls.getSerialNumberString = hid_get_serial_number_string;
    calls.getIndexedString = hid_get_indexed_string;
    calls.sendFeatureReport = hid_send_feature_report;
    calls.readTimeout = hid_read_timeout;
    calls.reportDescriptor = reportDescriptorOf;
#if defined(Q_OS_WIN)
    calls.indexedStrings = true;
#else
    calls.indexedStrings = false;
#endif
    return calls;
}
