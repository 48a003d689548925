// SPDX-License-Identifier: MIT
#include "desktop/ProgramFiles.h"

#include "KmBuildInfo.h"
#include "models/ModelDescription.h"

#include <utility>

#include <QDir>
#include <QFileInfo>

namespace ProgramFiles {

QStringList helpFileCandidates(const QString &programFolder)
{
    const QString name = QString::fromUtf16(helpFileName);
    const QDir folder(programFolder);
    return { QDir::cleanPath(folder.filePath(name)),
        QDir::cleanPath(folder.filePath(QStringLiteral(KM_PKGDATADIR_FROM_BINDIR "/") + name)) };
}

QString helpFilePath(const QString &programFolder)
{
    const QStringList candidates = helpFileCandidates(programFolder);
    for (const QString &candidate : candidates) {
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return candidates.first();
}

QString helpFileReport(const QString &programFolder)
{
    const QString path = helpFilePath(programFolder);
    if (QFileInfo(path).isFile())
        return QStringLiteral("Help file: %1").arg(QDir::toNativeSeparators(path));
    QStringList places = helpFileCandidates(programFolder);
    for (QString &place : places)
        place = QDir::toNativeSeparators(place);
    return QStringLiteral("Help file: not found (looked for %1)").arg(places.join(u" and "));
}

QString packageVersionText()
{
    return QStringLiteral(KM_PACKAGE_NAME " " KM_PACKAGE_VERSION);
}

QString applicationId(MeterModel model)
{
    // The package names each program's ID (cmake/KmPackageInfo.cmake), by program name.
    static constexpr std::pair<const char *, const char *> ids[]
        = { { "KM90", KM_APP_ID_KM90 }, { "KM50_60", KM_APP_ID_KM50_60 } };
    const QString &program = modelDescription(model).programName;
    for (const auto &[name, id] : ids) {
        if (program == QLatin1StringView(name))
            return QString::fromLatin1(id);
    }
    return {};
}

} // namespace ProgramFiles
