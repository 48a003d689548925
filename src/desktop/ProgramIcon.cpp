// SPDX-License-Identifier: MIT
#include "desktop/ProgramIcon.h"

#include "desktop/ProgramFiles.h"

#include <QImageReader>
#include <QPixmap>

QList<int> programIconSizes()
{
    return { 16, 22, 24, 32, 48, 64, 128, 256 };
}

QList<QImage> bundledProgramImages(MeterModel model)
{
    const QString name = ProgramFiles::applicationId(model);
    QList<QImage> images;
    for (int size : programIconSizes()) {
        // Read by the PNG reader alone: the usual reader asks every image
        // format plug-in first, which loads them all into the program.
        QImageReader reader(
            QStringLiteral(":/km/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(name), "png");
        reader.setAutoDetectImageFormat(false);
        const QImage image = reader.read();
        if (!image.isNull())
            images.append(image);
    }
    return images;
}

QIcon iconOfImages(const QList<QImage> &images)
{
    QIcon icon;
    for (const QImage &image : images)
        icon.addPixmap(QPixmap::fromImage(image));
    return icon;
}

QIcon bundledProgramIcon(MeterModel model)
{
    return iconOfImages(bundledProgramImages(model));
}

QIcon themeProgramIcon(MeterModel model)
{
    const QIcon themed = QIcon::fromTheme(ProgramFiles::applicationId(model));
    if (!themed.isNull() && !themed.availableSizes().isEmpty())
        return themed;
    return {};
}

QIcon programIcon(MeterModel model)
{
    // The bundled pictures are read only when the theme has no icon.
    const QIcon themed = themeProgramIcon(model);
    return themed.isNull() ? bundledProgramIcon(model) : themed;
}
