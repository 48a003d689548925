// SPDX-License-Identifier: MIT
#include "chart/ChartPicture.h"

#include "files/AtomicFile.h"

#include <QImageWriter>

QString writeBitmapFile(const QImage &image, const QString &path)
{
    const AtomicFile::Result result
        = AtomicFile::write(path, [&image](QIODevice &device, QString &error) {
              QImageWriter writer(&device, "bmp");
              if (writer.write(image))
                  return true;
              error = writer.errorString();
              return false;
          });
    switch (result.failure) {
    case AtomicFile::Failure::None:
        return {};
    case AtomicFile::Failure::Folder:
    case AtomicFile::Failure::Refused:
    case AtomicFile::Failure::Open:
        return QStringLiteral("Cannot create file \"%1\": %2").arg(path, result.reason);
    case AtomicFile::Failure::Write:
    case AtomicFile::Failure::Commit:
        break;
    }
    return QStringLiteral("Cannot write file \"%1\": %2").arg(path, result.reason);
}
