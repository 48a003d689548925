// SPDX-License-Identifier: MIT
#include "MeterLog.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);

    int status = ExitOk;
    const auto options = parseMeterLogArguments(app.arguments().mid(1), out, err, status);
    if (!options)
        return status;

    QFile file;
    if (options->file.isEmpty()) {
        if (!file.open(stdin, QIODevice::ReadOnly | QIODevice::Text)) {
            err << "meterlog: cannot read standard input\n";
            return ExitUsage;
        }
    } else {
        file.setFileName(options->file);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
            err << "meterlog: cannot open " << options->file << ": " << file.errorString() << '\n';
            return ExitUsage;
        }
    }
    QTextStream in(&file);
    return runMeterLogReplay(*options, in, out, err);
}
