// SPDX-License-Identifier: MIT
#include "jobs/BackgroundJob.h"
#include "jobs/JobProgress.h"
#include "jobs/ProgressDevice.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <stdexcept>

class TestJobs : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void progressStaysWithinItsTotal();
    void deviceCountsReadsAndStopsOnCancel();
    void deviceCountsWritesAndStopsOnCancel();
    void jobRunsOffTheCallingThreadWhileItsLoopTurns();
    void waitGivesUpAfterItsTimeAndTheJobGoesOn();
    void cancelReachesTheWork();
    void exceptionOfTheWorkIsThrownOnTheCallingThread();
    void destroyingARunningJobCancelsAndWaits();
};

void TestJobs::progressStaysWithinItsTotal()
{
    JobProgress p;
    QCOMPARE(p.fraction(), 0.0); // no total yet
    p.advance(5);
    QCOMPARE(p.done(), 5); // counted even while the total is unknown
    p.setTotal(8);
    p.advance(2);
    QCOMPARE(p.fraction(), 7.0 / 8.0);
    p.advance(100);
    QCOMPARE(p.done(), 8); // an estimate that was too low ends at the total
    p.setDone(-3);
    QCOMPARE(p.done(), 0);
    QVERIFY(!p.isCanceled());
    p.cancel();
    QVERIFY(p.isCanceled());

    JobProgress half;
    half.cancelAtFraction(0.5);
    half.setTotal(10);
    half.advance(4);
    QVERIFY(!half.isCanceled());
    half.advance(1);
    QVERIFY(half.isCanceled());
}

void TestJobs::deviceCountsReadsAndStopsOnCancel()
{
    QByteArray data(1000, 'x');
    QBuffer source(&data);
    source.open(QIODevice::ReadOnly);
    JobProgress progress;
    progress.setTotal(data.size());
    ProgressDevice device(source, progress);
    QVERIFY(device.isReadable());
    QCOMPARE(device.read(300).size(), 300);
    QCOMPARE(progress.done(), 300);
    QVERIFY(!device.atEnd());
    progress.cancel();
    char buffer[10];
    QCOMPARE(device.read(buffer, sizeof buffer), -1);
    QCOMPARE(device.errorString(), QStringLiteral("Cancelled"));
    QCOMPARE(progress.done(), 300);
}

void TestJobs::deviceCountsWritesAndStopsOnCancel()
{
    QByteArray data;
    QBuffer target(&data);
    target.open(QIODevice::WriteOnly);
    JobProgress progress;
    ProgressDevice device(target, progress);
    QVERIFY(device.isWritable());
    QCOMPARE(device.write("abcdef"), 6);
    QCOMPARE(progress.done(), 6);
    QCOMPARE(data, QByteArray("abcdef")); // unbuffered: the bytes are through at once
    progress.cancel();
    QCOMPARE(device.write("ghi"), -1);
    QCOMPARE(data, QByteArray("abcdef"));
}

void TestJobs::jobRunsOffTheCallingThreadWhileItsLoopTurns()
{
    QThread *workThread = nullptr;
    BackgroundJob job([&](JobProgress &progress) {
        workThread = QThread::currentThread();
        progress.setTotal(10);
        for (int i = 0; i < 10; ++i) {
            QThread::msleep(20);
            progress.advance(1);
        }
    });
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(5);
    job.start();
    QVERIFY(job.wait());
    QVERIFY(job.isFinished());
    QVERIFY(workThread && workThread != QThread::currentThread());
    QCOMPARE(job.progress().done(), 10);
    QCOMPARE(job.progress().fraction(), 1.0);
    // The calling thread's timers fired while the work slept 200 ms in all.
    QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
}

void TestJobs::waitGivesUpAfterItsTimeAndTheJobGoesOn()
{
    std::atomic<bool> release { false };
    BackgroundJob job([&](JobProgress &) {
        while (!release.load())
            QThread::msleep(1);
    });
    job.start();
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!job.wait(50));
    QVERIFY(clock.elapsed() >= 45);
    QVERIFY(!job.isFinished());
    release = true;
    QVERIFY(job.wait());
}

void TestJobs::cancelReachesTheWork()
{
    bool sawCancel = false;
    BackgroundJob job([&](JobProgress &progress) {
        while (!progress.isCanceled())
            QThread::msleep(1);
        sawCancel = true;
    });
    job.start();
    QTimer::singleShot(20, [&] { job.progress().cancel(); });
    QVERIFY(job.wait());
    QVERIFY(sawCancel);
}

void TestJobs::exceptionOfTheWorkIsThrownOnTheCallingThread()
{
    BackgroundJob job([](JobProgress &) { throw std::runtime_error("disk on fire"); });
    job.start();
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, job.wait());
    QVERIFY(job.wait()); // thrown once only
}

void TestJobs::destroyingARunningJobCancelsAndWaits()
{
    std::atomic<bool> ended { false };
    {
        BackgroundJob job([&](JobProgress &progress) {
            while (!progress.isCanceled())
                QThread::msleep(1);
            ended = true;
        });
        job.start();
        QVERIFY(!job.wait(10));
    }
    QVERIFY(ended.load());
}

QTEST_GUILESS_MAIN(TestJobs)
#include "tst_jobs.moc"
