// SPDX-License-Identifier: MIT
#include "hid/HidControllerClass.h"
#include "hid/HidapiBackend.h"
#include "hid/SystemHidChangeNotifier.h"

#include <QTest>

// The real system pieces on the machine the tests run on: whatever HID
// interfaces it has (often none on a build machine), and udev or polling.
class TestHidSystem : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void controllerOnTheRealSystem();
};

void TestHidSystem::controllerOnTheRealSystem()
{
    std::unique_ptr<HidChangeNotifier> notifier = createSystemHidChangeNotifier();
    QVERIFY(notifier);
    if (const auto *polling = qobject_cast<HidPollingNotifier *>(notifier.get()))
        QCOMPARE(polling->intervalMs(), 2000);
    else
        QVERIFY(qobject_cast<UdevHidMonitor *>(notifier.get()));

    THidDeviceController controller(std::make_shared<HidapiBackend>(), std::move(notifier));
    QVERIFY(controller.HidSupported());
    int changes = 0;
    QStringList seen;
    controller.setOnEnumerate([&](THidDevice *d, qint32) {
        seen << QStringLiteral("%1 %2:%3 \"%4\" \"%5\"%6")
                    .arg(d->DeviceInfo().DevicePath)
                    .arg(d->Attributes().VendorID, 4, 16, QLatin1Char('0'))
                    .arg(d->Attributes().ProductID, 4, 16, QLatin1Char('0'))
                    .arg(d->ProductText(), d->SerialText(),
                        d->CanReadWrite() ? QString() : QStringLiteral(" (query-only)"));
        return true;
    });
    controller.setOnDeviceChange([&](THidDeviceController *) { ++changes; });
    QCOMPARE(changes, 1);
    QCOMPARE(controller.EnumerateDevices(), qint32(controller.DeviceList().size()));
    for (THidDevice *d : controller.DeviceList()) {
        QVERIFY(!d->DeviceInfo().DevInst.isEmpty());
        QVERIFY(d->DeviceInfo().DevInst.startsWith(d->DeviceInfo().DevicePath));
    }
    qInfo("%d HID interface(s): %s", int(seen.size()), qPrintable(seen.join(QStringLiteral("; "))));
}

QTEST_GUILESS_MAIN(TestHidSystem)
#include "tst_hidsystem.moc"
