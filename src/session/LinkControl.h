// SPDX-License-Identifier: MIT
#pragma once

#include "hid/HidControllerClass.h"
#include "session/CableProtocol.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class MeterSession;
struct LinkTexts;

// What the link control tells the one who shows it (the window, meterlog).
// Every call has an empty default.
class LinkObserver
{
public:
    virtual ~LinkObserver() = default;
    // A modal "Information" box with one OK button; returns when it is closed.
    virtual void Information(const QString & /*text*/) { }
    // Panel2's caption or font colour changed.
    virtual void PanelChanged() { }
    // The link indicator: true shows CONok, false CONokN.
    virtual void Indicator(bool /*on*/) { }
    // A cable report has been through the session.
    virtual void ReportHandled() { }
    // The device list was built again after a device change; the devices of
    // the old list (the cable being read among them) are gone.
    virtual void DeviceListChanged() { }
};

// The operator's side of the link, without any window: the hidden device list
// (DevListBox) with the cable chosen by its description, the Connect /
// Disconnect toggle with the cable's set-up feature report, the link watchdog,
// the link history (HistoryListBox) and the state of the Connect panel.
//
// The window forwards the controller's events, the panel click and the watchdog
// timer's ticks here, and shows what it is told through the observer. The
// cable's reports go to the session's Read50.
class LinkControl
{
public:
    enum class PanelColour { Black, Yellow };

    // The link history keeps at most this many lines; the oldest go first.
    static constexpr int kHistoryLimit = 5000;

    LinkControl(
        THidDeviceController &controller, MeterSession &session, LinkObserver *observer = nullptr);
    ~LinkControl();
    LinkControl(const LinkControl &) = delete;
    LinkControl &operator=(const LinkControl &) = delete;

    // Attaches the controller handlers in the order arrival, enumeration,
    // device change (which runs the first device-list pass), data error,
    // removal.
    void attach();

    // Captions of Panel2.
    QString disconnectedCaption() const;
    QString connectedCaption() const;
    const QString &panelCaption() const { return m_caption; }
    PanelColour panelColour() const { return m_colour; }
    bool USBCon() const { return m_usbCon; }
    THidDevice *CableDevice() const { return m_cableDevice; }
    int WatchdogTick() const { return m_watchdogTick; }

    // The cable is the device at this path instead of the line that
    // reads "USB to Serial" (empty: by its description). Set before attach().
    void setCablePath(const QString &path) { m_cablePath = path; }
    const QString &cablePath() const { return m_cablePath; }

    // DevListBox: its lines and the selected one (-1 for none).
    QStringList deviceLines() const;
    int selectedLine() const { return m_selected; }
    // The device of the selected line (nullptr when none, or when it could not be claimed).
    THidDevice *selectedDevice() const;
    // HistoryListBox.
    const QStringList &history() const { return m_history; }
    void addHistory(const QString &line);

    // Handlers.
    void Panel2Click();
    void USBConClick();
    void ReadBtnClick();
    void SetFeatureClick();
    void ConTimerTimer();
    void HidCtlDeviceChange(THidDeviceController *sender);
    bool HidCtlEnumerate(THidDevice *device, qint32 idx);
    void HidCtlArrival(THidDevice *device);
    void HidCtlRemoval(THidDevice *device);
    void HidCtlDeviceDataError(THidDevice *device, quint32 error);

    // A decoded frame switches the indicator on until the next watchdog action.
    void LinkOn();

    // True once the cable has sent only idle reports for CableProtocol::
    // SilentIdleReports reports since the last data; the count starts again.
    bool takeMeterSilence();

private:
    struct Line
    {
        QString text;
        QString path;
        std::unique_ptr<THidDevice> device;
    };
    void Read50(THidDevice *device, quint8 reportId, const quint8 *data, quint16 size);
    void installReader(THidDevice *device);
    void removeReader(THidDevice *device);
    void setPanel(const QString &caption, PanelColour colour);

    THidDeviceController &m_controller;
    MeterSession &m_session;
    const LinkTexts &m_texts;
    LinkObserver m_silent; // stands in when nobody observes
    LinkObserver *m_observer;
    std::vector<Line> m_lines;
    QString m_cablePath;
    int m_selected = -1;
    QStringList m_history;
    QString m_caption;
    PanelColour m_colour = PanelColour::Black;
    bool m_usbCon = false;
    THidDevice *m_cableDevice = nullptr;
    int m_watchdogTick = 0;
};
