// SPDX-License-Identifier: MIT
#include "chart/ChartPanel.h"

#include "chart/ChartGlyphs.h"
#include "chart/ChartPicture.h"
#include "chart/Chtshow.h"
#include "chart/PageSizeEntry.h"
#include "dialogs/UserDialogs.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTimer>
#include <QToolButton>

void ClickableImage::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void ClickableImage::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton
        && rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click)
        Q_EMIT clicked();
}

namespace {

QToolButton *glyphButton(ChartGlyph glyph, int glyphSize)
{
    auto *button = new QToolButton;
    button->setIcon(QIcon(chartGlyph(glyph, glyphSize)));
    button->setIconSize(QSize(glyphSize, glyphSize));
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

ClickableImage *image(ChartGlyph glyph)
{
    auto *label = new ClickableImage;
    label->setPixmap(chartGlyph(glyph, 25));
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
    m_control = std::make_unique<TChartControl>(*m_chart, 100);

    m_fill = place(new QCheckBox(QStringLiteral("Fill")), QStringLiteral("BtFill"));
    m_fill->setChecked(true);
    m_fill->setFocusPolicy(Qt::NoFocus);
    connect(m_fill, &QCheckBox::toggled, this, &ChartPanel::BtFillClick);

    m_pageSize = place(new QLineEdit(QStringLiteral("100")), QStringLiteral("Maxrecord"));
    m_pageSize->installEventFilter(this);
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

    m_pageSizeTimer = new QTimer(this);
    m_pageSizeTimer->setObjectName(layout.pageSizeTimerName);
    m_pageSizeTimer->setInterval(layout.pageSizeDelayMs);
    connect(m_pageSizeTimer, &QTimer::timeout, this, &ChartPanel::applyPageSizeEntry);

    resize(layout.chartSize);
}

ChartPanel::~ChartPanel() = default;

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
    m_enlarge->setVisible(!enlarged);
    m_restore->setVisible(enlarged);
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

bool ChartPanel::eventFilter(QObject *watched, QEvent *event)
{
    // MaxrecordKeyPress: only the digits and Backspace are typed into the page-size
    // field; keys that type nothing (arrows, Delete) and focus moves pass.
    if (watched == m_pageSize && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const QString typed = key->text();
        const bool focusMove = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
        if (!typed.isEmpty() && !focusMove && !(typed.size() == 1 && isPageSizeKey(typed.front())))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

void ChartPanel::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_chart->setGeometry(rect());
}
