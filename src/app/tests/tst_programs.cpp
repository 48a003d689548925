// SPDX-License-Identifier: MIT
#include "app/JoinedHidBackend.h"
#include "app/ProgramMain.h"
#include "hid/FakeHidBackend.h"
#include "hid/demo/DemoCableBackend.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestPrograms : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void arguments_data();
    void arguments();
    void joinedBackendOpensByOwner();
    void displayNeeded_data();
    void displayNeeded();
    void withoutDisplayTheProgramSaysSo_data();
    void withoutDisplayTheProgramSaysSo();
    void startsToItsFirstFrameOnTheMainThread();
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

void TestPrograms::displayNeeded_data()
{
    QTest::addColumn<QString>("platform");
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("wayland");
    QTest::addColumn<bool>("available");
    QTest::newRow("nothing set") << ""
                                 << ""
                                 << "" << false;
    QTest::newRow("X display") << ""
                               << ":0"
                               << "" << true;
    QTest::newRow("Wayland display") << ""
                                     << ""
                                     << "wayland-0" << true;
    QTest::newRow("xcb without X") << "xcb"
                                   << ""
                                   << "wayland-0" << false;
    QTest::newRow("xcb with X") << "xcb"
                                << ":1"
                                << "" << true;
    QTest::newRow("wayland without Wayland") << "wayland"
                                             << ":0"
                                             << "" << false;
    QTest::newRow("either, X there") << "wayland;xcb"
                                     << ":0"
                                     << "" << true;
    QTest::newRow("offscreen") << "offscreen"
                               << ""
                               << "" << true;
    QTest::newRow("vnc with options") << "vnc:size=800x600"
                                      << ""
                                      << "" << true;
}

void TestPrograms::displayNeeded()
{
    QFETCH(QString, platform);
    QFETCH(QString, display);
    QFETCH(QString, wayland);
    QFETCH(bool, available);
    QCOMPARE(displayAvailable(platform, display, wayland), available);
}

void TestPrograms::withoutDisplayTheProgramSaysSo_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("model");
    QTest::newRow("KM90") << QStringLiteral(KM90_PROGRAM) << "km90";
    QTest::newRow("KM50_60") << QStringLiteral(KM50_60_PROGRAM) << "km50_60";
}

void TestPrograms::withoutDisplayTheProgramSaysSo()
{
    QFETCH(QString, program);
    QFETCH(QString, model);
    // An empty environment: no display and no platform chosen (only the
    // sanitizers' settings of a checked build are kept).
    QProcessEnvironment environment;
    const QProcessEnvironment own = QProcessEnvironment::systemEnvironment();
    for (const char *keep : { "ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS" }) {
        if (own.contains(QString::fromLatin1(keep)))
            environment.insert(QString::fromLatin1(keep), own.value(QString::fromLatin1(keep)));
    }
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, { QStringLiteral("--demo") });
    QVERIFY2(process.waitForFinished(60000), qPrintable(process.errorString()));
    const QString err = QString::fromLocal8Bit(process.readAllStandardError());
    QCOMPARE(process.exitStatus(), QProcess::NormalExit); // no abort
    QCOMPARE(process.exitCode(), 1);
    QVERIFY2(err.contains(u"no display was found"), qPrintable(err));
    QVERIFY2(err.contains(QStringLiteral("meterlog --model %1").arg(model)), qPrintable(err));
    QVERIFY2(err.contains(u"QT_QPA_PLATFORM=offscreen"), qPrintable(err));
    QVERIFY2(!err.contains(u"Reinstalling"), qPrintable(err));
}

void TestPrograms::startsToItsFirstFrameOnTheMainThread()
{
    // The programs' start-up reads pictures on a thread of its own before the
    // application object exists; Qt takes the first thread that uses one of
    // its objects for the main thread. Each start must reach its first frame
    // with the application object on the program's main thread (a thread
    // that came first made Qt warn and, now and then, abort). Several starts,
    // since the threads race.
    QTemporaryDir home;
    QVERIFY(home.isValid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral("cache")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    for (int run = 0; run < 12; ++run) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(KM_FIRST_PAINT_PROGRAM),
            { run % 2 ? QStringLiteral("km50_60") : QStringLiteral("km90") });
        QVERIFY2(process.waitForFinished(60000), qPrintable(process.errorString()));
        const QString err = QString::fromLocal8Bit(process.readAllStandardError());
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        QVERIFY2(!err.contains(u"main() thread"), qPrintable(err));
        QVERIFY(process.readAllStandardOutput().contains("first_paint_ns "));
    }
}

QTEST_GUILESS_MAIN(TestPrograms)
#include "tst_programs.moc"
