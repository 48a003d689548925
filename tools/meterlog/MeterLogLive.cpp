// SPDX-License-Identifier: MIT
#include "meterlog/MeterLogLive.h"

#include "hid/HidControllerClass.h"
#include "meterlog/MeterLogPrinter.h"
#include "session/LinkControl.h"
#include "session/MeterSession.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace {

// The link control's side of a live run: it ends the loop after the frames
// asked for and says on standard error when the meter is silent.
class LiveWatch : public LinkObserver
{
public:
    LiveWatch(const MeterLogOptions &options, MeterSession &session, MeterLogPrinter &printer,
        QTextStream &out, QTextStream &err, QEventLoop &loop)
        : m_options(options)
        , m_printer(printer)
        , m_session(session)
        , m_out(out)
        , m_err(err)
        , m_loop(loop)
    { }
    LinkControl *link = nullptr;

    void ReportHandled() override
    {
        m_out.flush();
        // Unlike the window, which disconnects, a logger keeps waiting for the meter.
        if (link->takeMeterSilence()) {
            m_err << CableProtocol::meterSilentMessage() << '\n';
            m_err.flush();
        }
        if (m_options.count && m_session.assembler().framesDecoded() >= quint64(*m_options.count))
            m_loop.quit();
        if (m_printer.failed())
            m_loop.exit(ExitOutput);
    }

private:
    const MeterLogOptions &m_options;
    MeterLogPrinter &m_printer;
    MeterSession &m_session;
    QTextStream &m_out;
    QTextStream &m_err;
    QEventLoop &m_loop;
};

} // namespace

int runMeterLogLive(const MeterLogOptions &options, std::shared_ptr<HidBackend> backend,
    QTextStream &out, QTextStream &err, const std::function<bool()> &stopRequested)
{
    MeterSession session(options.model, options.decimal);
    applyRecordOptions(options, session.recorder());
    MeterLogPrinter printer(options, session, out, err);
    session.setObserver(&printer);

    QEventLoop loop;
    int status = ExitOk;
    LiveWatch watch(options, session, printer, out, err, loop);
    THidDeviceController controller(std::move(backend));
    // The device list chooses the cable as the programs' list does.
    LinkControl link(controller, session, &watch);
    watch.link = &link;
    link.attach();

    if (link.selectedLine() < 0) {
        err << "meterlog: no interface cable \"USB to Serial\" is plugged in\n";
        return ExitNoCable;
    }
    THidDevice *cable = link.selectedDevice();
    if (!cable || !cable->CanReadWrite()) {
        err << "meterlog: the interface cable cannot be opened for reading and writing"
               " (on Linux, install packaging/udev/70-km-meter-cable.rules)\n";
        return ExitNoCable;
    }

    if (!printer.openOutput())
        return ExitOutput;
    printer.printHeader();
    out.flush();

    cable->setUnplugHandler([&](THidDevice *) {
        err << "meterlog: the interface cable was unplugged\n";
        status = ExitNoCable;
        loop.quit();
    });
    cable->setDataErrorHandler(
        [&](THidDevice *, quint32 error) { err << "meterlog: READ ERROR " << error << '\n'; });

    link.Panel2Click(); // Connect: the set-up report, then reading

    QTimer stopCheck;
    if (stopRequested) {
        QObject::connect(&stopCheck, &QTimer::timeout, &loop, [&] {
            if (stopRequested())
                loop.quit();
        });
        stopCheck.start(100);
    }
    if (!(options.count && *options.count <= 0)) {
        if (loop.exec() == ExitOutput)
            status = ExitOutput;
    }

    if (status != ExitNoCable && link.USBCon())
        link.Panel2Click(); // Disconnect: reading stops, the set-up report goes out again
    cable->setUnplugHandler({});
    cable->setDataErrorHandler({});
    out.flush();
    err.flush();
    return status;
}
