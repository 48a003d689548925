// SPDX-License-Identifier: MIT
#include "app/JoinedHidBackend.h"
#include "app/ProgramMain.h"
#include "hid/FakeHidBackend.h"
#include "hid/demo/DemoCableBackend.h"

#include <QTest>

class TestPrograms : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void arguments_data();
    void arguments();
    void joinedBackendOpensByOwner();
};

void TestPrograms::arguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("action");
    QTest::addColumn<bool>("demo");
    QTest::addColumn<QString>("unknown");
    using A = ProgramArguments::Action;
    QTest::newRow("none") << QStringList() << int(A::Run) << false << "";
    QTest::newRow("demo") << QStringList { "--demo" } << int(A::Run) << true << "";
    QTest::newRow("help") << QStringList { "--help" } << int(A::Help) << false << "";
    QTest::newRow("version") << QStringList { "--version" } << int(A::Version) << false << "";
    QTest::newRow("unknown") << QStringList { "--demo", "-x" } << int(A::Usage) << true << "-x";
    QTest::newRow("file name") << QStringList { "table.xls" } << int(A::Usage) << false
                               << "table.xls";
}

void TestPrograms::arguments()
{
    QFETCH(QStringList, args);
    QFETCH(int, action);
    QFETCH(bool, demo);
    QFETCH(QString, unknown);
    const ProgramArguments parsed = parseProgramArguments(args);
    QCOMPARE(int(parsed.action), action);
    QCOMPARE(parsed.demo, demo);
    QCOMPARE(parsed.unknown, unknown);
}

void TestPrograms::joinedBackendOpensByOwner()
{
    auto fake = std::make_shared<FakeHidBackend>();
    fake->plug(FakeHidBackend::makeInterface("mouse", "Mouse", 0x046d, 0xc077));
    auto demo = std::make_shared<DemoCableBackend>(MeterModel::Km90, false);
    JoinedHidBackend joined({ fake, demo });
    const QList<HidInterface> all = joined.enumerate();
    QCOMPARE(all.size(), fake->enumerate().size() + demo->enumerate().size());
    QStringList products;
    for (const HidInterface &i : all) {
        quint32 error = 0;
        auto handle = joined.open(i.path, HidAccess::QueryOnly, &error);
        QVERIFY2(handle, qPrintable(i.path));
        products.append(handle->productString().value_or(QString()));
    }
    QCOMPARE(products, QStringList({ "Mouse", "USB to Serial" }));
    quint32 error = 0;
    QVERIFY(!joined.open(QStringLiteral("/nowhere"), HidAccess::QueryOnly, &error));
    QVERIFY(error != 0);
}

QTEST_GUILESS_MAIN(TestPrograms)
#include "tst_programs.moc"
