// SPDX-License-Identifier: MIT
#include "dialogs/FileIconProvider.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>

namespace {

// The texts of Qt's own provider, in its translation context.
QString providerText(const char *text)
{
    return QCoreApplication::translate("QAbstractFileIconProvider", text);
}

// Holds the provider of one dialog and goes with it. The dialog's file system
// model, made before this, is deleted before it.
class ProviderHolder : public QObject
{
public:
    using QObject::QObject;
    NameOnlyIconProvider provider;
};

// Looks at every widget about to be shown for the first time.
class FileDialogWatch : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Polish) {
            if (auto *dialog = qobject_cast<QFileDialog *>(watched))
                useNameOnlyIcons(*dialog);
        }
        return false;
    }
};

} // namespace

QIcon NameOnlyIconProvider::icon(const QFileInfo &info) const
{
    if (info.isRoot())
        return icon(Drive);
    if (info.isDir())
        return icon(Folder);
    const QMimeType type
        = m_mimeTypes.mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension);
    if (!type.isDefault()) {
        const QIcon themed = QIcon::fromTheme(type.iconName());
        if (!themed.isNull())
            return themed;
    }
    return icon(File);
}

QString NameOnlyIconProvider::type(const QFileInfo &info) const
{
    if (info.isRoot())
        return providerText("Drive");
    if (info.isDir())
        return providerText("Folder");
    if (info.isSymLink() && !info.exists())
        return providerText("Shortcut");
    const QMimeType type
        = m_mimeTypes.mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension);
    if (!type.isDefault())
        return type.comment().isEmpty() ? type.name() : type.comment();
    const QString suffix = info.suffix();
    return suffix.isEmpty() ? providerText("File") : providerText("%1 File").arg(suffix);
}

void useNameOnlyIcons(QFileDialog &dialog)
{
    if (dynamic_cast<const NameOnlyIconProvider *>(dialog.iconProvider()))
        return;
    auto *holder = new ProviderHolder(&dialog);
    dialog.setIconProvider(&holder->provider);
}

void useNameOnlyIconsInEveryFileDialog(QCoreApplication &application)
{
    application.installEventFilter(new FileDialogWatch(&application));
}
