// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QString>

// Writes `image` as a Windows BMP file at `path`, replacing any file of that name.
// The picture goes to a temporary file beside the target that takes the target's
// place only once it is complete, so a failed write leaves an existing file as it
// was; a device or a pipe is written straight into (files/AtomicFile.h). Returns
// an empty string on success, otherwise the reason, fit for the general error
// report.
QString writeBitmapFile(const QImage &image, const QString &path);
