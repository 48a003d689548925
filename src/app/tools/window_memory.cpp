// SPDX-License-Identifier: MIT
// The resident memory of a program's window, for the memory benchmark:
//
//   km_window_memory km90|km50_60 ROWS
//
// opens the window as the program does (with its journal, in a temporary
// folder; not connected), waits for its first paint and prints
// "idle_rss_kb N"; then records ROWS meter frames through the window's link
// (one row each, grid and chart attached), lets the window paint and prints
// "rows_rss_kb N" and "rows R".
#include "app/KmApplication.h"
#include "app/Unit1.h"
#include "dialogs/RecordingUserDialogs.h"
#include "hid/demo/DemoCableBackend.h"
#include "link/FrameAssembler.h"
#include "models/ModelDescription.h"
#include "recording/ReadingTable.h"
#include "sim/CableReports.h"
#include "sim/MeterFrames.h"

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace {

// The process's resident set in KiB, from /proc/self/status.
long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

class PaintSeen : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return QObject::eventFilter(watched, event);
    }
    bool painted = false;
};

QList<QByteArray> frameReports(MeterModel model, int i)
{
    const QString digits = QStringLiteral("%1").arg(100 + i % 800, 4, 10, QLatin1Char('0'));
    if (model == MeterModel::Km90) {
        Km90Frame f;
        f.mainDigits = digits;
        return CableReports::frameReports(f.bytes());
    }
    Km50Frame f;
    f.mainDigits = digits;
    return CableReports::frameReports(f.bytes());
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    KmApplication::useProgramStyle();
    const QStringList args = app.arguments();
    const ModelDescription *model = findMeterModel(args.value(1));
    bool rowsOk = false;
    const int rows = args.value(2).toInt(&rowsOk);
    if (!model || !rowsOk || rows < 0) {
        std::fprintf(stderr, "usage: km_window_memory km90|km50_60 ROWS\n");
        return 2;
    }
    QTemporaryDir journalFolder;
    RecordingUserDialogs dialogs;
    TFrmTest::Options options;
    options.keepJournal = true;
    options.journalFolder = journalFolder.path();
    TFrmTest window(
        model->model, std::make_shared<DemoCableBackend>(model->model), {}, dialogs, options);
    PaintSeen paint;
    window.client().installEventFilter(&paint);
    window.show();
    while (!paint.painted)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QApplication::processEvents();
    std::printf("idle_rss_kb %ld\n", residentKb());
    std::fflush(stdout);

    window.recorder().setRecordLimit(10'000'000);
    QList<QList<QByteArray>> frames;
    for (int i = 0; i < 800; ++i)
        frames.append(frameReports(model->model, i));
    for (int i = 0; i < rows; ++i) {
        for (const QByteArray &r : frames.at(i % frames.size()))
            window.assembler().Read50(quint8(r.at(0)), QByteArrayView(r).sliced(1));
        if (i % 1024 == 0)
            QApplication::processEvents();
    }
    QApplication::processEvents();
    std::printf("rows_rss_kb %ld\nrows %d\n", residentKb(), window.cds1().rowCount());
    return 0;
}
