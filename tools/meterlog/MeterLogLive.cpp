// SPDX-License-Identifier: MIT
#include "meterlog/MeterLogLive.h"

#include "hid/HidControllerClass.h"
#include "link/DeviceDescription.h"
#include "meterlog/MeterSession.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace {

// The ten-byte set-up report the cable needs before it passes meter bytes on:
// report ID 0, the rate 2400 as a 32-bit little-endian number, then 3.
const QByteArray cableSetupReport = QByteArray::fromHex("00600900000300000000");

constexpr qint32 watchdogIdleReports = 1900;

QString description(THidDevice &device)
{
    const HIDD_ATTRIBUTES a = device.Attributes();
    return deviceDescription(device.ProductText(), device.SerialText(), a.VendorID, a.ProductID);
}

} // namespace

QString meterSilentMessage()
{
    return QStringLiteral(
        "USB interface cable is securely connected, please check if the meter is ready.");
}

int runMeterLogLive(const MeterLogOptions &options, std::shared_ptr<HidBackend> backend,
    QTextStream &out, QTextStream &err, const std::function<bool()> &stopRequested)
{
    THidDeviceController controller(std::move(backend));

    // The last device described exactly as "USB to Serial", as the program's
    // device list selects it. A device tells its strings only while it is
    // being enumerated (or once claimed).
    qint32 cableIndex = -1;
    controller.setOnEnumerate([&](THidDevice *device, qint32 idx) {
        if (description(*device) == cableDescription())
            cableIndex = idx;
        return true;
    });
    controller.EnumerateDevices();
    controller.setOnEnumerate({});
    if (cableIndex < 0) {
        err << "meterlog: no interface cable \"USB to Serial\" is plugged in\n";
        return ExitNoCable;
    }
    std::unique_ptr<THidDevice> cable = controller.ClaimDevice(cableIndex);
    if (!cable || !cable->CanReadWrite()) {
        err << "meterlog: the interface cable cannot be opened for reading and writing"
               " (on Linux, install packaging/udev/70-km-meter-cable.rules)\n";
        return ExitNoCable;
    }

    MeterSession session(options, out, err);
    session.printHeader();
    out.flush();

    QEventLoop loop;
    int status = ExitOk;
    cable->setUnplugHandler([&](THidDevice *) {
        err << "meterlog: the interface cable was unplugged\n";
        status = ExitNoCable;
        loop.quit();
    });
    cable->setDataErrorHandler(
        [&](THidDevice *, quint32 error) { err << "meterlog: READ ERROR " << error << '\n'; });

    cable->SendFeature(cableSetupReport);
    cable->setDataHandler([&](THidDevice *, quint8 reportId, const quint8 *data, quint16 size) {
        session.feedReport(reportId, QByteArrayView(data, size));
        out.flush();
        if (session.link().idleReportCount() >= watchdogIdleReports) {
            err << meterSilentMessage() << '\n';
            err.flush();
            session.link().resetIdleReportCount();
        }
        if (options.count && session.link().framesDecoded() >= quint64(*options.count))
            loop.quit();
    });

    QTimer stopCheck;
    if (stopRequested) {
        QObject::connect(&stopCheck, &QTimer::timeout, &loop, [&] {
            if (stopRequested())
                loop.quit();
        });
        stopCheck.start(100);
    }
    if (!(options.count && *options.count <= 0))
        loop.exec();

    cable->setDataHandler({}); // stops the read thread
    cable->SendFeature(cableSetupReport); // as Disconnect does
    out.flush();
    err.flush();
    return status;
}
