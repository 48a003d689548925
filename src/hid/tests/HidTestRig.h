// SPDX-License-Identifier: MIT
#pragma once

#include "hid/FakeHidBackend.h"
#include "hid/HidControllerClass.h"

#include <QTest>

// A fake backend and a controller on it. The controller is made by start(),
// after the test has plugged what should be there from the beginning.
struct HidTestRig
{
    std::shared_ptr<FakeHidBackend> fake = std::make_shared<FakeHidBackend>();
    std::unique_ptr<THidDeviceController> controller;

    FakeHidBackend::Interface plug(
        const QString &id, const QString &product = QStringLiteral("USB to Serial"))
    {
        const FakeHidBackend::Interface i = FakeHidBackend::makeInterface(id, product);
        fake->plug(i);
        return i;
    }
    static QString path(const QString &id) { return QStringLiteral("/fake/") + id; }

    THidDeviceController &start(bool withNotifier = true)
    {
        controller = std::make_unique<THidDeviceController>(
            fake, withNotifier ? fake->createNotifier() : nullptr);
        return *controller;
    }

    qsizetype indexOf(const QString &id) const
    {
        const QList<THidDevice *> &list = controller->DeviceList();
        for (qsizetype i = 0; i < list.size(); ++i) {
            if (list[i]->DeviceInfo().DevInst == id)
                return i;
        }
        return -1;
    }
    THidDevice *find(const QString &id) const
    {
        const qsizetype i = indexOf(id);
        return i < 0 ? nullptr : controller->DeviceList()[i];
    }
    std::unique_ptr<THidDevice> claim(const QString &id)
    {
        return controller->ClaimDevice(qint32(indexOf(id)));
    }
    QStringList ids() const
    {
        QStringList list;
        for (THidDevice *d : controller->DeviceList())
            list << d->DeviceInfo().DevInst;
        return list;
    }
};
