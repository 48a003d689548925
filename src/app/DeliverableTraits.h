// SPDX-License-Identifier: MIT
#pragma once

#include "core/MeterModel.h"

#include <QList>
#include <QRect>
#include <QSize>
#include <QString>

// Everything in which the two programs' windows differ, as one value chosen in
// each program's main(). Rectangles are left, top, width × height in client
// pixels.
struct DeliverableTraits
{
    MeterModel model = MeterModel::Km90;
    QString programName; // executable name, also shown by --version
    QString caption; // window caption
    QSize clientSize;

    QRect panel2; // Connect / Disconnect
    QRect panel3; // EXIT
    QString lcdPanelName; // "Panel40" or "Panel4"
    QRect lcdPanel;
    QRect panel7; // record tool bar
    QRect grid; // DBGrid1
    QRect gauge; // KD
    QRect levelBar; // PBar2
    QRect chart; // Chtshow with its tool row

    QList<int> gridColumnWidths;
    bool gridCentred = false; // KM50_60: every column centred
    bool gridRowIndicator = false; // KM50_60: row indicator column, silver background
    // KM50_60 closes the reading table before it ends; KM90 just closes the window.
    bool exitClosesTable = false;
    // KM50_60 clears the chart on every clear command; KM90 only when rows were deleted.
    bool clearAlwaysClearsChart = false;

    int conTimerMs = 100;
    int sampInterTimeMs = 1000;
};

const DeliverableTraits &deliverableTraits(MeterModel model);
