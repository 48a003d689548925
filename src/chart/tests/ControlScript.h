// SPDX-License-Identifier: MIT
#pragma once

#include "chart/uCharControl.h"

#include <QString>
#include <QStringList>

// Runs a script of space-separated steps on the controller and returns what the
// last step returned: "a120" adds 120 values (1, 2, 3, ...), "f" "p" "n" "l" page
// first / previous / next / last, "s50" sets the page size, "c" clears.
inline qint32 runScript(TChartControl &control, const QString &script)
{
    qint32 returned = 0;
    double value = 0;
    const QStringList steps = script.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString &step : steps) {
        const QChar op = step.front();
        const int n = step.mid(1).toInt();
        if (op == QLatin1Char('a')) {
            for (int i = 0; i < n; ++i)
                returned = control.AddValue(++value);
        } else if (op == QLatin1Char('f')) {
            returned = control.FirstPage();
        } else if (op == QLatin1Char('p')) {
            returned = control.PreviousPage();
        } else if (op == QLatin1Char('n')) {
            returned = control.NextPage();
        } else if (op == QLatin1Char('l')) {
            returned = control.LastPage();
        } else if (op == QLatin1Char('s')) {
            control.SetPageSize(n);
        } else if (op == QLatin1Char('c')) {
            returned = control.ClearChart();
        } else {
            qFatal("unknown step %s", qPrintable(step));
        }
    }
    return returned;
}
