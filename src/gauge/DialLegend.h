// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>

// One legend text of a dial and where it sits relative to its anchor.
struct DialLegendEntry
{
    int step;
    QString text;
    int dx;
    int dy;
};

// What a dial shows for one dial key: its legend texts, and every how many
// legend steps a large dot sits (0 for none).
struct DialLegend
{
    QString dialKey;
    QList<DialLegendEntry> entries;
    int largeDotEvery = 0;
};
