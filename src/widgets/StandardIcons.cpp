// SPDX-License-Identifier: MIT
#include "widgets/StandardIcons.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIconEngine>
#include <QImageReader>
#include <QPainter>
#include <QPixmap>
#include <QSet>

#include <filesystem>
#include <future>
#include <memory>
#include <mutex>

namespace {

struct Picture
{
    QString file;
    QSize size;
};

const QString imageFolder = QStringLiteral(":/qt-project.org/styles/commonstyle/images/");

QList<Picture> squarePictures(const QString &base)
{
    QList<Picture> pictures;
    for (int edge : { 16, 32, 128 })
        pictures.append(
            { QStringLiteral("%1%2-%3.png").arg(imageFolder, base).arg(edge), QSize(edge, edge) });
    return pictures;
}

// Where Qt keeps the built-in pictures of the standard icons known here, the
// smallest first; none for the others.
QList<Picture> builtInPictures(QStyle::StandardPixmap which)
{
    switch (which) {
    case QStyle::SP_DialogSaveButton:
        return squarePictures(QStringLiteral("standardbutton-save"));
    case QStyle::SP_DialogOpenButton:
        return squarePictures(QStringLiteral("standardbutton-open"));
    case QStyle::SP_TrashIcon:
        return squarePictures(QStringLiteral("trash"));
    case QStyle::SP_FileDialogDetailedView:
        return squarePictures(QStringLiteral("viewdetailed"));
    case QStyle::SP_ToolBarHorizontalExtensionButton: {
        // The menu bar's and tool bars' overflow button, made with every bar.
        const QString base = QGuiApplication::isRightToLeft() ? QStringLiteral("toolbar-ext-h-rtl")
                                                              : QStringLiteral("toolbar-ext-h");
        QList<Picture> pictures;
        for (int width : { 8, 16, 32 })
            pictures.append({ QStringLiteral("%1%2-%3.png").arg(imageFolder, base).arg(width),
                QSize(width, width * 5 / 8) });
        return pictures;
    }
    case QStyle::SP_ToolBarVerticalExtensionButton: {
        QList<Picture> pictures;
        for (int width : { 5, 10, 20 })
            pictures.append({ QStringLiteral("%1toolbar-ext-v-%2.png").arg(imageFolder).arg(width),
                QSize(width, width * 8 / 5) });
        return pictures;
    }
    default:
        return {};
    }
}

qint64 area(const QSize &size)
{
    return qint64(size.width()) * size.height();
}

// Reads a built-in PNG picture with the PNG reader alone: the usual reader
// first asks every image format plug-in, loading them all.
QPixmap readPng(const QString &file)
{
    QImageReader reader(file, "png");
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}

// Holds the pictures of one icon and makes a one-picture icon of a picture
// when a drawing first needs it. A pixmap icon picks, for a requested size,
// the smallest picture at least as large (by area), else the largest, and
// scales and tints (disabled, selected) only the picture it picked, so the
// one-picture icon of the same picture gives the same pixels.
class OnDemandIconEngine : public QIconEngine
{
public:
    explicit OnDemandIconEngine(QList<Picture> pictures)
        : m_pictures(std::move(pictures))
        , m_icons(m_pictures.size())
    { }

    QIconEngine *clone() const override
    {
        auto *copy = new OnDemandIconEngine(m_pictures);
        copy->m_icons = m_icons;
        return copy;
    }

    QString key() const override { return QStringLiteral("OnDemandIconEngine"); }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override
    {
        QSize actual = m_pictures.at(picked(size)).size;
        if (actual.width() > size.width() || actual.height() > size.height())
            actual.scale(size, Qt::KeepAspectRatio);
        return actual;
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        // At a density of 1 the icon hands its engine's pixmap on unchanged.
        return icon(picked(size)).pixmap(size, 1.0, mode, state);
    }

    QPixmap scaledPixmap(
        const QSize &size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        Q_UNUSED(scale);
        return pixmap(size, mode, state);
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal dpr = painter->device()->devicePixelRatio();
        painter->drawPixmap(rect, pixmap(rect.size() * dpr, mode, state));
    }

    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        // The pictures are all of the normal mode and the off state.
        if (mode != QIcon::Normal || state != QIcon::Off)
            return {};
        QList<QSize> sizes;
        for (const Picture &picture : std::as_const(m_pictures))
            sizes.append(picture.size);
        return sizes;
    }

    bool isNull() override { return false; }

private:
    qsizetype picked(const QSize &size) const
    {
        const qint64 wanted = area(size);
        for (qsizetype i = 0; i < m_pictures.size(); ++i) {
            if (area(m_pictures.at(i).size) >= wanted)
                return i;
        }
        return m_pictures.size() - 1;
    }

    const QIcon &icon(qsizetype index)
    {
        QIcon &icon = m_icons[index];
        if (icon.isNull())
            icon.addPixmap(readPng(m_pictures.at(index).file));
        return icon;
    }

    QList<Picture> m_pictures;
    QList<QIcon> m_icons;
};

// The name Qt's common style asks the icon theme for, before it falls back on
// its built-in pictures; empty for the icons it never asks the theme for (the
// bars' overflow buttons).
QString themeIconName(QStyle::StandardPixmap which)
{
    switch (which) {
    case QStyle::SP_DialogSaveButton:
        return QStringLiteral("document-save");
    case QStyle::SP_DialogOpenButton:
        return QStringLiteral("folder-open");
    case QStyle::SP_TrashIcon:
        return QStringLiteral("user-trash");
    case QStyle::SP_FileDialogDetailedView:
        return QStringLiteral("view-list-details");
    default:
        return {};
    }
}

// The theme icons the on-demand icons stand in for when the theme has none.
QStringList themeIconNames()
{
    return { themeIconName(QStyle::SP_DialogSaveButton), themeIconName(QStyle::SP_DialogOpenButton),
        themeIconName(QStyle::SP_TrashIcon), themeIconName(QStyle::SP_FileDialogDetailedView) };
}

// Whether a folder scan decides whether the theme can have an icon: true where
// Qt's own icon loader finds theme icons (in the theme's folders). Desktops
// whose Qt platform theme brings an icon loader of its own (KDE's, LXQt's, ...)
// and platform themes not known here are left to Qt.
bool themeIconsLoadedByQt()
{
    const QString platformTheme = qEnvironmentVariable("QT_QPA_PLATFORMTHEME").trimmed();
    static const QStringList qtLoaded = { QStringLiteral("gtk3"), QStringLiteral("gnome"),
        QStringLiteral("generic"), QStringLiteral("xdgdesktopportal"), QStringLiteral("flatpak"),
        QStringLiteral("snap") };
    if (!platformTheme.isEmpty() && !qtLoaded.contains(platformTheme, Qt::CaseInsensitive))
        return false;
    static const QStringList ownLoaders = { QStringLiteral("KDE"), QStringLiteral("LXQt"),
        QStringLiteral("Deepin"), QStringLiteral("DDE"), QStringLiteral("UKUI") };
    const QStringList desktops
        = qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(u':', Qt::SkipEmptyParts);
    for (const QString &desktop : desktops) {
        if (ownLoaders.contains(desktop.trimmed(), Qt::CaseInsensitive))
            return false;
    }
    return true;
}

// The icon theme settings a lookup depends on, read on the GUI thread.
struct ThemeLookup
{
    QString theme;
    QString fallbackTheme;
    QStringList searchPaths;
    QStringList fallbackPaths;

    static ThemeLookup current()
    {
        return { QIcon::themeName(), QIcon::fallbackThemeName(), QIcon::themeSearchPaths(),
            QIcon::fallbackSearchPaths() };
    }
    bool operator==(const ThemeLookup &) const = default;
};

// More entries than any icon theme folder holds: a scan that meets them stops
// and counts every name as found, so Qt looks the icons up itself.
constexpr int kScanLimit = 200'000;

// The themes it inherits from, as the "Inherits" key of the "Icon Theme" group
// of an index.theme file lists them.
QStringList inheritedThemes(const QString &indexFile)
{
    QFile index(indexFile);
    if (!index.open(QIODevice::ReadOnly))
        return {};
    // The group comes first; a mebibyte is far more than any index holds.
    const QByteArray text = index.read(1 << 20);
    QStringList themes;
    bool inGroup = false;
    for (qsizetype at = 0; at < text.size();) {
        qsizetype end = text.indexOf('\n', at);
        if (end < 0)
            end = text.size();
        const QByteArrayView line = QByteArrayView(text).sliced(at, end - at).trimmed();
        at = end + 1;
        if (line.startsWith('[')) {
            if (inGroup)
                break;
            inGroup = line == "[Icon Theme]";
            continue;
        }
        if (!inGroup || !line.startsWith("Inherits"))
            continue;
        const qsizetype equals = line.indexOf('=');
        if (equals < 0 || line.first(equals).trimmed() != "Inherits")
            continue;
        for (const QByteArray &parent : line.sliced(equals + 1).toByteArray().split(','))
            themes.append(QString::fromUtf8(parent.trimmed()));
    }
    return themes;
}

// The themes to scan: the theme, the themes it inherits from (in any of the
// search paths), the fallback theme and "hicolor", which every theme inherits.
QStringList themesToScan(const ThemeLookup &lookup)
{
    QStringList themes = { lookup.theme, lookup.fallbackTheme, QStringLiteral("hicolor") };
    for (qsizetype i = 0; i < themes.size(); ++i) {
        for (const QString &path : lookup.searchPaths) {
            const QString index = path + u'/' + themes.at(i) + QStringLiteral("/index.theme");
            for (const QString &name : inheritedThemes(index)) {
                if (!name.isEmpty() && !name.contains(u'/') && name != u".."
                    && !themes.contains(name))
                    themes.append(name);
            }
        }
    }
    themes.removeAll(QString());
    return themes;
}

} // namespace

QStringList iconThemeLookupNames(const QString &name)
{
    // The icon theme rules look for "a-b-c", then "a-b", then "a".
    QStringList names;
    QString shorter = name;
    while (!shorter.isEmpty()) {
        names.append(shorter);
        const qsizetype dash = shorter.lastIndexOf(u'-');
        if (dash < 0)
            break;
        shorter.truncate(dash);
    }
    return names;
}

QSet<QString> iconFilesInThemes(const QStringList &names, const QString &theme,
    const QString &fallbackTheme, const QStringList &searchPaths, const QStringList &fallbackPaths)
{
    const ThemeLookup lookup { theme, fallbackTheme, searchPaths, fallbackPaths };
    QStringList wanted;
    for (const QString &name : names) {
        for (const QString &n : iconThemeLookupNames(name)) {
            if (!wanted.contains(n))
                wanted.append(n);
        }
    }
    QStringList folders;
    for (const QString &t : themesToScan(lookup)) {
        for (const QString &path : lookup.searchPaths)
            folders.append(path + u'/' + t);
    }
    folders += lookup.fallbackPaths;
    QSet<QString> found;
    // A file "name.<anything>" for one of the names.
    const auto foundFile = [&](QStringView fileName) {
        const qsizetype dot = fileName.indexOf(u'.');
        if (dot > 0 && wanted.contains(fileName.first(dot)))
            found.insert(fileName.first(dot).toString());
    };
    const QSet<QString> everyName(wanted.cbegin(), wanted.cend());
    int seen = 0;
    for (const QString &folder : std::as_const(folders)) {
        // Every file below the folder, in folders the theme lists or not: an
        // icon file is "name.png", "name.svg", "name.xpm" and the like.
        if (folder.startsWith(u':')) {
            // Qt's resources, read through Qt.
            QDirIterator files(folder, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                QDirIterator::Subdirectories);
            while (files.hasNext()) {
                if (++seen > kScanLimit)
                    return everyName;
                foundFile(files.nextFileInfo().fileName());
            }
            continue;
        }
        // The file system, read by the standard library: Qt's iterator makes
        // a file information object of every entry, several times the cost.
        namespace fs = std::filesystem;
        try {
            std::error_code error;
            fs::recursive_directory_iterator entries(fs::path(folder.toStdU16String()),
                fs::directory_options::follow_directory_symlink
                    | fs::directory_options::skip_permission_denied,
                error);
            for (; !error && entries != fs::recursive_directory_iterator();
                 entries.increment(error)) {
                // A folder linked into itself ends here as well.
                if (++seen > kScanLimit)
                    return everyName;
                const std::u16string fileName = entries->path().filename().u16string();
                foundFile(QStringView(fileName));
            }
        } catch (const std::exception &) {
            // A name the file system's encoding cannot hold, memory: unknown,
            // so Qt looks the icons up itself.
            return everyName;
        }
    }
    return found;
}

namespace {

// The scan for the on-demand icons' theme names. The programs' style starts it
// on a thread of its own when it is made, so that it runs while the window is
// built; the first icon that needs its answer waits for it.
struct ThemeScan
{
    std::mutex mutex;
    ThemeLookup lookup;
    std::shared_future<QSet<QString>> found;
    bool started = false;
};

ThemeScan &themeScan()
{
    static ThemeScan scan;
    return scan;
}

std::shared_future<QSet<QString>> scanFor(const ThemeLookup &lookup, std::launch how)
{
    ThemeScan &scan = themeScan();
    std::lock_guard lock(scan.mutex);
    if (!scan.started || !(scan.lookup == lookup)) {
        scan.lookup = lookup;
        scan.started = true;
        scan.found = std::async(how, [lookup] {
            return iconFilesInThemes(themeIconNames(), lookup.theme, lookup.fallbackTheme,
                lookup.searchPaths, lookup.fallbackPaths);
        }).share();
    }
    return scan.found;
}

// Whether Qt's common style would find a theme icon for which (as far as the
// theme's files tell): then it is the style's icon that shows.
bool themeMayHaveIcon(QStyle::StandardPixmap which)
{
    if (!QGuiApplication::desktopSettingsAware() || QIcon::themeName().isEmpty())
        return false;
    const QString name = themeIconName(which);
    if (name.isEmpty())
        return false; // the style never asks the theme for it
    if (!themeIconsLoadedByQt())
        return true;
    const QSet<QString> found = scanFor(ThemeLookup::current(), std::launch::deferred).get();
    for (const QString &n : iconThemeLookupNames(name)) {
        if (found.contains(n))
            return true;
    }
    return false;
}

} // namespace

bool standardIconLoadsOnDemand(QStyle::StandardPixmap which, const QStyle *style)
{
    // The built-in pictures are what the Windows style draws when the icon
    // theme has no icon of that name (or no theme is set); a theme's icons
    // load on demand already.
    if (!style || themeMayHaveIcon(which))
        return false;
    if (const auto *proxy = qobject_cast<const QProxyStyle *>(style))
        style = proxy->baseStyle();
    if (style->name().compare(QLatin1String("windows"), Qt::CaseInsensitive) != 0)
        return false;
    const QList<Picture> pictures = builtInPictures(which);
    if (pictures.isEmpty())
        return false;
    for (const Picture &picture : pictures) {
        if (!QFile::exists(picture.file))
            return false;
    }
    return true;
}

QIcon standardIconOnDemand(QStyle::StandardPixmap which, const QStyle *style)
{
    if (standardIconLoadsOnDemand(which, style))
        return QIcon(new OnDemandIconEngine(builtInPictures(which)));
    return style->standardIcon(which);
}

OnDemandIconStyle::OnDemandIconStyle(QStyle *base)
    : QProxyStyle(base)
{
    // Whether the icon theme has the icons is found out while the window is
    // built: the scan reads the theme's folders on a thread of its own.
    if (QGuiApplication::desktopSettingsAware() && !QIcon::themeName().isEmpty()
        && themeIconsLoadedByQt())
        scanFor(ThemeLookup::current(), std::launch::async);
}

QIcon OnDemandIconStyle::standardIcon(
    StandardPixmap which, const QStyleOption *option, const QWidget *widget) const
{
    if (!option && standardIconLoadsOnDemand(which, baseStyle()))
        return QIcon(new OnDemandIconEngine(builtInPictures(which)));
    return QProxyStyle::standardIcon(which, option, widget);
}
