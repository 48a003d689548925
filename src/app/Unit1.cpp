// SPDX-License-Identifier: MIT
#include "app/Unit1.h"
#include "models/ModelDescription.h"

#include "app/ErrorReport.h"
#include "app/GaugeWidget.h"
#include "app/HelpWindow.h"
#include "app/ToolsMenu.h"
#include "chart/ChartEnlargement.h"
#include "chart/ChartPanel.h"
#include "chart/uCharControl.h"
#include "core/ReadingText.h"
#include "desktop/ProgramFiles.h"
#include "dialogs/UserDialogs.h"
#include "hid/HidControllerClass.h"
#include "models/ModelPanels.h"
#include "models/common/FrameDecoder.h"
#include "models/common/lcd/LcdGlyphs.h"
#include "models/common/lcd/LcdPanel.h"
#include "recording/GridColumns.h"
#include "recording/ReadingTable.h"
#include "recording/Recorder.h"
#include "recording/commands/TableFileCommands.h"
#include "reports/MajPrint.h"
#include "reports/ReportPrinters.h"
#include "widgets/ClickableImage.h"
#include "widgets/GrowingTableView.h"
#include "widgets/PaintedIcon.h"
#include "widgets/StandardIcons.h"
#include "widgets/TypedCharacters.h"

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

// Aligns the grid's cells per column, and shows the row number as the table
// files write it, without the locale's digit grouping.
class AlignmentDelegate : public QStyledItemDelegate
{
public:
    AlignmentDelegate(QList<Qt::Alignment> alignments, QObject *parent)
        : QStyledItemDelegate(parent)
        , m_alignments(std::move(alignments))
    { }

    QString displayText(const QVariant &value, const QLocale &locale) const override
    {
        if (value.typeId() == QMetaType::Int)
            return QString::number(value.toInt());
        return QStyledItemDelegate::displayText(value, locale);
    }

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        // Views also measure places without a cell (an invalid index, column -1).
        if (index.column() >= 0 && index.column() < m_alignments.size())
            option->displayAlignment = m_alignments.at(index.column()) | Qt::AlignVCenter;
    }

private:
    QList<Qt::Alignment> m_alignments;
};

// The link indicator's light, designed on a 32 × 32 grid and drawn at the
// screen's pixel density.
QIcon indicatorIcon(const QColor &colour)
{
    return paintedIcon([colour](QPainter &p, const QRectF &box) {
        p.translate(box.topLeft());
        p.scale(box.width() / 32, box.height() / 32);
        p.setPen(QPen(Qt::darkGray, 2));
        p.setBrush(colour);
        p.drawEllipse(QRectF(5, 5, 22, 22));
    });
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

// The property of a record bar button that names its standard icon.
constexpr char kRecordButtonIcon[] = "recordButtonIcon";

} // namespace

TFrmTest::TFrmTest(MeterModel model, std::shared_ptr<HidBackend> backend,
    std::unique_ptr<HidChangeNotifier> notifier, UserDialogs &dialogs, const Options &options,
    QWidget *parent)
    : QMainWindow(parent,
        Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
            | Qt::WindowCloseButtonHint)
    , m_model(modelDescription(model))
    , m_layout(m_model.window)
    , m_dialogs(dialogs)
    , m_options(options)
    , m_localeDecimal(options.localeDecimal.isEmpty() ? ReadingText::systemDecimalSeparator()
                                                      : options.localeDecimal)
    , m_session(model, m_localeDecimal)
{
    setObjectName(QStringLiteral("FrmTest"));
    buildControls();

    // The device controller lists the devices while the window is built; the
    // first device-change pass fills the device list and selects the cable.
    m_hidctl = std::make_unique<THidDeviceController>(std::move(backend), std::move(notifier));
    m_link = std::make_unique<LinkControl>(*m_hidctl, m_session, static_cast<LinkObserver *>(this));
    m_session.setObserver(static_cast<SessionObserver *>(this));
    m_link->attach();
    showPanel2();
    if (options.keepJournal)
        startJournal();

    FormCreate();
    setRecordButtonIcons();
}

void TFrmTest::setRecordButtonIcons()
{
    // Set last: whether the icon theme has these icons is found out on a
    // thread of its own while the rest of the window is built
    // (OnDemandIconStyle). Each picture is read when the button is first
    // drawn at that size.
    for (QToolButton *button : std::as_const(m_recordButtons)) {
        const auto which = QStyle::StandardPixmap(button->property(kRecordButtonIcon).toInt());
        button->setIcon(standardIconOnDemand(which, style()));
    }
}

TFrmTest::~TFrmTest()
{
    // A clean exit: the journal goes unless it holds unsaved rows.
    if (m_journal)
        m_journal->finish();
    // Reading stops before the session and widgets it feeds go away. A report
    // already handed over while the read thread stops reaches nobody.
    m_session.setObserver(nullptr);
    m_link.reset();
    m_hidctl.reset();
}

void TFrmTest::startJournal()
{
    JournalKeeper::Options o;
    o.folder = m_options.journalFolder;
    o.journal.program = m_model.programName;
    o.journal.sync = m_options.journalSync;
    m_journal = std::make_unique<JournalKeeper>(cds1(), recorder(), o);
    connect(m_journal.get(), &JournalKeeper::historyLine, this,
        [this](const QString &line) { m_link->addHistory(line); });
    connect(
        m_fileCommands, &TableFileCommands::tableSaved, m_journal.get(), &JournalKeeper::markSaved);
    m_journal->start();
}

void TFrmTest::offerLeftJournals()
{
    if (!m_journal)
        return;
    const auto ask = [this](const QString &text) {
        const int answer = m_dialogs.choose(this, QStringLiteral("Information"), text,
            { QStringLiteral("Restore"), QStringLiteral("Discard"), QStringLiteral("Later") });
        return answer == 0 ? JournalKeeper::Answer::Restore
            : answer == 1  ? JournalKeeper::Answer::Discard
                           : JournalKeeper::Answer::Later;
    };
    const auto tell = [this](const QString &text) {
        m_dialogs.information(this, QStringLiteral("Information"), text);
    };
    m_journal->offerLeftJournals(ask, tell);
}

void TFrmTest::buildControls()
{
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("ClientArea"));
    m_client->setFixedSize(m_layout.clientSize);
    // The controls were laid out for an 8-point Arial; wider text (DejaVu Sans,
    // the usual Linux default) would not fit the grid's columns and the tool
    // bar. Liberation Sans has Arial's widths where Arial is missing.
    QFont font = m_client->font();
    font.setFamilies(LcdGlyphs::arialFamilies());
    font.setPointSize(8);
    m_client->setFont(font);
    setCentralWidget(m_client);

    m_panel2 = commandPanel(QStringLiteral("Panel2"), QString(), m_client);
    m_panel2->setGeometry(m_layout.panel2);
    connect(m_panel2, &ClickableImage::clicked, this, &TFrmTest::Panel2Click);
    m_panel3 = commandPanel(QStringLiteral("Panel3"), QStringLiteral("EXIT"), m_client);
    m_panel3->setGeometry(m_layout.panel3);
    connect(m_panel3, &ClickableImage::clicked, this, &TFrmTest::Panel3Click);

    // The panel places itself at its rectangle.
    m_lcd = createLcdPanel(m_model.model, m_session.decoder().lcd(), m_client);

    buildPanel7();
    buildGrid();

    m_gauge = new GaugeWidget(m_model.model, m_layout.gauge.size(), m_client);
    m_gauge->move(m_layout.gauge.topLeft());
    m_conOk = new PictureLabel(m_gauge);
    m_conOk->setObjectName(QStringLiteral("CONok"));
    m_conOk->setIcon(indicatorIcon(QColor(0x20, 0xC0, 0x20)));
    m_conOk->setGeometry(5, 5, 32, 32);
    m_conOk->hide();
    m_conOkN = new PictureLabel(m_gauge);
    m_conOkN->setObjectName(QStringLiteral("CONokN"));
    m_conOkN->setIcon(indicatorIcon(QColor(0xB0, 0xB0, 0xB0)));
    m_conOkN->setGeometry(5, 5, 32, 32);

    m_bar = new QProgressBar(m_client);
    m_bar->setObjectName(QStringLiteral("PBar2"));
    m_bar->setGeometry(m_layout.levelBar);
    m_bar->setRange(0, 60);
    m_bar->setValue(20);
    m_bar->setTextVisible(false);

    m_chart = new ChartPanel(m_model.chart, m_dialogs, m_client);
    m_chart->setObjectName(QStringLiteral("Chtshow"));
    m_chart->setGeometry(m_layout.chart);
    m_chartRemembered = m_layout.chart;
    connect(m_chart, &ChartPanel::clearRequested, this, &TFrmTest::ClearRClick);
    connect(m_chart, &ChartPanel::enlargeRequested, this, &TFrmTest::toggleChartEnlargement);
    connect(m_chart, &ChartPanel::restoreRequested, this, &TFrmTest::toggleChartEnlargement);
    connect(m_chart, &ChartPanel::errorRaised, this, &TFrmTest::showErrorReport);

    m_fileCommands = new TableFileCommands(cds1(), m_dialogs, this, this);
    connect(m_fileCommands, &TableFileCommands::detachGridRequested, this,
        [this] { m_grid->setUpdatesEnabled(false); });
    connect(m_fileCommands, &TableFileCommands::attachGridRequested, this, [this] {
        m_grid->setUpdatesEnabled(true);
        followNewestRow();
    });
    connect(m_fileCommands, &TableFileCommands::repaintRequested, this, [this] { update(); });
    connect(m_fileCommands, &TableFileCommands::errorRaised, this, &TFrmTest::showErrorReport);

    buildMenu();
    buildKeyboard();

    m_conTimer = new QTimer(this);
    m_conTimer->setObjectName(QStringLiteral("ConTimer"));
    m_conTimer->setInterval(m_layout.conTimerMs);
    connect(m_conTimer, &QTimer::timeout, this, [this] { m_link->ConTimerTimer(); });
    m_conTimer->start();
    m_sampInterTime = new QTimer(this);
    m_sampInterTime->setObjectName(QStringLiteral("SampInterTime"));
    m_sampInterTime->setInterval(m_layout.sampInterTimeMs);
    connect(m_sampInterTime, &QTimer::timeout, this, [this] { recorder().SampInterTimeTimer(); });
    m_sampInterTime->start();

    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void TFrmTest::buildPanel7()
{
    m_panel7 = new QFrame(m_client);
    m_panel7->setObjectName(QStringLiteral("Panel7"));
    static_cast<QFrame *>(m_panel7)->setFrameStyle(QFrame::Panel | QFrame::Raised);
    m_panel7->setGeometry(m_layout.panel7);
    const int h = m_layout.panel7.height();

    m_repeatSet = new QCheckBox(QStringLiteral("Repeat"), m_panel7);
    m_repeatSet->setObjectName(QStringLiteral("RepeatSet"));
    m_repeatSet->setToolTip(QStringLiteral("Repeage Record"));
    m_repeatSet->setGeometry(4, 0, 64, h);
    connect(
        m_repeatSet, &QCheckBox::toggled, this, [this](bool on) { recorder().setRepeatSet(on); });

    m_recordSI = new QCheckBox(QStringLiteral("Sampling Interval            'S"), m_panel7);
    m_recordSI->setObjectName(QStringLiteral("RecordSI"));
    const int buttonsLeft = m_layout.panel7.width() - 4 - 4 * (h - 2);
    m_recordSI->setGeometry(70, 0, buttonsLeft - 72, h);
    connect(m_recordSI, &QCheckBox::toggled, this, [this](bool on) { recorder().setRecordSI(on); });

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
    // RecordSITimeKeyPress: only digits are typed or pasted into the field;
    // editing keys, selection and shortcuts work as in any field.
    takeOnlyCharacters(m_recordSITime, &Recorder::RecordSITimeKeyPress);
    m_acceptedSITime = m_recordSITime->text();
    connect(m_recordSITime, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (recorder().RecordSITimeChange(text)) {
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
        button->setProperty(kRecordButtonIcon, int(b.icon));
        button->setAutoRaise(true);
        button->setGeometry(x, 1, h - 2, h - 2);
        connect(button, &QToolButton::clicked, this, b.slot);
        m_recordButtons.append(button);
        x += h - 2;
    }
}

void TFrmTest::buildGrid()
{
    // A recording grows by a row per frame; this view's cost per new row does
    // not grow with the table.
    m_grid = new GrowingTableView(m_client);
    m_grid->setObjectName(QStringLiteral("DBGrid1"));
    m_grid->setGeometry(m_layout.grid);
    m_grid->setModel(&cds1());
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setTabKeyNavigation(false); // Tab goes on to the next command
    m_grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_grid->verticalHeader()->setDefaultSectionSize(18);
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_grid->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // Both scroll bars always show, so the rows' room never changes under the
    // grid while it follows the newest row (a bar that came and went with the
    // row count hid the last row).
    m_grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Each column keeps its designed width as the least and grows to its header
    // and its widest value (row numbers up to ten million).
    QHeaderView *header = m_grid->horizontalHeader();
    const QFontMetrics values(m_grid->font());
    const QFontMetrics headers(header->font());
    GridColumnMeasures measures;
    measures.valueWidth = [values](const QString &text) { return values.horizontalAdvance(text); };
    measures.headerWidth
        = [headers](const QString &text) { return headers.horizontalAdvance(text); };
    // A cell's text margins on both sides and its grid line.
    measures.valuePadding
        = 2 * (m_grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_grid) + 1) + 1;
    QStringList headerTexts;
    for (int c = 0; c < cds1().columnCount(); ++c) {
        headerTexts << cds1().columnName(c);
        // What a header section asks for beyond its text.
        measures.headerPadding = qMax(measures.headerPadding,
            header->sectionSizeHint(c) - headers.horizontalAdvance(headerTexts.last()));
    }
    const QList<int> widths = gridColumnWidths(
        m_layout.gridColumnWidths, headerTexts, m_layout.gridWidestValues, measures);
    QList<Qt::Alignment> alignments;
    for (int c = 0; c < cds1().columnCount(); ++c) {
        m_grid->setColumnWidth(c, widths.value(c, m_grid->columnWidth(c)));
        if (m_layout.gridCentred)
            alignments.append(Qt::AlignHCenter);
        else
            alignments.append(c == 1 ? Qt::AlignRight : Qt::AlignLeft);
    }
    m_grid->setItemDelegate(new AlignmentDelegate(alignments, m_grid));
    if (m_layout.gridRowIndicator) {
        m_grid->verticalHeader()->setVisible(true);
        m_grid->verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
        QPalette p = m_grid->palette();
        p.setColor(QPalette::Base, QColor(0xC0, 0xC0, 0xC0));
        m_grid->setPalette(p);
    } else {
        m_grid->verticalHeader()->setVisible(false);
    }
    connect(&cds1(), &QAbstractItemModel::rowsInserted, this, &TFrmTest::followNewestRow);
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

    // "Tools" comes after "Record"; what it does lives in ToolsMenu.
    ToolsMenu::Parts tools;
    tools.menuBar = bar;
    tools.window = this;
    tools.grid = m_grid;
    tools.lcd = m_lcd;
    tools.table = &cds1();
    tools.decimalSeparator = m_localeDecimal;
    tools.programName = m_model.programName;
    tools.units = QStringList { QStringLiteral("KW"), QStringLiteral("KVA"), QStringLiteral("KVAr"),
        QStringLiteral("V"), QStringLiteral("A"), QStringLiteral("Hz"), QStringLiteral("PF") };
    tools.historyLine = [this](const QString &line) { m_link->addHistory(line); };
    m_tools = new ToolsMenu(std::move(tools), this);

    // The help command belongs to the window, not to a displayed menu: its key
    // works whenever the window is active.
    m_help1 = new QAction(QStringLiteral("  Help     "), this);
    m_help1->setObjectName(QStringLiteral("HELP1"));
    m_help1->setShortcut(QKeySequence(Qt::Key_F1));
    m_help1->setShortcutContext(Qt::WindowShortcut);
    addAction(m_help1);
    connect(m_help1, &QAction::triggered, this, &TFrmTest::HELP1Click);
}

void TFrmTest::buildKeyboard()
{
    // The usual keys of the table commands; the captions and hints stay.
    // Delete clears only from the grid, where it means the table's rows: in
    // the fields it deletes characters, and elsewhere it does nothing.
    struct Key
    {
        const char *name;
        QKeySequence key;
        void (TFrmTest::*slot)();
        QWidget *owner;
        Qt::ShortcutContext context;
    };
    const Key keys[] = {
        { "saveKey", QKeySequence::Save, &TFrmTest::Save_asClick, this, Qt::WindowShortcut },
        { "openKey", QKeySequence::Open, &TFrmTest::OpenClick, this, Qt::WindowShortcut },
        { "printKey", QKeySequence::Print, &TFrmTest::MajPrintClick, this, Qt::WindowShortcut },
        { "clearKey", QKeySequence(Qt::Key_Delete), &TFrmTest::ClearRClick, m_grid,
            Qt::WidgetWithChildrenShortcut },
    };
    for (const Key &k : keys) {
        auto *action = new QAction(k.owner);
        action->setObjectName(QString::fromLatin1(k.name));
        action->setShortcut(k.key);
        action->setShortcutContext(k.context);
        k.owner->addAction(action);
        connect(action, &QAction::triggered, this, k.slot);
    }

    // Tab goes through every command: Connect, the record tool bar, the grid,
    // the chart's tool row, EXIT.
    QList<QWidget *> order { m_panel2, m_repeatSet, m_recordSI, m_recordSITime };
    for (QToolButton *button : std::as_const(m_recordButtons))
        order << button;
    order << m_grid;
    order << m_chart->tabRow();
    order << m_panel3;
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void TFrmTest::FormCreate()
{
    // The locale's decimal separator was read when the decoder was made; the
    // chart panel made its page controller with 100 points per page.
    if (m_layout.captionBeforeDial)
        setWindowTitle(m_layout.caption);
    m_exeFolder = m_options.exeFolder.isEmpty() ? QCoreApplication::applicationDirPath()
                                                : m_options.exeFolder;
    if (!m_exeFolder.endsWith(u'/'))
        m_exeFolder += u'/';
    setRecordLimitClick(2); // "10000"
    KDsetup(m_session.decoder().gaugeScale());
    KDrun(m_session.decoder().gaugeScale().ZeroOffset);
    m_repeatSet->setChecked(true);
    recorder().setRepeatSet(true);
    if (!m_layout.captionBeforeDial)
        setWindowTitle(m_layout.caption);
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
    if (m_layout.exitClosesTable)
        m_grid->setModel(nullptr);
    close();
}

void TFrmTest::ClearRClick()
{
    m_dialogs.information(this, QStringLiteral("Information"),
        QStringLiteral(" Warning:all Records will be deleted! "));
    const bool hadRows = recorder().ClearRClick();
    if (hadRows || m_model.clearAlwaysClearsChart)
        m_chart->chartControl().ClearChart();
    showRecordLimitState();
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
    ::MajPrintClick(cds1(), m_dialogs, *m_printers, this,
        { [this] { m_grid->setUpdatesEnabled(false); },
            [this] {
                m_grid->setUpdatesEnabled(true);
                followNewestRow();
            } });
}

void TFrmTest::setRecordLimitClick(int index)
{
    if (!recorder().setRecordLimitChoice(index))
        return;
    for (int i = 0; i < m_limitActions.size(); ++i)
        m_limitActions.at(i)->setChecked(i == index);
    showRecordLimitState();
}

void TFrmTest::showRecordLimitState()
{
    const bool stopped = recorder().limitReached();
    if (stopped == m_recordLimitShown)
        return;
    m_recordLimitShown = stopped;
    const QString notice
        = stopped ? Recorder::limitReachedText(recorder().RecordLimit()) : QString();
    m_link->addHistory(
        stopped ? notice : Recorder::recordingResumedText(recorder().RecordCounter()));
    m_panel7->setToolTip(notice);
    m_grid->setToolTip(notice);
    m_panel7->setAutoFillBackground(stopped);
    QPalette p = m_panel7->palette();
    p.setColor(
        QPalette::Window, stopped ? QColor(0xFF, 0xD8, 0xC0) : palette().color(QPalette::Window));
    m_panel7->setPalette(p);
}

void TFrmTest::followNewestRow()
{
    const int last = cds1().rowCount() - 1;
    if (last < 0 || !m_grid->updatesEnabled())
        return;
    m_grid->setCurrentIndex(cds1().index(last, 0));
    m_grid->scrollToBottom();
}

void TFrmTest::toggleChartEnlargement()
{
    const ChartEnlargement e = ::toggleChartEnlargement(frameGeometry().size(), m_chart->geometry(),
        m_chartRemembered, m_chart->layout().enlargedHeightAllowance);
    m_chartRemembered = e.remembered;
    const int frameExtra = frameGeometry().height() - height();
    const int menuHeight = height() - m_client->height();
    m_client->setFixedSize(m_layout.clientSize.width(),
        qMax(m_layout.clientSize.height(), e.windowOuterHeight - frameExtra - menuHeight));
    m_chart->setGeometry(e.chart);
    m_chart->raise();
    m_chart->showEnlarged(e.enlarged);
}

// What a frame shows.

void TFrmTest::ReportLine(const QString &text)
{
    m_link->addHistory(text);
}

void TFrmTest::LinkOn()
{
    m_link->LinkOn();
}

void TFrmTest::KDsetup(const GaugeScale &scale)
{
    m_gauge->KDsetup(scale);
}

void TFrmTest::SetValueMinimum(double y)
{
    m_chart->chartControl().SetValueMinimum(y);
}

void TFrmTest::SetValueMaximum(double y)
{
    m_chart->chartControl().SetValueMaximum(y);
}

void TFrmTest::KDrun(int position)
{
    m_gauge->KDrun(position);
}

void TFrmTest::BarMax(int maximum)
{
    m_bar->setMaximum(maximum);
}

void TFrmTest::BarPos(int position)
{
    m_bar->setValue(qBound(m_bar->minimum(), position, m_bar->maximum()));
}

void TFrmTest::AddValue(double y)
{
    m_chart->chartControl().AddValue(y);
}

void TFrmTest::FrameDone()
{
    // The frame's rows reach the system before the next frame is read.
    if (m_journal)
        m_journal->handOver();
    m_lcd->refresh(); // one repaint per frame, of the elements that changed
    showRecordLimitState();
    m_tools->frameDone(m_session.reading());
    Q_EMIT frameDone();
}

void TFrmTest::FrameFailed(const QString &frameDigits, const QString &message)
{
    m_link->addHistory(QStringLiteral("FRAME ERROR: %1 (%2)").arg(message, frameDigits));
    if (m_journal)
        m_journal->handOver();
    m_lcd->refresh(); // what the frame had set before it failed stays shown
    Q_EMIT frameDone();
}

// What the link shows.

void TFrmTest::Information(const QString &text)
{
    m_dialogs.information(this, QStringLiteral("Information"), text);
}

void TFrmTest::PanelChanged()
{
    showPanel2();
}

void TFrmTest::Indicator(bool on)
{
    m_conOk->setVisible(on);
    m_conOkN->setVisible(!on);
}

HelpWindow *TFrmTest::helpWindow() const
{
    return m_helpWindow.data();
}
