// SPDX-License-Identifier: MIT
#include "app/LinkControl.h"

#include "link/DeviceDescription.h"
#include "link/FrameAssembler.h"

#include <QByteArrayView>

LinkControl::LinkControl(MeterModel model, THidDeviceController &controller,
    FrameAssembler &assembler, Callbacks callbacks)
    : m_model(model)
    , m_controller(controller)
    , m_assembler(assembler)
    , m_callbacks(std::move(callbacks))
    , m_caption(disconnectedCaption())
{ }

LinkControl::~LinkControl()
{
    // Stop reading and hand every claimed device back before the controller goes.
    m_controller.setOnArrival({});
    m_controller.setOnEnumerate({});
    m_controller.setOnDeviceDataError({});
    m_controller.setOnRemoval({});
    for (Line &line : m_lines) {
        if (line.device)
            line.device->setDataHandler({});
    }
    m_lines.clear();
}

void LinkControl::attach()
{
    m_controller.setOnArrival(THidPlugEvent::bind<&LinkControl::HidCtlArrival>(this));
    m_controller.setOnEnumerate(THidEnumerateEvent::bind<&LinkControl::HidCtlEnumerate>(this));
    m_controller.setOnDeviceChange(THidNotifyEvent::bind<&LinkControl::HidCtlDeviceChange>(this));
    m_controller.setOnDeviceDataError(
        THidDataErrorEvent::bind<&LinkControl::HidCtlDeviceDataError>(this));
    m_controller.setOnRemoval(THidPlugEvent::bind<&LinkControl::HidCtlRemoval>(this));
}

QString LinkControl::disconnectedCaption() const
{
    return m_model == MeterModel::Km90 ? QStringLiteral("Connect") : QStringLiteral("CONNECT");
}

QString LinkControl::connectedCaption() const
{
    return m_model == MeterModel::Km90 ? QStringLiteral("Disconnect")
                                       : QStringLiteral("DISCONNECT");
}

QStringList LinkControl::deviceLines() const
{
    QStringList out;
    for (const Line &line : m_lines)
        out.append(line.text);
    return out;
}

void LinkControl::addHistory(const QString &line)
{
    m_history.append(line);
    if (m_history.size() > kHistoryLimit)
        m_history.remove(0, m_history.size() - kHistoryLimit);
}

QByteArray LinkControl::cableFeatureReport()
{
    return QByteArray("\x00\x60\x09\x00\x00\x03\x00\x00\x00\x00", 10);
}

THidDevice *LinkControl::selectedDevice() const
{
    if (m_selected < 0 || m_selected >= int(m_lines.size()))
        return nullptr;
    return m_lines[size_t(m_selected)].device.get();
}

void LinkControl::setPanel(const QString &caption, PanelColour colour)
{
    m_caption = caption;
    m_colour = colour;
    if (m_callbacks.panelChanged)
        m_callbacks.panelChanged();
}

void LinkControl::Read50(THidDevice *, quint8 reportId, const quint8 *data, quint16 size)
{
    m_assembler.Read50(reportId, QByteArrayView(data, size));
}

void LinkControl::installReader(THidDevice *device)
{
    device->setDataHandler(THidDataEvent::bind<&LinkControl::Read50>(this));
}

void LinkControl::removeReader(THidDevice *device)
{
    device->setDataHandler({});
}

void LinkControl::Panel2Click()
{
    if (m_caption != disconnectedCaption())
        setPanel(disconnectedCaption(), PanelColour::Black);
    USBConClick();
}

void LinkControl::USBConClick()
{
    m_usbCon = !m_usbCon;
    ReadBtnClick();
    SetFeatureClick();
    m_assembler.resetIdleReportCount();
    m_cableDevice = nullptr;
    if (THidDevice *device = selectedDevice()) {
        m_cableDevice = device;
        if (!device->CanReadWrite())
            m_usbCon = false;
        else if (m_usbCon)
            installReader(device);
        else
            removeReader(device);
    }
    setPanel(m_usbCon ? connectedCaption() : disconnectedCaption(), PanelColour::Black);
}

void LinkControl::ReadBtnClick()
{
    m_cableDevice = nullptr;
    if (THidDevice *device = selectedDevice()) {
        m_cableDevice = device;
        if (device->CanReadWrite())
            removeReader(device);
    }
}

void LinkControl::SetFeatureClick()
{
    m_cableDevice = nullptr;
    if (!m_lines.empty() && m_selected >= 0) {
        // A line whose device could not be claimed has no device to send to.
        THidDevice *device = selectedDevice();
        m_cableDevice = device;
        const QByteArray report = cableFeatureReport();
        if (device)
            device->SendFeature(report);
        QString line;
        for (char b : report)
            line += QStringLiteral("%1 ").arg(quint8(b), 2, 16, QLatin1Char('0')).toUpper();
        addHistory(line);
        return;
    }
    if (m_callbacks.information)
        m_callbacks.information(QStringLiteral(
            "USB interface cable is not securely connected, please check and re-try."));
    m_usbCon = false;
}

void LinkControl::ConTimerTimer()
{
    if (m_watchdogTick < 2) {
        ++m_watchdogTick;
        return;
    }
    if (m_assembler.idleReportCount() >= kSilentIdleReports) {
        m_assembler.resetIdleReportCount();
        m_usbCon = false;
        if (m_cableDevice)
            removeReader(m_cableDevice);
        if (m_callbacks.information)
            m_callbacks.information(QStringLiteral(
                "USB interface cable is securely connected, please check if the meter is ready."));
        if (m_caption == connectedCaption())
            setPanel(disconnectedCaption(), PanelColour::Yellow);
    }
    if (m_callbacks.indicator)
        m_callbacks.indicator(false);
    m_watchdogTick = 0;
}

void LinkControl::LinkOn()
{
    if (m_callbacks.indicator)
        m_callbacks.indicator(true);
}

void LinkControl::HidCtlDeviceChange(THidDeviceController *)
{
    ReadBtnClick();
    m_cableDevice = nullptr;
    m_selected = -1;
    m_lines.clear(); // destroying a claimed device hands it back to the controller
    m_controller.EnumerateDevices();
    for (int i = 0; i < int(m_lines.size()); ++i) {
        if (m_lines[size_t(i)].text == cableDescription())
            m_selected = i;
    }
}

bool LinkControl::HidCtlEnumerate(THidDevice *device, qint32 idx)
{
    const HIDD_ATTRIBUTES attributes = device->Attributes();
    Line line;
    line.text = deviceDescription(
        device->ProductText(), device->SerialText(), attributes.VendorID, attributes.ProductID);
    line.device = m_controller.ClaimDevice(idx);
    m_lines.push_back(std::move(line));
    return true;
}

void LinkControl::HidCtlArrival(THidDevice *device)
{
    const HIDD_ATTRIBUTES a = device->Attributes();
    addHistory(QStringLiteral("Arrival of ")
        + deviceDescription(device->ProductText(), device->SerialText(), a.VendorID, a.ProductID));
}

void LinkControl::HidCtlRemoval(THidDevice *device)
{
    const HIDD_ATTRIBUTES a = device->Attributes();
    addHistory(QStringLiteral("Removal of ")
        + deviceDescription(device->ProductText(), device->SerialText(), a.VendorID, a.ProductID));
}

void LinkControl::HidCtlDeviceDataError(THidDevice *, quint32 error)
{
    addHistory(QStringLiteral("READ ERROR: %1 (%2)")
                   .arg(qt_error_string(int(error)))
                   .arg(QString::number(error, 16).toUpper()));
}
