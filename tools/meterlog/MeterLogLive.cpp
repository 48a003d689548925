// SPDX-License-Identifier: MIT
#include "meterlog/MeterLogLive.h"

#include "hid/HidControllerClass.h"
#include "journal/JournalFile.h"
#include "meterlog/MeterLogPrinter.h"
#include "session/LinkControl.h"
#include "session/MeterSession.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace {

QString hex4(quint16 v)
{
    return QString::number(v, 16).rightJustified(4, u'0');
}

const char *accessHint()
{
    return " (on Linux, install packaging/udev/70-km-meter-cable.rules)";
}

// One live run: the link control, the cable it reads and what becomes of it.
// The cable being read is held under an exclusive lock, so that a second
// meterlog gives up on it at once instead of reading the same reports.
class LiveRun : public LinkObserver
{
public:
    LiveRun(const MeterLogOptions &options, MeterSession &session, MeterLogPrinter &printer,
        THidDeviceController &controller, QTextStream &out, QTextStream &err, QEventLoop &loop)
        : m_options(options)
        , m_session(session)
        , m_printer(printer)
        , m_controller(controller)
        , m_out(out)
        , m_err(err)
        , m_loop(loop)
        , link(controller, session, this)
    {
        link.setCablePath(options.devicePath);
    }
    ~LiveRun() override { unlock(); }

    // Runs the first device-list pass and takes the cable's read errors.
    void attach()
    {
        link.attach();
        m_controller.setOnDeviceDataError(THidDataErrorEvent::bind<&LiveRun::dataError>(this));
    }

    // Checks the chosen cable, locks it and connects. False with the reason
    // in why when it cannot be read.
    bool connectCable(QString &why)
    {
        if (link.selectedLine() < 0) {
            why = m_options.devicePath.isEmpty()
                ? QStringLiteral("no interface cable \"USB to Serial\" is plugged in")
                : QStringLiteral("no HID interface %1 is plugged in (meterlog --list shows "
                                 "the ones there are)")
                      .arg(m_options.devicePath);
            return false;
        }
        THidDevice *cable = link.selectedDevice();
        if (!cable) {
            why = QStringLiteral("the interface cable cannot be claimed");
            return false;
        }
        const QString path = cable->DeviceInfo().DevicePath;
        if (m_lockFd < 0) {
            bool busy = false;
            m_lockFd = JournalFile::lockExclusive(path, busy);
            if (busy) {
                why = QStringLiteral("the interface cable %1 is busy: another meterlog reads it")
                          .arg(path);
                return false;
            }
        }
        if (!cable->CanReadWrite()) {
            unlock();
            quint32 error = 0;
            const bool opens
                = bool(m_controller.backend()->open(path, HidAccess::ReadWrite, &error));
            why = QStringLiteral("the interface cable %1 cannot be opened for reading and writing")
                      .arg(path);
            if (!opens && error != 0)
                why += QStringLiteral(": ") + qt_error_string(int(error));
            why += QString::fromLatin1(accessHint());
            return false;
        }
        // After a device change the link may still count itself connected to
        // a device that is gone; Disconnect first, then Connect.
        if (link.USBCon())
            link.Panel2Click();
        link.Panel2Click(); // Connect: the set-up report, then reading
        m_path = path;
        m_reading = true;
        return true;
    }

    bool reading() const { return m_reading; }
    int status() const { return m_status; }

    void ReportHandled() override
    {
        m_out.flush();
        // Unlike the window, which disconnects, a logger keeps waiting for the meter.
        if (link.takeMeterSilence()) {
            m_err << CableProtocol::meterSilentMessage() << '\n';
            m_err.flush();
        }
        if (m_options.count && m_session.assembler().framesDecoded() >= quint64(*m_options.count))
            m_loop.quit();
        if (m_printer.failed())
            finish(ExitOutput);
    }

    void DeviceListChanged() override
    {
        m_goneNoticed = false;
        if (!m_started || m_status != ExitOk)
            return;
        if (m_reading) {
            // Every device of the old list is gone, the cable's reader with it.
            m_reading = false;
            const THidDevice *cable = link.selectedDevice();
            if (!cable || cable->DeviceInfo().DevicePath != m_path) {
                unlock();
                m_err << "meterlog: the interface cable " << m_path << " was unplugged\n";
                m_err.flush();
                if (!m_options.reconnect) {
                    finish(ExitUnplugged);
                    return;
                }
                m_err << "meterlog: waiting for the interface cable to come back\n";
                m_err.flush();
                m_waiting = true;
                m_lastWhy.clear();
            }
        }
        // Still there (another device came or went), or back: read it again.
        QString why;
        if (connectCable(why)) {
            if (std::exchange(m_waiting, false)) {
                m_err << "meterlog: reading the interface cable " << m_path
                      << " again, numbering continued\n";
                m_err.flush();
            }
            return;
        }
        if (!m_waiting && !m_options.reconnect) {
            // The cable is there but can no longer be read.
            m_err << "meterlog: " << why << '\n';
            m_err.flush();
            finish(ExitNoCable);
            return;
        }
        m_waiting = true;
        // Waiting: say once why a cable that is there cannot be read.
        if (link.selectedLine() >= 0 && why != m_lastWhy) {
            m_err << "meterlog: " << why << '\n';
            m_err.flush();
        }
        m_lastWhy = why;
    }

    void started() { m_started = true; }

    // Disconnects a cable still being read and gives back its lock.
    void stop()
    {
        if (m_reading && link.USBCon())
            link.Panel2Click(); // Disconnect: reading stops, the set-up report goes out again
        m_reading = false;
        unlock();
    }

private:
    void finish(int status)
    {
        if (m_status == ExitOk)
            m_status = status;
        m_loop.quit();
    }

    void unlock()
    {
        if (m_lockFd >= 0)
            JournalFile::closeHandle(m_lockFd);
        m_lockFd = -1;
    }

    void dataError(THidDevice *, quint32 error)
    {
        if (error != hidDeviceGoneError()) {
            m_err << "meterlog: READ ERROR " << error << '\n';
            m_err.flush();
            return;
        }
        // The cable has left: look at the device list now rather than at the
        // next change notice. Queued, since the device is inside its hand-over.
        if (std::exchange(m_goneNoticed, true))
            return;
        QMetaObject::invokeMethod(
            &m_controller, &THidDeviceController::DeviceChange, Qt::QueuedConnection);
    }

    const MeterLogOptions &m_options;
    MeterSession &m_session;
    MeterLogPrinter &m_printer;
    THidDeviceController &m_controller;
    QTextStream &m_out;
    QTextStream &m_err;
    QEventLoop &m_loop;
    int m_status = ExitOk;
    int m_lockFd = -1;
    QString m_path; // the cable being read, or last read
    bool m_started = false;
    bool m_reading = false;
    bool m_goneNoticed = false;
    bool m_waiting = false; // for the cable to come back
    QString m_lastWhy; // while waiting, why the cable there could not be read

public:
    LinkControl link;
};

} // namespace

int listMeterLogCables(std::shared_ptr<HidBackend> backend, QTextStream &out, QTextStream &err)
{
    THidDeviceController controller(std::move(backend));
    if (!controller.HidSupported()) {
        err << "meterlog: no HID support on this system\n";
        err.flush();
    }
    out << "PATH\tVENDOR:PRODUCT\tSERIAL\tPRODUCT\tACCESS\n";
    // A device's strings can be read inside the enumeration handler.
    controller.setOnEnumerate([&](THidDevice *device, qint32) {
        const QString path = device->DeviceInfo().DevicePath;
        const HIDD_ATTRIBUTES a = device->Attributes();
        QString access = QStringLiteral("no access");
        if (device->CanReadWrite()) {
            bool busy = false;
            const int fd = JournalFile::lockExclusive(path, busy);
            if (fd >= 0)
                JournalFile::closeHandle(fd);
            access = busy ? QStringLiteral("read-write, busy") : QStringLiteral("read-write");
        }
        // Tabs and line ends in the device's strings would break the columns.
        const auto field = [](QString text) {
            return text.replace(u'\t', u' ').replace(u'\n', u' ').replace(u'\r', u' ');
        };
        out << field(path) << '\t' << hex4(a.VendorID) << ':' << hex4(a.ProductID) << '\t'
            << field(device->SerialText()) << '\t' << field(device->ProductText()) << '\t' << access
            << '\n';
        return true;
    });
    controller.EnumerateDevices();
    controller.setOnEnumerate({});
    out.flush();
    return ExitOk;
}

int runMeterLogLive(const MeterLogOptions &options, std::shared_ptr<HidBackend> backend,
    std::unique_ptr<HidChangeNotifier> notifier, QTextStream &out, QTextStream &err,
    const std::function<bool()> &stopRequested)
{
    MeterSession session(options.model, options.decimal);
    applyRecordOptions(options, session.recorder());
    MeterLogPrinter printer(options, session, out, err);
    session.setObserver(&printer);

    QEventLoop loop;
    THidDeviceController controller(std::move(backend), std::move(notifier));
    // The device list chooses the cable as the programs' list does, or by its path.
    LiveRun run(options, session, printer, controller, out, err, loop);
    run.attach();

    QString why;
    if (!run.connectCable(why)) {
        err << "meterlog: " << why << '\n';
        err.flush();
        return ExitNoCable;
    }
    run.started();

    if (!printer.openOutput()) {
        run.stop();
        return ExitOutput;
    }
    printer.printHeader();
    out.flush();

    QTimer stopCheck;
    if (stopRequested) {
        QObject::connect(&stopCheck, &QTimer::timeout, &loop, [&] {
            if (stopRequested())
                loop.quit();
        });
        stopCheck.start(100);
    }
    if (!(options.count && *options.count <= 0))
        loop.exec();

    run.stop();
    out.flush();
    err.flush();
    return run.status();
}
