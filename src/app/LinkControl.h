// SPDX-License-Identifier: MIT
#pragma once

#include "core/MeterModel.h"
#include "hid/HidControllerClass.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class FrameAssembler;

// The operator's side of the link, without any window: the hidden device list
// (DevListBox) with the cable chosen by its description, the Connect /
// Disconnect toggle with the cable's set-up feature report, the link watchdog,
// the link history (HistoryListBox) and the state of the Connect panel.
//
// The window forwards the controller's events, the panel click and the watchdog
// timer's ticks here, and shows what it is told through the callbacks.
class LinkControl
{
public:
    enum class PanelColour { Black, Yellow };

    struct Callbacks
    {
        // A modal "Information" box with one OK button; returns when it is closed.
        std::function<void(const QString &text)> information;
        // Panel2's caption or font colour changed.
        std::function<void()> panelChanged;
        // The link indicator: true shows CONok, false CONokN.
        std::function<void(bool on)> indicator;
    };

    // The link history keeps at most this many lines; the oldest go first.
    static constexpr int kHistoryLimit = 5000;
    // Idle reports after which the watchdog declares the meter silent.
    static constexpr qint32 kSilentIdleReports = 1900;

    LinkControl(MeterModel model, THidDeviceController &controller, FrameAssembler &assembler,
        Callbacks callbacks);
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

    // DevListBox: its lines and the selected one (-1 for none).
    QStringList deviceLines() const;
    int selectedLine() const { return m_selected; }
    // HistoryListBox.
    const QStringList &history() const { return m_history; }
    void addHistory(const QString &line);

    // The ten-byte set-up report: ID 0, 2400 as little-endian 32 bits, 3, zeros.
    static QByteArray cableFeatureReport();

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

private:
    struct Line
    {
        QString text;
        std::unique_ptr<THidDevice> device;
    };
    void Read50(THidDevice *device, quint8 reportId, const quint8 *data, quint16 size);
    void installReader(THidDevice *device);
    void removeReader(THidDevice *device);
    THidDevice *selectedDevice() const;
    void setPanel(const QString &caption, PanelColour colour);

    MeterModel m_model;
    THidDeviceController &m_controller;
    FrameAssembler &m_assembler;
    Callbacks m_callbacks;
    std::vector<Line> m_lines;
    int m_selected = -1;
    QStringList m_history;
    QString m_caption;
    PanelColour m_colour = PanelColour::Black;
    bool m_usbCon = false;
    THidDevice *m_cableDevice = nullptr;
    int m_watchdogTick = 0;
};
