// SPDX-License-Identifier: MIT
#include "session/LinkControl.h"

#include "link/DeviceDescription.h"
#include "session/MeterSession.h"

#include <QByteArrayView>

LinkControl::LinkControl(
    THidDeviceController &controller, MeterSession &session, LinkObserver *observer)
    : m_controller(controller)
    , m_session(session)
    , m_texts(session.model().link)
    , m_observer(observer ? observer : &m_silent)
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
    return m_texts.connect;
}

QString LinkControl::connectedCaption() const
{
    return m_texts.disconnect;
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
    m_observer->PanelChanged();
}

void LinkControl::Read50(THidDevice *, quint8 reportId, const quint8 *data, quint16 size)
{
    m_session.Read50(reportId, QByteArrayView(data, size));
    m_observer->ReportHandled();
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
    m_session.assembler().resetIdleReportCount();
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
        const QByteArray report = CableProtocol::setupReport();
        if (device)
            device->SendFeature(report);
        QString line;
        for (char b : report)
            line += QStringLiteral("%1 ").arg(quint8(b), 2, 16, QLatin1Char('0')).toUpper();
        addHistory(line);
        return;
    }
    m_observer->Information(CableProtocol::noCableMessage());
    m_usbCon = false;
}

void LinkControl::ConTimerTimer()
{
    if (m_watchdogTick < 2) {
        ++m_watchdogTick;
        return;
    }
    if (takeMeterSilence()) {
        m_usbCon = false;
        if (m_cableDevice)
            removeReader(m_cableDevice);
        m_observer->Information(CableProtocol::meterSilentMessage());
        if (m_caption == connectedCaption())
            setPanel(disconnectedCaption(), PanelColour::Yellow);
    }
    m_observer->Indicator(false);
    m_watchdogTick = 0;
}

void LinkControl::LinkOn()
{
    m_observer->Indicator(true);
}

bool LinkControl::takeMeterSilence()
{
    FrameAssembler &assembler = m_session.assembler();
    if (assembler.idleReportCount() < CableProtocol::SilentIdleReports)
        return false;
    assembler.resetIdleReportCount();
    return true;
}

void LinkControl::HidCtlDeviceChange(THidDeviceController *)
{
    ReadBtnClick();
    m_cableDevice = nullptr;
    m_selected = -1;
    m_lines.clear(); // destroying a claimed device hands it back to the controller
    m_controller.EnumerateDevices();
    for (int i = 0; i < int(m_lines.size()); ++i) {
        const Line &line = m_lines[size_t(i)];
        if (m_cablePath.isEmpty() ? line.text == cableDescription() : line.path == m_cablePath)
            m_selected = i;
    }
    m_observer->DeviceListChanged();
}

bool LinkControl::HidCtlEnumerate(THidDevice *device, qint32 idx)
{
    const HIDD_ATTRIBUTES attributes = device->Attributes();
    Line line;
    line.text = deviceDescription(
        device->ProductText(), device->SerialText(), attributes.VendorID, attributes.ProductID);
    line.path = device->DeviceInfo().DevicePath;
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
