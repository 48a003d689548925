// SPDX-License-Identifier: MIT
#pragma once

#include "chart/ChartPanelLayout.h"
#include "core/MeterModel.h"
#include "gauge/DialLegend.h"
#include "gauge/GaugeScale.h"
#include "reports/ReportDesign.h"
#include "sim/DemoScenario.h"

#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <memory>

struct CurrentReading;
class DecoderOutputs;
class FrameDecoder;

// Everything in which one meter model differs from the other, in one value per
// model. The facts of the KM90 live in models/km90/Km90Model.cpp, those of the
// KM50/KM60 in models/km50_60/Km50Model.cpp; the rest of the code reads them
// here instead of branching on the model.

// How the window of a program is laid out. Rectangles are left, top,
// width × height in client pixels. The emulated LCD places itself (its panel
// look holds its rectangle).
struct WindowLayout
{
    QString caption; // window caption, also what --version prints
    // KM90 sets its caption before the first dial is drawn, KM50_60 after.
    bool captionBeforeDial = true;
    QSize clientSize;

    QRect panel2; // Connect / Disconnect
    QRect panel3; // EXIT
    QRect panel7; // record tool bar
    QRect grid; // DBGrid1
    QRect gauge; // KD
    QRect levelBar; // PBar2
    QRect chart; // Chtshow with its tool row

    QList<int> gridColumnWidths; // designed widths: the least each column gets
    // The widest text each column shows (its row number up to ten million, the
    // widest reading and unit), which the column grows to fit.
    QStringList gridWidestValues;
    bool gridCentred = false; // every column centred
    bool gridRowIndicator = false; // row indicator column, silver background
    // The EXIT panel closes the reading table before the window closes.
    bool exitClosesTable = false;

    int conTimerMs = 100; // link watchdog
    int sampInterTimeMs = 1000; // sampling count-down
};

// The Connect panel's captions.
struct LinkTexts
{
    QString connect;
    QString disconnect;
};

// How the table file commands behave.
struct TableFileRules
{
    // Save writes XML for ".xml" in this letter case (other names: text).
    Qt::CaseSensitivity xmlSaveExtensionCase = Qt::CaseSensitive;
    // Save writes an XML file without the success box (the text file gets it).
    bool xmlSaveIsSilent = false;
    // The save dialog offers the name chosen last (otherwise an empty name).
    bool saveOffersLastName = false;
    // "Failed to Load File!" is owned by the window (otherwise by no window).
    bool loadErrorOwnedByWindow = false;
    // The window is repainted after every Open.
    bool repaintAfterOpen = false;
};

struct ModelDescription
{
    MeterModel model;
    QString name; // "km90", "km50_60": meterlog's --model, file names
    QString programName; // the executable

    // The link: bytes in one meter frame (and characters in its FrameDigits).
    int frameLength = 0;
    LinkTexts link;

    // The decoder: fills the reading and its LCD state, calls the outputs.
    using DecoderFactory = std::unique_ptr<FrameDecoder> (*)(
        DecoderOutputs &outputs, CurrentReading &reading, const QString &localeDecimal);
    DecoderFactory makeDecoder = nullptr;
    const GaugeScaleTable *gaugeScales = nullptr;
    QList<DialLegend> dialLegends; // by dial key; a key without one draws none

    // The reading table: its columns, and whether a row carries the voltage
    // and current readings after the main one.
    QStringList columns;
    bool rowHasVoltageAndCurrent = false;
    TableFileRules tableFiles;

    // The chart's tool row; whether every clear command clears the chart
    // (otherwise only one that deleted rows).
    ChartPanelLayout chart;
    bool clearAlwaysClearsChart = false;

    // The printed report; whether it counts its pages first to print "Of m".
    ReportDesign report;
    bool reportCountsPages = false;

    WindowLayout window;

    // The demo meter's tour.
    QList<DemoStep> (*demoScenario)() = nullptr;

    const DialLegend *dialLegend(QStringView dialKey) const;
};

const ModelDescription &modelDescription(MeterModel model);
// Both models, KM90 first.
QList<const ModelDescription *> meterModels();
// The model of a name ("km90", "km50_60"); nullptr for any other.
const ModelDescription *findMeterModel(QStringView name);
