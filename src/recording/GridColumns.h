// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// The widths of the grid's columns. Each column keeps its designed width as
// the least and grows to fit its header and its widest value, so that neither
// a row number of eight digits nor a header such as "V_Unit" is cut.
struct GridColumnMeasures
{
    std::function<int(const QString &)> valueWidth; // a text in the cells' font
    std::function<int(const QString &)> headerWidth; // a text in the header's font
    int valuePadding = 0; // a cell's margins and grid line
    int headerPadding = 0; // a header section's margins and border
};

// Per column: max(designed, header + header padding, widest value + value
// padding). A missing designed width or widest value counts as none.
QList<int> gridColumnWidths(const QList<int> &designed, const QStringList &headers,
    const QStringList &widestValues, const GridColumnMeasures &measures);
