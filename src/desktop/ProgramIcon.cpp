// SPDX-License-Identifier: MIT
#include "desktop/ProgramIcon.h"

#include "desktop/ProgramFiles.h"

#include <QImageReader>
#include <QPixmap>

QList<int> programIconSizes()
{
    return { 16, 22, 24, 32, 48, 64, 128, 256 };
}

QIcon bundledProgramIcon(MeterModel model)
{
    const QString name = ProgramFiles::applicationId(model);
    QIcon icon;
    for (int size : programIconSizes()) {
        // Read by the PNG reader alone: the usual reader asks every image
        // format plug-in first, which loads them all into the program.
        QImageReader reader(
            QStringLiteral(":/km/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(name), "png");
        reader.setAutoDetectImageFormat(false);
        const QImage image = reader.read();
        if (!image.isNull())
            icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

QIcon programIcon(MeterModel model)
{
    // The bundled pictures are read only when the theme has no icon.
    const QIcon themed = QIcon::fromTheme(ProgramFiles::applicationId(model));
    if (!themed.isNull() && !themed.availableSizes().isEmpty())
        return themed;
    return bundledProgramIcon(model);
}
