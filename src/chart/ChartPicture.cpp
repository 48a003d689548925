// SPDX-License-Identifier: MIT
#include "chart/ChartPicture.h"

#include <QImageWriter>
#include <QSaveFile>

QString writeBitmapFile(const QImage &image, const QString &path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("Cannot create file \"%1\": %2").arg(path, file.errorString());
    QImageWriter writer(&file, "bmp");
    if (!writer.write(image)) {
        file.cancelWriting();
        return QStringLiteral("Cannot write file \"%1\": %2").arg(path, writer.errorString());
    }
    if (!file.commit())
        return QStringLiteral("Cannot write file \"%1\": %2").arg(path, file.errorString());
    return {};
}
