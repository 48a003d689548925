// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <memory>
#include <optional>

// What the HID device layer needs from the system: the present HID interfaces
// and, for one interface, a handle that reads its identity, sends feature
// reports and reads input reports. The program's main() picks the backend
// (hidapi, a simulated cable, or the scriptable fake of the tests); the layer
// never knows which one it runs on.

// Identity numbers of a HID interface.
struct HIDD_ATTRIBUTES
{
    quint32 Size = 12;
    quint16 VendorID = 0;
    quint16 ProductID = 0;
    quint16 VersionNumber = 0;

    friend bool operator==(const HIDD_ATTRIBUTES &, const HIDD_ATTRIBUTES &) = default;
};

// One present HID interface. instanceId tells interfaces apart across
// enumerations: the same physical interface keeps it while it stays plugged in,
// a different one never shares it. path is what open() takes.
struct HidInterface
{
    QString instanceId;
    QString path;

    friend bool operator==(const HidInterface &, const HidInterface &) = default;
};

enum class HidAccess {
    ReadWrite, // identity, feature reports and input reports
    QueryOnly, // identity only; works where the user has no access to the node
    Read, // input reports only: the handle of a read thread
};

struct HidReadResult
{
    enum Status { Report, Timeout, Error };
    Status status = Timeout;
    quint32 error = 0; // system error code when status is Error

    static HidReadResult report() { return { Report, 0 }; }
    static HidReadResult timeout() { return { Timeout, 0 }; }
    static HidReadResult failure(quint32 code) { return { Error, code }; }
};

// An open HID interface.
//
// Threads: a handle is used by one thread at a time (the main thread opens it;
// a Read handle is then used by its read thread alone and closed by the main
// thread after that thread has ended). cancel() is the exception: it may be
// called from any thread at any time while the handle exists.
class HidHandle
{
public:
    virtual ~HidHandle() = default;

    virtual std::optional<HIDD_ATTRIBUTES> attributes() = 0;
    // The product and serial-number strings; nullopt when the query fails.
    virtual std::optional<QString> productString() = 0;
    virtual std::optional<QString> serialNumberString() = 0;
    // False where the platform cannot read indexed strings at all.
    virtual bool canReadIndexedStrings() const = 0;
    // The string descriptor at index; nullopt when the query fails (nothing
    // was written). Index 0 is the device's language list.
    virtual std::optional<QString> indexedString(int index) = 0;

    // Sends a feature report; byte 0 is the report ID (0 for a device without
    // numbered reports).
    virtual bool setFeature(QByteArrayView report) = 0;

    // Waits up to timeoutMs for one input report and stores it in report with
    // the report ID as its first byte (0 for a device without numbered
    // reports), the way Windows hands reports on. Status Report with an empty
    // report means a read of 0 bytes.
    virtual HidReadResult read(QByteArray &report, int timeoutMs) = 0;

    // Makes a read that is waiting now, or the next read if none is, return
    // at once as a timeout. A backend that cannot interrupt a read does
    // nothing; its read then ends at its timeout.
    virtual void cancel() = 0;
};

class HidBackend
{
public:
    virtual ~HidBackend() = default;

    // Whether HID support is available at all. Without it the device list is
    // always empty and no change notification is watched.
    virtual bool available() const = 0;

    // The present HID interfaces, in the system's order.
    virtual QList<HidInterface> enumerate() = 0;

    // Opens the interface at path; on failure returns null and stores the
    // system error code in *error (when error is not null).
    virtual std::unique_ptr<HidHandle> open(const QString &path, HidAccess access, quint32 *error)
        = 0;
};

// The system error code the layer reports for a read request on a device that
// has left the system (ENODEV, or ERROR_DEVICE_NOT_CONNECTED on Windows).
quint32 hidDeviceGoneError();
