// SPDX-License-Identifier: MIT
#include "Unit1.h"

#include "ChartEnlargement.h"
#include "ChartPanel.h"
#include "ErrorReport.h"
#include "GaugeWidget.h"
#include "HelpWindow.h"
#include "HidControllerClass.h"
#include "Km50Decoder.h"
#include "Km90Decoder.h"
#include "LcdPanel.h"
#include "LcdPanelSlot.h"
#include "LinkControl.h"
#include "MajPrint.h"
#include "ProgramFiles.h"
#include "ReadingTable.h"
#include "ReadingText.h"
#include "Recorder.h"
#include "ReportPrinters.h"
#include "TableFileCommands.h"
#include "UserDialogs.h"
#include "uCharControl.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <QToolButton>

namespace {

// Aligns the grid's cells per column.
class AlignmentDelegate : public QStyledItemDelegate
{
public:
    AlignmentDelegate(QList<Qt::Alignment> alignments, QObject *parent)
        : QStyledItemDelegate(parent)
        , m_alignments(std::move(alignments))
    { }

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.column() < m_alignments.size())
            option->displayAlignment = m_alignments.at(index.column()) | Qt::AlignVCenter;
    }

private:
    QList<Qt::Alignment> m_alignments;
};

QPixmap indicatorPixmap(const QColor &colour)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::darkGray, 2));
    p.setBrush(colour);
    p.drawEllipse(QRectF(5, 5, 22, 22));
    return pixmap;
}

ClickableImage *commandPanel(const QString &name, const QString &caption, QWidget *parent)
{
    auto *panel = new ClickableImage(caption, parent);
    panel->setObjectName(name);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(2);
    panel->setAlignment(Qt::AlignCenter);
    QFont font = panel->font();
    font.setBold(true);
    panel->setFont(font);
    panel->setCursor(Qt::PointingHandCursor);
    return panel;
}

} // namespace

TFrmTest::TFrmTest(const DeliverableTraits &traits, std::shared_ptr<HidBackend> backend,
    std::unique_ptr<HidChangeNotifier> notifier, UserDialogs &dialogs, const Options &options,
    QWidget *parent)
    : QMainWindow(parent,
        Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
            | Qt::WindowCloseButtonHint)
    , m_traits(traits)
    , m_dialogs(dialogs)
    , m_options(options)
    , m_localeDecimal(options.localeDecimal.isEmpty() ? ReadingText::systemDecimalSeparator()
                                                      : options.localeDecimal)
    , m_table(std::make_unique<ReadingTable>(traits.model))
    , m_recorder(std::make_unique<Recorder>(traits.model, *m_table, m_reading))
    , m_assembler(frameLength(traits.model))
{
    setObjectName(QStringLiteral("FrmTest"));
    if (traits.model == MeterModel::Km90)
        m_decoder = std::make_unique<Km90Decoder>(
            static_cast<DecoderOutputs &>(*this), m_reading, m_localeDecimal);
    else
        m_decoder = std::make_unique<Km50Decoder>(
            static_cast<DecoderOutputs &>(*this), m_reading, m_localeDecimal);
    m_assembler.setShowData50([this](const QString &frame) {
        m_decoder->ShowData50(frame);
        afterFrame();
    });
    m_assembler.setFailureHandler([this](const QString &frame, const QString &message) {
        m_link->addHistory(QStringLiteral("FRAME ERROR: %1 (%2)").arg(message, frame));
        m_lcd->refresh(); // what the frame had set before it failed stays shown
    });

    buildControls();

    // The device controller lists the devices while the window is built; the
    // first device-change pass fills the device list and selects the cable.
    m_hidctl = std::make_unique<THidDeviceController>(std::move(backend), std::move(notifier));
    LinkControl::Callbacks callbacks;
    callbacks.information = [this](const QString &text) {
        m_dialogs.information(this, QStringLiteral("Information"), text);
    };
    callbacks.panelChanged = [this] { showPanel2(); };
    callbacks.indicator = [this](bool on) {
        m_conOk->setVisible(on);
        m_conOkN->setVisible(!on);
    };
    m_link = std::make_unique<LinkControl>(traits.model, *m_hidctl, m_assembler, callbacks);
    m_assembler.setHistoryHandler([this](const QString &line) { m_link->addHistory(line); });
    m_link->attach();
    showPanel2();

    FormCreate();
}

TFrmTest::~TFrmTest()
{
    // Reading stops before the decoder, table and widgets it feeds go away. A
    // report already handed over while the read thread stops reaches nothing.
    m_assembler.setShowData50({});
    m_assembler.setHistoryHandler({});
    m_assembler.setFailureHandler({});
    m_link.reset();
    m_hidctl.reset();
}

void TFrmTest::buildControls()
{
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("ClientArea"));
    m_client->setFixedSize(m_traits.clientSize);
    // The controls were laid out for an 8-point Arial; wider text (DejaVu Sans,
    // the usual Linux default) would not fit the grid's columns and the tool
    // bar. Liberation Sans has Arial's widths where Arial is missing.
    QFont font = m_client->font();
    font.setFamilies({ QStringLiteral("Arial"), QStringLiteral("Liberation Sans") });
    font.setPointSize(8);
    m_client->setFont(font);
    setCentralWidget(m_client);

    m_panel2 = commandPanel(QStringLiteral("Panel2"), QString(), m_client);
    m_panel2->setGeometry(m_traits.panel2);
    connect(m_panel2, &ClickableImage::clicked, this, &TFrmTest::Panel2Click);
    m_panel3 = commandPanel(QStringLiteral("Panel3"), QStringLiteral("EXIT"), m_client);
    m_panel3->setGeometry(m_traits.panel3);
    connect(m_panel3, &ClickableImage::clicked, this, &TFrmTest::Panel3Click);

    m_lcd = createLcdPanel(m_traits, *m_decoder, m_client);
    m_lcd->setGeometry(m_traits.lcdPanel);

    buildPanel7();
    buildGrid();

    m_gauge = new GaugeWidget(m_traits.model, m_traits.gauge.size(), m_client);
    m_gauge->move(m_traits.gauge.topLeft());
    m_conOk = new QLabel(m_gauge);
    m_conOk->setObjectName(QStringLiteral("CONok"));
    m_conOk->setPixmap(indicatorPixmap(QColor(0x20, 0xC0, 0x20)));
    m_conOk->setGeometry(5, 5, 32, 32);
    m_conOk->hide();
    m_conOkN = new QLabel(m_gauge);
    m_conOkN->setObjectName(QStringLiteral("CONokN"));
    m_conOkN->setPixmap(indicatorPixmap(QColor(0xB0, 0xB0, 0xB0)));
    m_conOkN->setGeometry(5, 5, 32, 32);

    m_bar = new QProgressBar(m_client);
    m_bar->setObjectName(QStringLiteral("PBar2"));
    m_bar->setGeometry(m_traits.levelBar);
    m_bar->setRange(0, 60);
    m_bar->setValue(20);
    m_bar->setTextVisible(false);

    m_chart = new ChartPanel(chartPanelLayout(m_traits.model), m_dialogs, m_client);
    m_chart->setObjectName(QStringLiteral("Chtshow"));
    m_chart->setGeometry(m_traits.chart);
    m_chartRemembered = m_traits.chart;
    connect(m_chart, &ChartPanel::clearRequested, this, &TFrmTest::ClearRClick);
    connect(m_chart, &ChartPanel::enlargeRequested, this, &TFrmTest::toggleChartEnlargement);
    connect(m_chart, &ChartPanel::restoreRequested, this, &TFrmTest::toggleChartEnlargement);
    connect(m_chart, &ChartPanel::errorRaised, this, &TFrmTest::showErrorReport);

    m_fileCommands = new TableFileCommands(*m_table, m_dialogs, this, this);
    connect(m_fileCommands, &TableFileCommands::detachGridRequested, this,
        [this] { m_grid->setUpdatesEnabled(false); });
    connect(m_fileCommands, &TableFileCommands::attachGridRequested, this, [this] {
        m_grid->setUpdatesEnabled(true);
        followNewestRow();
    });
    connect(m_fileCommands, &TableFileCommands::repaintRequested, this, [this] { update(); });
    connect(m_fileCommands, &TableFileCommands::errorRaised, this, &TFrmTest::showErrorReport);

    buildMenu();

    m_conTimer = new QTimer(this);
    m_conTimer->setObjectName(QStringLiteral("ConTimer"));
    m_conTimer->setInterval(m_traits.conTimerMs);
    connect(m_conTimer, &QTimer::timeout, this, [this] { m_link->ConTimerTimer(); });
    m_conTimer->start();
    m_sampInterTime = new QTimer(this);
    m_sampInterTime->setObjectName(QStringLiteral("SampInterTime"));
    m_sampInterTime->setInterval(m_traits.sampInterTimeMs);
    connect(m_sampInterTime, &QTimer::timeout, this, [this] { m_recorder->SampInterTimeTimer(); });
    m_sampInterTime->start();

    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void TFrmTest::buildPanel7()
{
    m_panel7 = new QFrame(m_client);
    m_panel7->setObjectName(QStringLiteral("Panel7"));
    static_cast<QFrame *>(m_panel7)->setFrameStyle(QFrame::Panel | QFrame::Raised);
    m_panel7->setGeometry(m_traits.panel7);
    const int h = m_traits.panel7.height();

    m_repeatSet = new QCheckBox(QStringLiteral("Repeat"), m_panel7);
    m_repeatSet->setObjectName(QStringLiteral("RepeatSet"));
    m_repeatSet->setToolTip(QStringLiteral("Repeage Record"));
    m_repeatSet->setGeometry(4, 0, 64, h);
    connect(
        m_repeatSet, &QCheckBox::toggled, this, [this](bool on) { m_recorder->setRepeatSet(on); });

    m_recordSI = new QCheckBox(QStringLiteral("Sampling Interval            'S"), m_panel7);
    m_recordSI->setObjectName(QStringLiteral("RecordSI"));
    const int buttonsLeft = m_traits.panel7.width() - 4 - 4 * (h - 2);
    m_recordSI->setGeometry(70, 0, buttonsLeft - 72, h);
    connect(
        m_recordSI, &QCheckBox::toggled, this, [this](bool on) { m_recorder->setRecordSI(on); });

    // The seconds field lies over the blanks of the check box's caption.
    QStyleOptionButton option;
    option.initFrom(m_recordSI);
    option.text = m_recordSI->text();
    const int textStart = 70
        + m_recordSI->style()
              ->subElementRect(QStyle::SE_CheckBoxContents, &option, m_recordSI)
              .left();
    const int fieldLeft = textStart
        + m_recordSI->fontMetrics().horizontalAdvance(QStringLiteral("Sampling Interval "));
    const int fieldWidth
        = m_recordSI->fontMetrics().horizontalAdvance(QStringLiteral("           "));
    m_recordSITime = new QLineEdit(QStringLiteral("10"), m_panel7);
    m_recordSITime->setObjectName(QStringLiteral("RecordSITime"));
    m_recordSITime->setGeometry(fieldLeft, 3, qMax(fieldWidth, 26), h - 6);
    m_recordSITime->setAlignment(Qt::AlignRight);
    m_recordSITime->installEventFilter(this);
    m_acceptedSITime = m_recordSITime->text();
    connect(m_recordSITime, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (m_recorder->RecordSITimeChange(text)) {
            m_acceptedSITime = text;
            return;
        }
        // A value the interval rule refuses (too large for 32 bits) is not taken.
        const QSignalBlocker block(m_recordSITime);
        m_recordSITime->setText(m_acceptedSITime);
    });

    struct Button
    {
        const char *name;
        const char *hint;
        QStyle::StandardPixmap icon;
        void (TFrmTest::*slot)();
    };
    const Button buttons[] = {
        { "SpeedButton1", "Save Data", QStyle::SP_DialogSaveButton, &TFrmTest::Save_asClick },
        { "SpeedButton2", "Delete Data", QStyle::SP_TrashIcon, &TFrmTest::ClearRClick },
        { "SpeedButton3", "Open Data", QStyle::SP_DialogOpenButton, &TFrmTest::OpenClick },
        { "MajPrint", "Print Data", QStyle::SP_FileDialogDetailedView, &TFrmTest::MajPrintClick },
    };
    int x = buttonsLeft;
    for (const Button &b : buttons) {
        auto *button = new QToolButton(m_panel7);
        button->setObjectName(QString::fromLatin1(b.name));
        button->setToolTip(QString::fromLatin1(b.hint));
        button->setIcon(style()->standardIcon(b.icon));
        button->setAutoRaise(true);
        button->setGeometry(x, 1, h - 2, h - 2);
        connect(button, &QToolButton::clicked, this, b.slot);
        x += h - 2;
    }
}

void TFrmTest::buildGrid()
{
    m_grid = new QTableView(m_client);
    m_grid->setObjectName(QStringLiteral("DBGrid1"));
    m_grid->setGeometry(m_traits.grid);
    m_grid->setModel(m_table.get());
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_grid->verticalHeader()->setDefaultSectionSize(18);
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_grid->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QList<Qt::Alignment> alignments;
    for (int c = 0; c < m_table->columnCount(); ++c) {
        if (c < m_traits.gridColumnWidths.size())
            m_grid->setColumnWidth(c, m_traits.gridColumnWidths.at(c));
        if (m_traits.gridCentred)
            alignments.append(Qt::AlignHCenter);
        else
            alignments.append(c == 1 ? Qt::AlignRight : Qt::AlignLeft);
    }
    m_grid->setItemDelegate(new AlignmentDelegate(alignments, m_grid));
    if (m_traits.gridRowIndicator) {
        m_grid->verticalHeader()->setVisible(true);
        m_grid->verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
        QPalette p = m_grid->palette();
        p.setColor(QPalette::Base, QColor(0xC0, 0xC0, 0xC0));
        m_grid->setPalette(p);
    } else {
        m_grid->verticalHeader()->setVisible(false);
    }
    connect(m_table.get(), &QAbstractItemModel::rowsInserted, this, &TFrmTest::followNewestRow);
}

void TFrmTest::buildMenu()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    QMenu *rec = bar->addMenu(QStringLiteral("Record"));
    rec->setObjectName(QStringLiteral("Rec"));
    QMenu *recSet = rec->addMenu(QStringLiteral(" RecordSet"));
    recSet->setObjectName(QStringLiteral("RecSet"));
    auto *group = new QActionGroup(this);
    group->setExclusive(true);
    const auto &choices = recordLimitChoices();
    for (int i = 0; i < int(choices.size()); ++i) {
        QAction *action = recSet->addAction(QString::fromLatin1(choices[size_t(i)].caption));
        action->setObjectName(QString::fromLatin1(choices[size_t(i)].name));
        action->setCheckable(true);
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, i] { setRecordLimitClick(i); });
        m_limitActions.append(action);
    }

    // The help command belongs to the window, not to a displayed menu: its key
    // works whenever the window is active.
    m_help1 = new QAction(QStringLiteral("  Help     "), this);
    m_help1->setObjectName(QStringLiteral("HELP1"));
    m_help1->setShortcut(QKeySequence(Qt::Key_F1));
    m_help1->setShortcutContext(Qt::WindowShortcut);
    addAction(m_help1);
    connect(m_help1, &QAction::triggered, this, &TFrmTest::HELP1Click);
}

void TFrmTest::FormCreate()
{
    // The locale's decimal separator was read when the decoder was made; the
    // chart panel made its page controller with 100 points per page.
    if (m_traits.model == MeterModel::Km90)
        setWindowTitle(m_traits.caption);
    m_exeFolder = m_options.exeFolder.isEmpty() ? QCoreApplication::applicationDirPath()
                                                : m_options.exeFolder;
    if (!m_exeFolder.endsWith(u'/'))
        m_exeFolder += u'/';
    setRecordLimitClick(2); // "10000"
    kdSetup();
    kdRun(m_decoder->gaugeScale().ZeroOffset);
    m_repeatSet->setChecked(true);
    m_recorder->setRepeatSet(true);
    if (m_traits.model != MeterModel::Km90)
        setWindowTitle(m_traits.caption);
}

void TFrmTest::showPanel2()
{
    m_panel2->setText(m_link->panelCaption());
    const QColor colour = m_link->panelColour() == LinkControl::PanelColour::Yellow
        ? QColor(Qt::yellow)
        : Qt::black;
    QPalette p = m_panel2->palette();
    p.setColor(QPalette::WindowText, colour);
    m_panel2->setPalette(p);
}

bool TFrmTest::linkIndicatorOn() const
{
    return !m_conOk->isHidden() && m_conOkN->isHidden();
}

void TFrmTest::showErrorReport(const QString &message)
{
    m_dialogs.error(this, ErrorReport::applicationTitle(), ErrorReport::boxText(message));
}

void TFrmTest::Panel2Click()
{
    m_link->Panel2Click();
}

void TFrmTest::Panel3Click()
{
    if (m_traits.exitClosesTable)
        m_grid->setModel(nullptr);
    close();
}

void TFrmTest::ClearRClick()
{
    m_dialogs.information(this, QStringLiteral("Information"),
        QStringLiteral(" Warning:all Records will be deleted! "));
    const bool hadRows = m_recorder->ClearRClick();
    if (hadRows || m_traits.clearAlwaysClearsChart)
        m_chart->chartControl().ClearChart();
}

void TFrmTest::HELP1Click()
{
    if (!m_helpWindow) {
        m_helpWindow = new HelpWindow(this);
        m_helpWindow->setAttribute(Qt::WA_DeleteOnClose);
    }
    // Beside the program first, then the installed data folder.
    m_helpWindow->showContents(ProgramFiles::helpFilePath(m_exeFolder));
    m_helpWindow->show();
    m_helpWindow->raise();
}

void TFrmTest::Save_asClick()
{
    m_fileCommands->Save_asClick();
}

void TFrmTest::OpenClick()
{
    m_fileCommands->OpenClick();
}

void TFrmTest::MajPrintClick()
{
    // The preview does not block: frames keep arriving while it is open, and
    // the grid stops following the table until it closes.
    if (!m_printers)
        m_printers = std::make_unique<QtReportPrinters>();
    ::MajPrintClick(*m_table, m_dialogs, *m_printers, this,
        { [this] { m_grid->setUpdatesEnabled(false); },
            [this] {
                m_grid->setUpdatesEnabled(true);
                followNewestRow();
            } });
}

void TFrmTest::setRecordLimitClick(int index)
{
    if (!m_recorder->setRecordLimitChoice(index))
        return;
    for (int i = 0; i < m_limitActions.size(); ++i)
        m_limitActions.at(i)->setChecked(i == index);
}

void TFrmTest::followNewestRow()
{
    const int last = m_table->rowCount() - 1;
    if (last < 0 || !m_grid->updatesEnabled())
        return;
    m_grid->setCurrentIndex(m_table->index(last, 0));
    m_grid->scrollToBottom();
}

void TFrmTest::toggleChartEnlargement()
{
    const ChartEnlargement e = ::toggleChartEnlargement(frameGeometry().size(), m_chart->geometry(),
        m_chartRemembered, m_chart->layout().enlargedHeightAllowance);
    m_chartRemembered = e.remembered;
    const int frameExtra = frameGeometry().height() - height();
    const int menuHeight = height() - m_client->height();
    m_client->setFixedSize(m_traits.clientSize.width(),
        qMax(m_traits.clientSize.height(), e.windowOuterHeight - frameExtra - menuHeight));
    m_chart->setGeometry(e.chart);
    m_chart->raise();
    m_chart->showEnlarged(e.enlarged);
}

bool TFrmTest::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_recordSITime && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const QString text = key->text();
        if (!text.isEmpty() && text.at(0).isPrint() && !Recorder::RecordSITimeKeyPress(text.at(0)))
            return true; // only digits and Backspace reach the field
    }
    return QMainWindow::eventFilter(watched, event);
}

void TFrmTest::afterFrame()
{
    m_lcd->refresh(); // one repaint per frame, of the elements that changed
}

// The decoder's calls.

void TFrmTest::linkOn()
{
    m_link->linkOn();
}

void TFrmTest::dispInit(int)
{
    // The decoder has blanked its display state; the panel shows the frame's
    // final state once the frame is done (afterFrame), never this step.
}

void TFrmTest::selectGaugeScale(int)
{
    // The decoder keeps the scale in force; the dial is redrawn on kdSetup.
}

void TFrmTest::kdSetup()
{
    m_gauge->KDsetup(m_decoder->gaugeScale());
}

void TFrmTest::setValueMinimum(double y)
{
    m_chart->chartControl().SetValueMinimum(y);
}

void TFrmTest::setValueMaximum(double y)
{
    m_chart->chartControl().SetValueMaximum(y);
}

void TFrmTest::kdRun(int position)
{
    m_gauge->KDrun(position);
}

void TFrmTest::setBarMax(int maximum)
{
    m_bar->setMaximum(maximum);
}

void TFrmTest::setBarPos(int position)
{
    m_bar->setValue(qBound(m_bar->minimum(), position, m_bar->maximum()));
}

bool TFrmTest::recordingTest()
{
    return m_recorder->recordingTest();
}

void TFrmTest::inDataToTable(int mode)
{
    m_recorder->INDataToTable(mode);
}

void TFrmTest::addValue(double y)
{
    m_chart->chartControl().AddValue(y);
}

HelpWindow *TFrmTest::helpWindow() const
{
    return m_helpWindow.data();
}
