// SPDX-License-Identifier: MIT
#pragma once

#include "journal/JournalKeeper.h"
#include "session/LinkControl.h"
#include "session/MeterSession.h"
#include "session/SessionObserver.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <memory>

class ChartPanel;
class ClickableImage;
class PictureLabel;
class GaugeWidget;
class HelpWindow;
class HidBackend;
class HidChangeNotifier;
class LcdPanel;
class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QTableView;
class QTimer;
class QToolButton;
class ReportPrinters;
class TableFileCommands;
class THidDeviceController;
class ToolsMenu;
class UserDialogs;

// How a main window is set up beyond its model (tests and tools set more).
struct TFrmTestOptions
{
    QString localeDecimal; // empty: the system's decimal separator
    QString exeFolder; // empty: the folder of the running program
    // Keep a journal of the reading table (the programs do; most tests do not).
    bool keepJournal = false;
    QString journalFolder; // empty: the user's data folder of the program
    RecordingJournal::SyncFunction journalSync; // empty: fdatasync
};

// The main window of either program: the emulated display, the gauge and level
// bar, the record tool bar and grid, the trend chart, the Connect and EXIT
// panels, the menu and the timers. It shows what its meter session and link
// control tell it and runs the handlers of its controls; the pipeline from
// report to row lives in MeterSession, the link logic in LinkControl, the
// recording policy in Recorder, the chart paging in the chart panel.
class TFrmTest : public QMainWindow, private SessionObserver, private LinkObserver
{
    Q_OBJECT
public:
    using Options = TFrmTestOptions;

    // Creates the HID device controller on the backend (which lists the
    // devices and selects the cable), then runs FormCreate.
    TFrmTest(MeterModel model, std::shared_ptr<HidBackend> backend,
        std::unique_ptr<HidChangeNotifier> notifier, UserDialogs &dialogs,
        const Options &options = {}, QWidget *parent = nullptr);
    ~TFrmTest() override;

    const ModelDescription &model() const { return m_model; }
    const QString &LocaleDecimal() const { return m_localeDecimal; }
    const QString &ExeFolder() const { return m_exeFolder; }
    const CurrentReading &currentReading() const { return m_session.reading(); }

    MeterSession &session() { return m_session; }
    FrameAssembler &assembler() { return m_session.assembler(); }
    FrameDecoder &decoder() { return m_session.decoder(); }
    LinkControl &link() { return *m_link; }
    ReadingTable &cds1() { return m_session.cds1(); }
    // The journal of the table; nullptr when the window keeps none.
    JournalKeeper *journal() const { return m_journal.get(); }
    Recorder &recorder() { return m_session.recorder(); }
    ChartPanel &chartPanel() { return *m_chart; }
    GaugeWidget &gauge() { return *m_gauge; }
    QProgressBar &PBar2() { return *m_bar; }
    QTableView &DBGrid1() { return *m_grid; }
    QWidget &client() { return *m_client; }
    LcdPanel *lcdPanel() const { return m_lcd; }
    QAction *HELP1() const { return m_help1; }
    HelpWindow *helpWindow() const;
    QTimer &ConTimer() { return *m_conTimer; }
    QTimer &SampInterTime() { return *m_sampInterTime; }
    bool linkIndicatorOn() const;
    ToolsMenu &tools() { return *m_tools; }

    // The general error report: an error box captioned with the application
    // title; the program carries on.
    void showErrorReport(const QString &message);

    // Offers the recordings that ended unsaved (left journals), newest first.
    // The programs call it once at start, before anything is connected.
    void offerLeftJournals();

Q_SIGNALS:
    // A frame is shown and its rows are handed to the system.
    void frameDone();

public Q_SLOTS:
    void Panel2Click();
    void Panel3Click();
    void ClearRClick();
    void HELP1Click();
    void Save_asClick();
    void OpenClick();
    void MajPrintClick();
    // The record-limit menu: index into the six limits.
    void setRecordLimitClick(int index);

private:
    // SessionObserver: what a frame shows.
    void ReportLine(const QString &text) override;
    void LinkOn() override;
    void KDsetup(const GaugeScale &scale) override;
    void SetValueMinimum(double y) override;
    void SetValueMaximum(double y) override;
    void KDrun(int position) override;
    void BarMax(int maximum) override;
    void BarPos(int position) override;
    void AddValue(double y) override;
    void FrameDone() override;
    void FrameFailed(const QString &frameDigits, const QString &message) override;

    // LinkObserver
    void Information(const QString &text) override;
    void PanelChanged() override;
    void Indicator(bool on) override;

    void startJournal();
    void buildControls();
    void buildPanel7();
    void setRecordButtonIcons();
    void buildGrid();
    void buildMenu();
    // The table commands' keys and the Tab order through every command.
    void buildKeyboard();
    void FormCreate();
    void showPanel2();
    void followNewestRow();
    void toggleChartEnlargement();
    // Shows (or takes away) that the record limit has stopped recording: a
    // line in the link history, the hint of the record tool bar and the grid,
    // and a tint of the tool bar. No box: readings go on arriving.
    void showRecordLimitState();

    const ModelDescription &m_model;
    const WindowLayout &m_layout;
    UserDialogs &m_dialogs;
    Options m_options;
    QString m_localeDecimal;
    QString m_exeFolder;

    MeterSession m_session;
    std::unique_ptr<JournalKeeper> m_journal;
    std::unique_ptr<THidDeviceController> m_hidctl;
    std::unique_ptr<LinkControl> m_link;
    TableFileCommands *m_fileCommands = nullptr;
    std::unique_ptr<ReportPrinters> m_printers;

    QWidget *m_client = nullptr;
    ClickableImage *m_panel2 = nullptr;
    ClickableImage *m_panel3 = nullptr;
    LcdPanel *m_lcd = nullptr;
    QWidget *m_panel7 = nullptr;
    QList<QToolButton *> m_recordButtons; // save, clear, open, print
    bool m_recordLimitShown = false;
    QCheckBox *m_repeatSet = nullptr;
    QCheckBox *m_recordSI = nullptr;
    QLineEdit *m_recordSITime = nullptr;
    QString m_acceptedSITime;
    QTableView *m_grid = nullptr;
    GaugeWidget *m_gauge = nullptr;
    PictureLabel *m_conOk = nullptr;
    PictureLabel *m_conOkN = nullptr;
    QProgressBar *m_bar = nullptr;
    ChartPanel *m_chart = nullptr;
    QRect m_chartRemembered;
    QList<QAction *> m_limitActions;
    QAction *m_help1 = nullptr;
    QPointer<HelpWindow> m_helpWindow;
    ToolsMenu *m_tools = nullptr;
    QTimer *m_conTimer = nullptr;
    QTimer *m_sampInterTime = nullptr;
};
