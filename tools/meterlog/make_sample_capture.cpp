// SPDX-License-Identifier: MIT
// Writes a sample capture of a KM90 or KM50/KM60 meter as link-history lines:
// a short tour through the meter's functions with changing readings, packed
// into cable reports the way the cable does, with idle reports between frames.
// Usage: make_sample_capture km90|km50_60 > capture.txt

#include "link/FrameAssembler.h"
#include "sim/CableReports.h"
#include "sim/MeterFrames.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cmath>

namespace {

QString digits(double value, int decimals)
{
    // Four digit characters without the point, e.g. 123.4 with 1 decimal -> "1234".
    const long scaled = std::lround(std::fabs(value) * std::pow(10.0, decimals));
    return QStringLiteral("%1").arg(scaled % 10000, 4, 10, QChar(u'0'));
}

void writeFrame(QTextStream &out, const QByteArray &frameBytes, int turn)
{
    // Chunk sizes vary as the cable passes on what the UART received since its last poll.
    static const QList<QList<int>> patterns { { 7 }, { 5, 7, 3 }, { 2, 7, 7, 6 }, { 7, 1, 7 } };
    const auto reports = CableReports::packVarying(frameBytes, patterns[turn % patterns.size()]);
    for (const QByteArray &r : reports)
        out << FrameAssembler::reportText(quint8(r[0]), QByteArrayView(r).sliced(1)) << '\n';
    for (int i = 0; i < 3 + turn % 4; ++i) {
        const QByteArray idle = CableReports::idleReport();
        out << FrameAssembler::reportText(0, QByteArrayView(idle).sliced(1)) << '\n';
    }
}

void km90(QTextStream &out)
{
    out << "# KM90 sample capture: active power rising, apparent and reactive power, power "
           "factor,\n"
           "# phase angle, frequency, a negative overload held on the display, and the sum "
           "display.\n";
    int turn = 0;
    auto frame = [&](const Km90Frame &f) { writeFrame(out, f.bytes(), turn++); };

    for (int i = 0; i < 8; ++i) {
        Km90Frame f;
        f.function = 0;
        f.mainDigits = digits(118.6 + 1.7 * i, 1);
        f.mainPoint = 1;
        f.voltageDigits = digits(229.4 + 0.3 * (i % 3), 1);
        f.voltagePoint = 1;
        f.currentDigits = digits(5.171 + 0.074 * i, 3);
        f.currentPoint = 3;
        f.memory = 5;
        f.status.battery = i > 5;
        frame(f);
    }
    for (int function : { 1, 2 }) {
        Km90Frame f;
        f.function = function;
        f.mainDigits = digits(function == 1 ? 131.2 : 41.8, 1);
        f.mainPoint = 1;
        f.voltageDigits = QStringLiteral("2301");
        f.voltagePoint = 1;
        f.currentDigits = QStringLiteral("5702");
        f.currentPoint = 3;
        f.memory = 5;
        frame(f);
    }
    for (double pf : { 0.912, 0.905, -0.500 }) {
        Km90Frame f;
        f.function = 3;
        f.mainDigits = digits(pf, 3);
        f.mainPoint = 3;
        f.voltageDigits = QStringLiteral("2298");
        f.voltagePoint = 1;
        f.currentDigits = QStringLiteral("1250");
        f.currentPoint = 2;
        f.memory = 6;
        f.status.minus = pf < 0;
        frame(f);
    }
    for (double angle : { 24.3, 25.1 }) {
        Km90Frame f;
        f.function = 4;
        f.mainDigits = digits(angle, 1);
        f.mainPoint = 1;
        f.voltageDigits = QStringLiteral("2301");
        f.voltagePoint = 1;
        f.currentDigits = QStringLiteral("5360");
        f.currentPoint = 3;
        f.memory = 6;
        frame(f);
    }
    {
        Km90Frame f;
        f.function = 5;
        f.mainDigits = QStringLiteral("5001");
        f.mainPoint = 2;
        f.voltageDigits = QStringLiteral("2301");
        f.voltagePoint = 1;
        f.currentDigits = QStringLiteral("5360");
        f.currentPoint = 3;
        f.memory = 6;
        frame(f);
    }
    {
        Km90Frame f; // negative overload, held
        f.function = 0;
        f.mainDigits = QStringLiteral("9999");
        f.voltageDigits = QStringLiteral("2301");
        f.voltagePoint = 1;
        f.currentDigits = QStringLiteral("5360");
        f.currentPoint = 3;
        f.memory = 12;
        f.status.minus = true;
        f.status.mainOverload = true;
        f.status.hold = true;
        frame(f);
    }
    {
        Km90Frame f; // sum display
        f.function = 7;
        f.mainDigits = QStringLiteral("2475");
        f.mainPoint = 1;
        f.voltageDigits = QStringLiteral("2301");
        f.voltagePoint = 1;
        f.currentDigits = QStringLiteral("5360");
        f.currentPoint = 3;
        f.memory = 12;
        f.status.sum = true;
        f.status.mem = true;
        frame(f);
    }
}

void km50(QTextStream &out)
{
    out << "# KM50/KM60 sample capture: voltage with frequency, current, power, power factor,\n"
           "# energy, temperature, an overload and the sum display.\n";
    int turn = 0;
    auto frame = [&](const Km50Frame &f) { writeFrame(out, f.bytes(), turn++); };

    for (int i = 0; i < 6; ++i) {
        Km50Frame f;
        f.function = 0;
        f.mainDigits = digits(229.8 + 0.2 * i, 1);
        f.mainPoint = 1;
        f.secondaryDigits = QStringLiteral("5000");
        f.secondaryPoint = 2;
        f.memory = 3;
        frame(f);
    }
    for (int i = 0; i < 3; ++i) {
        Km50Frame f;
        f.function = 1;
        f.mainDigits = digits(12.31 + 0.05 * i, 2);
        f.mainPoint = 2;
        f.secondaryDigits = QStringLiteral("2301");
        f.secondaryPoint = 1;
        f.memory = 3;
        frame(f);
    }
    {
        Km50Frame f;
        f.function = 2;
        f.mainDigits = QStringLiteral("2815");
        f.mainPoint = 3;
        f.secondaryDigits = QStringLiteral("1231");
        f.secondaryPoint = 2;
        f.memory = 3;
        frame(f);
    }
    {
        Km50Frame f;
        f.function = 4;
        f.mainDigits = QStringLiteral("0856");
        f.mainPoint = 3;
        f.secondaryDigits = QStringLiteral("0000");
        f.memory = 4;
        frame(f);
    }
    {
        Km50Frame f;
        f.function = 5;
        f.mainDigits = QStringLiteral("0127");
        f.mainPoint = 1;
        f.memory = 4;
        frame(f);
    }
    for (const char *t : { "0235", "1300" }) {
        Km50Frame f;
        f.function = 6;
        f.mainDigits = QString::fromLatin1(t);
        f.mainPoint = 0;
        f.secondaryPoint = 4;
        frame(f);
    }
    {
        Km50Frame f; // overload
        f.function = 1;
        f.mainDigits = QStringLiteral("9999");
        f.secondaryDigits = QStringLiteral("2301");
        f.secondaryPoint = 1;
        f.memory = 4;
        f.status.mainOverload = true;
        frame(f);
    }
    {
        Km50Frame f; // sum power
        f.function = 7;
        f.mainDigits = QStringLiteral("0600");
        f.mainPoint = 3;
        f.secondaryDigits = QStringLiteral("1121");
        f.status.minus = true;
        f.status.mem = true;
        f.status.sum = true;
        frame(f);
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const QStringList args = app.arguments();
    if (args.size() != 2 || (args[1] != u"km90" && args[1] != u"km50_60")) {
        QTextStream(stderr) << "usage: make_sample_capture km90|km50_60\n";
        return 2;
    }
    if (args[1] == u"km90")
        km90(out);
    else
        km50(out);
    return 0;
}
