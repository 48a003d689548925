// SPDX-License-Identifier: MIT
// meterlog's options and its input lines.
//
// Input: a first line of options, split at blanks and parsed as meterlog's
// arguments; the rest is the capture meterlog replays with them. Options that
// reach a file, a device or the network (--output, --device, --demo, --mqtt, a
// FILE) are parsed but not run, so that nothing outside the process is touched.
#include "FuzzCheck.h"

#include "meterlog/MeterLog.h"

#include <QIODevice>
#include <QStringList>
#include <QTextStream>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype end = bytes.indexOf('\n');
    const QByteArray first = end < 0 ? bytes : bytes.left(end);
    QByteArray capture = end < 0 ? QByteArray() : bytes.sliced(end + 1);

    QStringList arguments;
    for (const QString &a : QString::fromUtf8(first).split(u' ', Qt::SkipEmptyParts))
        arguments << a;
    QString outText, errText;
    QTextStream out(&outText), err(&errText);
    int status = -1;
    std::optional<MeterLogOptions> options = parseMeterLogArguments(arguments, out, err, status);
    if (!options) {
        FUZZ_CHECK(status == ExitOk || status == ExitUsage);
        return 0;
    }
    if (!options->output.isEmpty() || !options->file.isEmpty() || !options->mqtt.url.isEmpty()
        || options->source != MeterLogOptions::Source::Replay)
        return 0;
    options->clock = [] { return qint64(1700000000000); };

    QTextStream in(&capture, QIODevice::ReadOnly);
    const int result = runMeterLogReplay(*options, in, out, err);
    FUZZ_CHECK(result == ExitOk || result == ExitBadLine);
    // A bad line is echoed with its control characters escaped.
    for (QChar c : std::as_const(errText)) {
        FUZZ_CHECK(c == u'\n' || c.unicode() >= 0x20);
        FUZZ_CHECK(c.unicode() != 0x7F);
    }
    return 0;
}
