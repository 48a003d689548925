// SPDX-License-Identifier: MIT
#include "link/DeviceDescription.h"

#include <QTest>

class TestDeviceDescription : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void describe_data();
    void describe();
};

void TestDeviceDescription::describe_data()
{
    QTest::addColumn<QString>("product");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<int>("vid");
    QTest::addColumn<int>("pid");
    QTest::addColumn<QString>("text");
    QTest::newRow("the cable") << "USB to Serial"
                               << "" << 0x1a86 << 0xe008 << "USB to Serial";
    QTest::newRow("serial suffix") << "USB to Serial"
                                   << "0001" << 0x1a86 << 0xe008 << "USB to Serial (Serial=0001)";
    QTest::newRow("no product: upper-case hex ids")
        << ""
        << "" << 0x04fa << 0x2490 << "Device VID=04FA PID=2490";
    QTest::newRow("no product, serial")
        << ""
        << "A1" << 0x1 << 0xabcd << "Device VID=0001 PID=ABCD (Serial=A1)";
}

void TestDeviceDescription::describe()
{
    QFETCH(QString, product);
    QFETCH(QString, serial);
    QFETCH(int, vid);
    QFETCH(int, pid);
    QFETCH(QString, text);
    QCOMPARE(deviceDescription(product, serial, quint16(vid), quint16(pid)), text);
}

QTEST_GUILESS_MAIN(TestDeviceDescription)
#include "tst_devicedescription.moc"
