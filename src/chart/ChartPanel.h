// SPDX-License-Identifier: MIT
#pragma once

#include "chart/ChartPanelLayout.h"
#include "chart/uCharControl.h"
#include "widgets/ClickableImage.h"

#include <QWidget>

#include <memory>

class ChartMouse;
class ChartZoom;
class Chtshow;
class QCheckBox;
class QLineEdit;
class QTimer;
class QToolButton;
class UserDialogs;

// The trend chart with its tool row: the chart Chtshow fills the panel and the
// controls lie over its top edge at the places of the program's layout. The panel
// owns the chart page controller (created with 100 points per page) and runs
// paging, fill and page size itself. What belongs to the window is asked for by
// signal: the clear command (BtNew), enlarge (TbFd) and restore (TbSx), and the
// general error report for a picture that could not be written.
class ChartPanel : public QWidget
{
    Q_OBJECT
public:
    ChartPanel(const ChartPanelLayout &layout, UserDialogs &dialogs, QWidget *parent = nullptr);
    ~ChartPanel() override;

    Chtshow *chart() const { return m_chart; }
    TChartControl &chartControl() { return *m_control; }
    // Zoom and pan of the page on view (the mouse on the chart).
    ChartZoom &chartZoom() { return *m_zoom; }
    ChartMouse &chartMouse() { return *m_mouse; }
    const ChartPanelLayout &layout() const { return m_layout; }

    // Writes `page` in decimal into the page box Bt10.
    void showPageNumber(qint32 page);
    // Shows the restore image TbSx (enlarged) or the enlarge image TbFd (normal).
    void showEnlarged(bool enlarged);
    // The tool row's controls in their Tab order, left to right.
    const QList<QWidget *> &tabRow() const { return m_tabRow; }

public Q_SLOTS:
    void BtFirstClick();
    void BTPreviousClick();
    void BtNextClick();
    void BTlastClick();
    void BtFillClick();
    void MaxrecordChange();
    // The page-size delay timer (Timer_range or Timer2) has fired.
    void applyPageSizeEntry();
    // Asks for a file name and writes the chart there as a BMP picture. Returns
    // true when the picture was written.
    bool BtSaveClick();

Q_SIGNALS:
    void clearRequested();
    void enlargeRequested();
    void restoreRequested();
    // The page-size entry has been applied with this size.
    void pageSizeApplied(qint32 size);
    // An error that the window's general error report shows.
    void errorRaised(const QString &message);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    template<class W>
    W *place(W *widget, const QString &name);

    ChartPanelLayout m_layout;
    UserDialogs &m_dialogs;
    Chtshow *m_chart = nullptr;
    std::unique_ptr<ChartZoom> m_zoom;
    std::unique_ptr<TChartControl> m_control;
    ChartMouse *m_mouse = nullptr;
    QCheckBox *m_fill = nullptr;
    QLineEdit *m_pageSize = nullptr;
    QToolButton *m_pageBox = nullptr;
    ClickableImage *m_enlarge = nullptr;
    ClickableImage *m_restore = nullptr;
    QList<QWidget *> m_tabRow;
    QTimer *m_pageSizeTimer = nullptr; // Timer_range or Timer2
    QString m_lastPictureName;
};
