// SPDX-License-Identifier: MIT
#include "desktop/ProgramIcon.h"

#include "desktop/ProgramFiles.h"

QList<int> programIconSizes()
{
    return { 16, 22, 24, 32, 48, 64, 128, 256 };
}

QIcon bundledProgramIcon(MeterModel model)
{
    const QString name = ProgramFiles::applicationId(model);
    QIcon icon;
    for (int size : programIconSizes()) {
        icon.addFile(QStringLiteral(":/km/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(name),
            QSize(size, size));
    }
    return icon;
}

QIcon programIcon(MeterModel model)
{
    return QIcon::fromTheme(ProgramFiles::applicationId(model), bundledProgramIcon(model));
}
