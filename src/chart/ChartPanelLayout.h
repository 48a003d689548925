// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QRect>
#include <QSize>
#include <QString>

// The controls that lie on the chart's top edge, with their places relative to
// the chart's top-left corner, and the other details in which the two programs'
// charts differ (each model's description holds its layout).
struct ChartControlPlace
{
    QString name; // designer name, also the widget's objectName
    QRect rect;
    QString hint; // tool tip; empty for none
};

struct ChartPanelLayout
{
    QSize chartSize; // the chart's normal size in the main window
    QList<ChartControlPlace> controls;
    QString pageSizeTimerName; // "Timer_range" or "Timer2"
    int pageSizeDelayMs = 0;
    bool rewritePageSizeText = false; // "0050" is written back as "50"
    int enlargedHeightAllowance = 0; // outer window height minus the enlarged chart's height

    // The place of a control by its designer name; an empty place if there is none.
    ChartControlPlace place(const QString &name) const;
};
