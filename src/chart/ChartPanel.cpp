// SPDX-License-Identifier: MIT
#include "chart/ChartPanel.h"

#include "chart/ChartGlyphs.h"
#include "chart/ChartMouse.h"
#include "chart/ChartPicture.h"
#include "chart/ChartZoom.h"
#include "chart/Chtshow.h"
#include "chart/PageSizeEntry.h"
#include "dialogs/UserDialogs.h"
#include "widgets/TypedCharacters.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>

#include <algorithm>

namespace {

// The tool row's buttons are reached with Tab and pressed with Space, like
// any button; a click does not take the focus from where the user works.
QToolButton *glyphButton(ChartGlyph glyph, int glyphSize)
{
    auto *button = new QToolButton;
    button->setIcon(chartGlyphIcon(glyph, glyphSize));
    button->setIconSize(QSize(glyphSize, glyphSize));
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

ClickableImage *image(ChartGlyph glyph)
{
    auto *label = new ClickableImage;
    label->setIcon(chartGlyphIcon(glyph, 25));
    label->setCursor(Qt::PointingHandCursor);
    return label;
}

} // namespace

ChartPanel::ChartPanel(const ChartPanelLayout &layout, UserDialogs &dialogs, QWidget *parent)
    : QWidget(parent)
    , m_layout(layout)
    , m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("ChartPanel"));
    // The chart first, so that the tool row lies over it.
    m_chart = new Chtshow(this);
    m_chart->setGeometry(QRect(QPoint(0, 0), layout.chartSize));
    m_chart->setFocusPolicy(Qt::NoFocus); // the plot itself takes no commands
    // The controller pages through the zoom, which shows the page or a part of it.
    m_zoom = std::make_unique<ChartZoom>(
        *m_chart, m_chart->leftAxisMinimum(), m_chart->leftAxisMaximum());
    m_control = std::make_unique<TChartControl>(*m_zoom, 100);
    m_mouse = new ChartMouse(*m_chart, *m_zoom, this);

    m_fill = place(new QCheckBox(QStringLiteral("Fill")), QStringLiteral("BtFill"));
    m_fill->setChecked(true);
    m_fill->setFocusPolicy(Qt::TabFocus);
    connect(m_fill, &QCheckBox::toggled, this, &ChartPanel::BtFillClick);

    m_pageSize = place(new QLineEdit(QStringLiteral("100")), QStringLiteral("Maxrecord"));
    // MaxrecordKeyPress: only digits are typed or pasted into the field;
    // editing keys, selection and shortcuts work as in any field.
    takeOnlyCharacters(m_pageSize, isPageSizeKey);
    connect(m_pageSize, &QLineEdit::textChanged, this, &ChartPanel::MaxrecordChange);

    auto *clear = place(glyphButton(ChartGlyph::Delete, 16), QStringLiteral("BtNew"));
    connect(clear, &QToolButton::clicked, this, &ChartPanel::clearRequested);
    auto *save = place(glyphButton(ChartGlyph::Save, 16), QStringLiteral("BtSave"));
    connect(save, &QToolButton::clicked, this, &ChartPanel::BtSaveClick);
    auto *first = place(glyphButton(ChartGlyph::First, 14), QStringLiteral("BtFirst"));
    connect(first, &QToolButton::clicked, this, &ChartPanel::BtFirstClick);
    auto *previous = place(glyphButton(ChartGlyph::Previous, 14), QStringLiteral("BTPrevious"));
    connect(previous, &QToolButton::clicked, this, &ChartPanel::BTPreviousClick);

    m_pageBox = place(new QToolButton, QStringLiteral("Bt10"));
    m_pageBox->setText(QStringLiteral("1"));
    m_pageBox->setFocusPolicy(Qt::NoFocus);
    QPalette blueText = m_pageBox->palette();
    blueText.setColor(QPalette::ButtonText, Qt::blue);
    m_pageBox->setPalette(blueText);

    auto *next = place(glyphButton(ChartGlyph::Next, 14), QStringLiteral("BtNext"));
    connect(next, &QToolButton::clicked, this, &ChartPanel::BtNextClick);
    auto *last = place(glyphButton(ChartGlyph::Last, 14), QStringLiteral("BTlast"));
    connect(last, &QToolButton::clicked, this, &ChartPanel::BTlastClick);

    m_enlarge = place(image(ChartGlyph::Enlarge), QStringLiteral("TbFd"));
    connect(m_enlarge, &ClickableImage::clicked, this, &ChartPanel::enlargeRequested);
    m_restore = place(image(ChartGlyph::Restore), QStringLiteral("TbSx"));
    connect(m_restore, &ClickableImage::clicked, this, &ChartPanel::restoreRequested);
    m_restore->hide();

    // Tab goes through the tool row from left to right.
    for (QWidget *w : findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
        if (w->focusPolicy() & Qt::TabFocus)
            m_tabRow.append(w);
    }
    std::stable_sort(m_tabRow.begin(), m_tabRow.end(),
        [](const QWidget *a, const QWidget *b) { return a->x() < b->x(); });
    for (qsizetype i = 1; i < m_tabRow.size(); ++i)
        setTabOrder(m_tabRow[i - 1], m_tabRow[i]);

    m_pageSizeTimer = new QTimer(this);
    m_pageSizeTimer->setObjectName(layout.pageSizeTimerName);
    m_pageSizeTimer->setInterval(layout.pageSizeDelayMs);
    connect(m_pageSizeTimer, &QTimer::timeout, this, &ChartPanel::applyPageSizeEntry);

    resize(layout.chartSize);
}

ChartPanel::~ChartPanel()
{
    delete m_mouse; // before the chart whose viewport it watches
}

template<class W>
W *ChartPanel::place(W *widget, const QString &name)
{
    const ChartControlPlace where = m_layout.place(name);
    widget->setParent(this);
    widget->setObjectName(name);
    widget->setGeometry(where.rect);
    widget->setToolTip(where.hint);
    widget->raise();
    return widget;
}

void ChartPanel::showPageNumber(qint32 page)
{
    m_pageBox->setText(QString::number(page));
}

void ChartPanel::showEnlarged(bool enlarged)
{
    // The image that takes over keeps the keyboard focus the other one had.
    const bool hadFocus = m_enlarge->hasFocus() || m_restore->hasFocus();
    m_enlarge->setVisible(!enlarged);
    m_restore->setVisible(enlarged);
    if (hadFocus)
        (enlarged ? m_restore : m_enlarge)->setFocus(Qt::OtherFocusReason);
}

void ChartPanel::BtFirstClick()
{
    showPageNumber(m_control->FirstPage());
}

void ChartPanel::BTPreviousClick()
{
    showPageNumber(m_control->PreviousPage());
}

void ChartPanel::BtNextClick()
{
    showPageNumber(m_control->NextPage());
}

void ChartPanel::BTlastClick()
{
    showPageNumber(m_control->LastPage());
}

void ChartPanel::BtFillClick()
{
    m_control->SetFillVisible(m_fill->isChecked());
}

void ChartPanel::MaxrecordChange()
{
    m_pageSizeTimer->start();
}

void ChartPanel::applyPageSizeEntry()
{
    const PageSizeEntry entry
        = resolvePageSizeEntry(m_pageSize->text(), m_layout.rewritePageSizeText);
    if (entry.text != m_pageSize->text())
        m_pageSize->setText(entry.text); // restarts the timer, stopped again below
    m_control->SetPageSize(entry.pageSize);
    m_pageSizeTimer->stop();
    Q_EMIT pageSizeApplied(entry.pageSize);
}

bool ChartPanel::BtSaveClick()
{
    UserDialogs::FileRequest request;
    request.filter = QStringLiteral("Bitmaps (*.bmp)|*.bmp");
    request.defaultSuffix = QStringLiteral("bmp");
    request.fileName = m_lastPictureName;
    request.confirmOverwrite = false;
    const QString chosen = m_dialogs.saveFileName(this, request);
    if (chosen.isEmpty())
        return false;
    const QString path = QFileInfo(chosen).absoluteFilePath();
    m_lastPictureName = path;
    const QString failure = writeBitmapFile(m_chart->picture(), path);
    if (!failure.isEmpty()) {
        Q_EMIT errorRaised(failure);
        return false;
    }
    m_dialogs.information(
        this, QStringLiteral("Information"), QStringLiteral("Graphic has saved on %1").arg(path));
    return true;
}

void ChartPanel::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_chart->setGeometry(rect());
}
