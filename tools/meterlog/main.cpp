// SPDX-License-Identifier: MIT
#include "hid/HidapiBackend.h"
#include "hid/SystemHidChangeNotifier.h"
#include "hid/demo/DemoCableBackend.h"
#include "journal/JournalFile.h"
#include "meterlog/MeterLog.h"
#include "meterlog/MeterLogLive.h"

#include <QCoreApplication>
#include <QFile>

#include <atomic>
#include <csignal>

namespace {

std::atomic<bool> interrupted { false };

void onInterrupt(int)
{
    interrupted = true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);

    int status = ExitOk;
    auto options = parseMeterLogArguments(app.arguments().mid(1), out, err, status);
    if (!options)
        return status;
    if (options->list)
        return listMeterLogCables(std::make_shared<HidapiBackend>(), out, err);
    // A consumer on a pipe sees each frame's rows as they come.
    options->flushEachFrame = !JournalFile::isTerminal(1);

    if (options->source != MeterLogOptions::Source::Replay) {
        // Ctrl-C ends a live run cleanly, with everything printed so far flushed.
        std::signal(SIGINT, onInterrupt);
        std::signal(SIGTERM, onInterrupt);
        std::shared_ptr<HidBackend> backend;
        std::unique_ptr<HidChangeNotifier> notifier;
        if (options->source == MeterLogOptions::Source::Device) {
            backend = std::make_shared<HidapiBackend>();
            // Unplug and return of the cable: udev's notices, or a look every 2 s.
            notifier = createSystemHidChangeNotifier();
        } else {
            backend = std::make_shared<DemoCableBackend>(options->model);
        }
        return runMeterLogLive(
            *options, backend, std::move(notifier), out, err, [] { return interrupted.load(); });
    }

    // The input is read as raw bytes, straight from its handle: a read of a
    // pipe gives the lines there are, so rows come out as the lines come in.
    QFile file;
    int fd = 0; // standard input
    if (!options->file.isEmpty()) {
        file.setFileName(options->file);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
            err << "meterlog: cannot open " << options->file << ": " << file.errorString() << '\n';
            return ExitUsage;
        }
        fd = file.handle();
    }
    const MeterLogInput read
        = [fd](char *data, qint64 size) { return JournalFile::readSome(fd, data, size); };
    return runMeterLogReplay(*options, read, out, err);
}
