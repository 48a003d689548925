// SPDX-License-Identifier: MIT
// Kills a recording program at random moments and checks that its journal
// gives back every row that was in its grid.
#include "models/ModelDescription.h"
#include "recording/ReadingTable.h"
#include "recording/TableFiles.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

class TestJournalKill : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void killedRecordingComesBack_data();
    void killedRecordingComesBack();
};

void TestJournalKill::killedRecordingComesBack_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<int>("rowsBeforeKill");
    // Kill points: a few fixed ones (the first row, more than one hand-over
    // piece) and random ones, different in every run.
    QRandomGenerator *random = QRandomGenerator::global();
    QTest::newRow("km90 after 1") << "km90" << 1;
    QTest::newRow("km90 after 1000") << "km90" << 1000;
    QTest::newRow("km50_60 after 2") << "km50_60" << 2;
    for (int i = 0; i < 2; ++i) {
        const int n = random->bounded(5, 400);
        QTest::newRow(qPrintable(QStringLiteral("km90 after %1 (random)").arg(n))) << "km90" << n;
        const int m = random->bounded(5, 400);
        QTest::newRow(qPrintable(QStringLiteral("km50_60 after %1 (random)").arg(m)))
            << "km50_60" << m;
    }
}

void TestJournalKill::killedRecordingComesBack()
{
    QFETCH(QString, model);
    QFETCH(int, rowsBeforeKill);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.filePath("journals");

    // Record until the grid shows the rows asked for, then kill -9.
    QProcess recorder;
    recorder.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    recorder.start(QStringLiteral(KM_JOURNAL_PROBE), { "record", folder, model });
    QVERIFY(recorder.waitForStarted());
    QStringList shown;
    while (shown.size() < rowsBeforeKill) {
        if (!recorder.canReadLine() && !recorder.waitForReadyRead(30000))
            break;
        while (recorder.canReadLine() && shown.size() < rowsBeforeKill)
            shown << QString::fromUtf8(recorder.readLine()).chopped(1);
    }
    QCOMPARE(shown.size(), rowsBeforeKill);
    ::kill(pid_t(recorder.processId()), SIGKILL);
    QVERIFY(recorder.waitForFinished(30000));
    QCOMPARE(recorder.exitStatus(), QProcess::CrashExit);
    // Rows it printed after the ones we waited for were in its grid too.
    while (recorder.canReadLine())
        shown << QString::fromUtf8(recorder.readLine()).chopped(1);

    // The next start restores them; the saved file holds exactly those rows.
    const QString saved = dir.filePath("restored.txt");
    QProcess restorer;
    restorer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    restorer.start(QStringLiteral(KM_JOURNAL_PROBE), { "restore", folder, model, saved });
    QVERIFY(restorer.waitForFinished(60000));
    QCOMPARE(restorer.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(restorer.readAllStandardOutput()).trimmed(), QString("asked 1"));

    ReadingTable restored(findMeterModel(model)->model);
    QVERIFY(TableFiles::readTableTextFile(saved, restored).ok);
    QStringList rows;
    for (int r = 0; r < restored.rowCount(); ++r) {
        QStringList fields;
        for (int c = 0; c < restored.columnCount(); ++c)
            fields << TableFiles::textFileField(restored.fieldText(r, c));
        rows << fields.join(u'\t');
    }
    // Every row shown is back, in order; at most the row of the one frame
    // that was being shown when the kill came is there besides.
    QVERIFY2(rows.size() >= shown.size() && rows.size() <= shown.size() + 1,
        qPrintable(QStringLiteral("%1 shown, %2 restored").arg(shown.size()).arg(rows.size())));
    QCOMPARE(rows.mid(0, shown.size()), shown);
    // And the saved file is the same bytes the program's Save writes for them.
    QFile file(saved);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), TableFiles::tableTextBytes(restored));
}

QTEST_GUILESS_MAIN(TestJournalKill)
#include "tst_journalkill.moc"
